#include "audio/TimeText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quorbin {

std::optional<double> ParseDecimal(std::string_view text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> ParseTime(std::string_view text)
{
    double seconds = 0;
    for (int field = 0; field < 3; ++field) {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            const auto last = ParseDecimal(text);
            if (!last || (field > 0 && *last >= 60))
                return std::nullopt;
            return seconds * 60 + *last;
        }
        const std::string_view part = text.substr(0, colon);
        int value = 0;
        const auto [stop, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || stop != part.data() + part.size() || value < 0
            || (field > 0 && value >= 60))
            return std::nullopt;
        seconds = seconds * 60 + value;
        text.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

std::string FormatTime(double seconds, int decimals)
{
    decimals = std::clamp(decimals, 1, 3);
    const long long unit = decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;  // parts of a second
    const long long parts = std::llround(std::max(0.0, seconds) * static_cast<double>(unit));
    const long long hours = parts / (3600 * unit), minutes = parts / (60 * unit) % 60, rest = parts % (60 * unit);
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%0*lld", hours, minutes, rest / unit, decimals,
                      rest % unit);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%0*lld", minutes, rest / unit, decimals, rest % unit);
    return text;
}

}  // namespace quorbin
