#include "cli/TerminalText.h"

#include <cstdio>
#include <langinfo.h>

#include "cli/Texts.h"
#include "platform/Cp932.h"

namespace quorbin::cli {
namespace {

bool IsUtf8Name(std::string_view codeset)
{
    return codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8" || codeset == "utf8";
}

// Decodes the UTF-8 character at the start of `text` to its code point.
char32_t FirstCodePoint(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t value = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra && i < static_cast<int>(text.size()); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    return value;
}

// U+0000 to U+001F and U+007F: one byte each in UTF-8 and in CP932.
bool IsControl(char ch)
{
    const auto byte = static_cast<unsigned char>(ch);
    return byte < 0x20 || byte == 0x7F;
}

std::size_t Utf8Length(unsigned char lead)
{
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

}  // namespace

std::string TerminalCodeset()
{
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset == "ANSI_X3.4-1968" || IsUtf8Name(codeset))
        return "UTF-8";
    return codeset;
}

std::optional<std::string> ToUtf8(std::string_view text, const std::string& codeset)
{
    return Recode(text, "UTF-8", IsUtf8Name(codeset) ? "UTF-8" : codeset.c_str());
}

std::string FromUtf8(std::string_view text, const std::string& codeset)
{
    if (IsUtf8Name(codeset))
        return std::string(text);
    return Recode(text, codeset.c_str(), "UTF-8").value_or(std::string(text));
}

std::string EscapeControls(std::string_view text)
{
    std::string out;
    for (const char ch : text) {
        if (IsControl(ch) || ch == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(ch));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string ShownName(const std::filesystem::path& file)
{
    return EscapeControls(file.string());
}

std::optional<std::string> OptionTextToCp932(std::string_view option, std::string_view utf8, std::size_t limitBytes,
                                             bool transliterate, std::string& problem)
{
    const std::string name = std::string("--").append(option);
    if (!ToUtf8(utf8, "UTF-8")) {
        problem = Substitute(Tr("%1 is not valid text in the terminal's encoding"), {name});
        return std::nullopt;
    }
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!IsControl(utf8[i]))
            continue;
        char codePoint[16];
        std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(utf8[i]));
        problem = Substitute(Tr("%1 holds the control character %2 at byte %3"), {name, codePoint, std::to_string(i)});
        return std::nullopt;
    }
    std::optional<std::string> cp932 = transliterate ? Utf8ToCp932Transliterated(utf8) : Utf8ToCp932(utf8);
    if (!cp932) {
        const std::string_view rest = utf8.substr(FirstNonCp932Character(utf8).value_or(0));
        char codePoint[16];
        std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(FirstCodePoint(rest)));
        const std::string character =
            std::string("\"").append(rest.substr(0, Utf8Length(rest[0]))).append("\" (").append(codePoint).append(")");
        problem = Substitute(Tr("%1 holds the character %2, which CP932 cannot encode"), {name, character});
        if (!transliterate && Utf8ToCp932Transliterated(utf8))
            problem += Tr(" (try --transliterate)");
        return std::nullopt;
    }
    if (cp932->size() > limitBytes) {
        problem = Substitute(Tr("%1 is %2 bytes in CP932; the limit is %3 bytes"),
                             {name, std::to_string(cp932->size()), std::to_string(limitBytes)});
        return std::nullopt;
    }
    return cp932;
}

}  // namespace quorbin::cli
