#pragma once
// Texts of the command line in English and Japanese, chosen by the same rule
// as the program's messages (LanguageFromEnvironment), and their output in the
// terminal's encoding.
#include <iosfwd>
#include <string>
#include <string_view>

#include "res/StringTable.h"

namespace quorbin::cli {

// A text in both languages; a single text serves both (names, examples).
struct Text {
    constexpr Text(const char* both) : english(both), japanese(both) {}
    constexpr Text(std::string_view en, std::string_view ja) : english(en), japanese(ja) {}
    std::string_view In(Language language) const { return language == Language::Japanese ? japanese : english; }

    std::string_view english;
    std::string_view japanese;
};

// The user's language, read from the environment on each call.
Language UserLanguage();

// The text in the user's language.
std::string Tr(Text text);

// Writes UTF-8 `text` to `out` in the terminal's encoding.
void Say(std::ostream& out, std::string_view text);

// The system's reason for a failure with `errorNumber`, in the user's language
// ("Permission denied", "No such file or directory", ...).
std::string ErrnoReason(int errorNumber);

}  // namespace quorbin::cli
