#pragma once
// Texts between the terminal and the melody file: arguments arrive in the
// terminal's encoding and are written as CP932; messages go out in the
// terminal's encoding.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorbin::cli {

// The character set of the current locale (setlocale must have run), with the
// plain C locale's ASCII taken as UTF-8, the usual encoding of arguments there.
std::string TerminalCodeset();

// Converts `text` from `codeset` to UTF-8; nullopt when it is not valid text.
std::optional<std::string> ToUtf8(std::string_view text, const std::string& codeset);
// Converts UTF-8 `text` to `codeset` for output; unchanged when that fails.
std::string FromUtf8(std::string_view text, const std::string& codeset);

// Shows the bytes of control characters (C0, DEL and C1: U+0000 to U+001F,
// U+007F to U+009F), of the backslash and every byte that is not valid UTF-8
// as \xNN, so that a text cannot forge output lines or send escape sequences.
std::string EscapeControls(std::string_view text);
// A file name as the command line prints it: its bytes, escaped as above as
// the characters they are in the terminal's encoding.
std::string ShownName(const std::filesystem::path& file);

// Converts an option's UTF-8 text to CP932 of at most `limitBytes` bytes
// (control characters are refused); with
// `transliterate`, characters CP932 lacks are transliterated ("©" -> "(C)").
// On failure returns nullopt and sets `problem` to a message naming the option.
std::optional<std::string> OptionTextToCp932(std::string_view option, std::string_view utf8, std::size_t limitBytes,
                                             bool transliterate, std::string& problem);

}  // namespace quorbin::cli
