#pragma once
// Texts written into melody files are CP932 (Windows Shift_JIS) bytes,
// converted with glibc iconv so the window program and the command line agree.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorbin {

// `text` from character set `from` to `to` (iconv names); nullopt when a
// character has no form in `to`, the input is not valid, or iconv knows neither.
std::optional<std::string> Recode(std::string_view text, const char* to, const char* from);
// UTF-8 to CP932; nullopt when a character has no CP932 form or the input is not UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
// UTF-8 to CP932, a character without a CP932 form replaced by iconv's
// transliteration ("©" -> "(C)", "é" -> "e"); nullopt when a character has
// neither, or the input is not UTF-8.
std::optional<std::string> Utf8ToCp932Transliterated(std::string_view utf8);
// UTF-8 to CP932, characters without a CP932 form becoming "?".
std::string Utf8ToCp932Lossy(std::string_view utf8);
// CP932 to UTF-8 for display; undecodable bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// The longest prefix of `cp932` of at most `limit` bytes that does not split a double-byte character.
std::size_t Cp932PrefixLength(std::string_view cp932, std::size_t limit);
// True for the first byte of a CP932 double-byte character (0x81-0x9F, 0xE0-0xFC).
bool IsCp932LeadByte(unsigned char byte);
// The characters of CP932 text: double-byte ones count once.
std::size_t Cp932Characters(std::string_view cp932);
// Byte offset in `utf8` of the first character that has no CP932 form (or is not
// valid UTF-8); nullopt when the whole text converts.
std::optional<std::size_t> FirstNonCp932Character(std::string_view utf8);

}  // namespace quorbin
