#pragma once
// Times of a recording as people write them: "12.5" seconds, "1:02.5" or "1:02:03.5".
#include <optional>
#include <string>
#include <string_view>

namespace quorbin {

// A non-negative decimal number, without sign or exponent; none when malformed.
std::optional<double> ParseDecimal(std::string_view text);

// "12.5" (seconds) or "m:ss.fff" / "h:mm:ss.fff"; none when malformed or negative.
std::optional<double> ParseTime(std::string_view text);

// "0:12.5", "12:03.0" or "1:02:03.4": tenths of a second (or `decimals`
// places, 1 to 3), rounded; hours only when there are some.
std::string FormatTime(double seconds, int decimals = 1);

}  // namespace quorbin
