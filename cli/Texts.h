#pragma once
// Output of the command line's texts (translated through platform/Translation.h)
// in the terminal's encoding.
#include <iosfwd>
#include <string>
#include <string_view>

#include "platform/Translation.h"

namespace quorbin::cli {

// Writes UTF-8 `text` to `out` in the terminal's encoding.
void Say(std::ostream& out, std::string_view text);

// The system's reason for a failure with `errorNumber`, in the user's language
// ("Permission denied", "No such file or directory", ...).
std::string ErrnoReason(int errorNumber);

}  // namespace quorbin::cli
