#include "cli/Texts.h"

#include <ostream>

#include "cli/TerminalText.h"
#include "conversion/StepMessages.h"

namespace quorbin::cli {

void Say(std::ostream& out, std::string_view text)
{
    out << FromUtf8(text, TerminalCodeset());
}

std::string ErrnoReason(int errorNumber)
{
    return ErrorText(errorNumber, UserLanguage());
}

}  // namespace quorbin::cli
