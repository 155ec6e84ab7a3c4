#pragma once
// The date written into a melody file: --date, else SOURCE_DATE_EPOCH, else
// today's local date (chosen by the builder when the date is left empty).
#include <optional>
#include <string>
#include <string_view>

namespace quorbin::cli {

// True for 8 digits "YYYYMMDD" that name a real calendar day.
bool IsValidDate(std::string_view yyyymmdd);

// "YYYYMMDD" in UTC of `seconds` since 1970 (decimal digits only); nullopt when
// the text is not such a number or the year has more than four digits.
std::optional<std::string> DateFromEpoch(std::string_view seconds);

// The date for the file: `dateOption` when given, else from `sourceDateEpoch`
// when set, else empty. Returns nullopt and sets `problem` for an invalid value.
std::optional<std::string> ChooseDate(const std::optional<std::string>& dateOption, const char* sourceDateEpoch,
                                      std::string& problem);

}  // namespace quorbin::cli
