#include "cli/DateOption.h"

#include "cli/Texts.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <ctime>

namespace quorbin::cli {
namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits)
{
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

}  // namespace

bool IsValidDate(std::string_view text)
{
    if (text.size() != 8 || !AllDigits(text))
        return false;
    const std::chrono::year_month_day day{std::chrono::year(Number(text.substr(0, 4))),
                                          std::chrono::month(static_cast<unsigned>(Number(text.substr(4, 2)))),
                                          std::chrono::day(static_cast<unsigned>(Number(text.substr(6, 2))))};
    return day.ok() && day.year() >= std::chrono::year(1);
}

std::optional<std::string> DateFromEpoch(std::string_view seconds)
{
    if (!AllDigits(seconds))
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
    if (error != std::errc() || end != seconds.data() + seconds.size())
        return std::nullopt;
    const auto time = static_cast<std::time_t>(value);
    std::tm utc{};
    if (!gmtime_r(&time, &utc) || utc.tm_year + 1900 > 9999)
        return std::nullopt;
    char text[16];
    std::strftime(text, sizeof text, "%Y%m%d", &utc);
    return std::string(text);
}

std::optional<std::string> ChooseDate(const std::optional<std::string>& dateOption, const char* sourceDateEpoch,
                                      std::string& problem)
{
    if (dateOption) {
        if (IsValidDate(*dateOption))
            return *dateOption;
        problem = Substitute(Tr("--date needs a real date written as YYYYMMDD, not \"%1\""), {*dateOption});
        return std::nullopt;
    }
    if (!sourceDateEpoch || *sourceDateEpoch == '\0')
        return std::string();
    if (auto date = DateFromEpoch(sourceDateEpoch))
        return date;
    problem = Substitute(Tr("SOURCE_DATE_EPOCH must be a number of seconds since 1970, not \"%1\""), {sourceDateEpoch});
    return std::nullopt;
}

}  // namespace quorbin::cli
