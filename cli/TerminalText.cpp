#include "cli/TerminalText.h"

#include <algorithm>
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

// The length of the valid UTF-8 character at the start of `text` (no
// overlong form, surrogate or code point past U+10FFFF); 0 when there is none.
std::size_t ValidUtf8Length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    const unsigned char second = byte(1);
    const bool overlongOrOutside = (lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)
                                   || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90);
    return overlongOrOutside ? 0 : length;
}

// C0 controls, DEL and the C1 controls U+0080 to U+009F.
bool IsControlCharacter(char32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
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
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = ValidUtf8Length(text.substr(i));
        const bool shown = length > 0 && !IsControlCharacter(FirstCodePoint(text.substr(i))) && text[i] != '\\';
        if (shown) {
            out.append(text.substr(i, length));
        } else {
            // A control character's every byte, or the one byte that is not UTF-8.
            for (std::size_t k = i; k < i + std::max<std::size_t>(length, 1); ++k) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[k]));
                out += escaped;
            }
        }
        i += std::max<std::size_t>(length, 1);
    }
    return out;
}

std::string ShownName(const std::filesystem::path& file)
{
    const std::string codeset = TerminalCodeset();
    if (IsUtf8Name(codeset))
        return EscapeControls(file.string());
    // Checked as the characters it shows in the terminal's encoding.
    if (const std::optional<std::string> utf8 = ToUtf8(file.string(), codeset))
        return FromUtf8(EscapeControls(*utf8), codeset);
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
        const std::size_t fit =
            Cp932Characters(std::string_view(*cp932).substr(0, Cp932PrefixLength(*cp932, limitBytes)));
        problem = Substitute(TrN("%1 is %2 bytes in CP932; the limit is %3 bytes: the first %4 character fits "
                                 "(--cut-texts cuts there)",
                                 "%1 is %2 bytes in CP932; the limit is %3 bytes: the first %4 characters fit "
                                 "(--cut-texts cuts there)",
                                 fit),
                             {name, std::to_string(cp932->size()), std::to_string(limitBytes), std::to_string(fit)});
        return std::nullopt;
    }
    return cp932;
}

}  // namespace quorbin::cli
