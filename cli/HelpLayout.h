#pragma once
// The layout of help texts on a terminal: columns as a terminal counts them
// (East Asian wide characters take two) and lines wrapped to a width.
#include <cstddef>
#include <string>
#include <string_view>

namespace quorbin::cli {

constexpr std::size_t kHelpWidth = 80;

// The columns the UTF-8 `text` takes on a terminal.
std::size_t Columns(std::string_view text);

// `text` with each of its lines wrapped to at most `width` columns: at spaces,
// or between wide characters where Japanese allows a break. The following
// lines of a wrapped line are indented by `indent` columns, or by the line's
// own indentation when that is larger. A word wider than a line stays whole.
std::string Wrapped(std::string_view text, std::size_t indent = 0, std::size_t width = kHelpWidth);

}  // namespace quorbin::cli
