#include "platform/Cp932.h"

#include <cerrno>
#include <iconv.h>
#include <locale.h>

namespace quorbin {
namespace {

constexpr const char* kCp932 = "CP932";
constexpr const char* kUtf8 = "UTF-8";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// One iconv conversion descriptor for the lifetime of a call.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of `input` as possible, appending to `out`. Returns the
    // number of input bytes consumed; fewer than all means the byte there
    // could not be converted (or ends an incomplete sequence).
    std::size_t Convert(std::string_view input, std::string& out)
    {
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG)
                break;
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return input.size() - inLeft;
    }

private:
    iconv_t m_cd;
};

// Length of the UTF-8 sequence that starts `text`, or 1 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length > text.size())
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

// Converts `input`, writing `replacement` for every unconvertible piece and
// skipping `skip(rest)` bytes of input for it.
template <typename Skip>
std::string ConvertReplacing(const char* to, const char* from, std::string_view input, std::string_view replacement,
                             Skip skip)
{
    std::string out;
    Converter converter(to, from);
    if (!converter.Valid())
        return out;
    while (!input.empty()) {
        input.remove_prefix(converter.Convert(input, out));
        if (input.empty())
            break;
        out.append(replacement);
        input.remove_prefix(skip(input));
    }
    return out;
}

// iconv's transliteration follows the LC_CTYPE locale, and the plain C locale
// knows few replacements ("é" becomes "?"). C.UTF-8 knows them all, so one
// text gives the same result whatever the user's locale.
class TransliterationLocale {
public:
    TransliterationLocale() : m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0)))
    {
        if (m_locale)
            m_previous = uselocale(m_locale);
    }
    ~TransliterationLocale()
    {
        if (!m_locale)
            return;
        uselocale(m_previous);
        freelocale(m_locale);
    }
    TransliterationLocale(const TransliterationLocale&) = delete;
    TransliterationLocale& operator=(const TransliterationLocale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = static_cast<locale_t>(0);
};

}  // namespace

bool IsCp932LeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::optional<std::string> Recode(std::string_view text, const char* to, const char* from)
{
    Converter converter(to, from);
    if (!converter.Valid())
        return std::nullopt;
    std::string out;
    if (converter.Convert(text, out) != text.size())
        return std::nullopt;
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    return Recode(utf8, kCp932, kUtf8);
}

std::optional<std::string> Utf8ToCp932Transliterated(std::string_view utf8)
{
    const TransliterationLocale locale;
    Converter plain(kCp932, kUtf8);
    Converter transliterating("CP932//TRANSLIT", kUtf8);
    if (!plain.Valid() || !transliterating.Valid())
        return std::nullopt;
    std::string out;
    while (!utf8.empty()) {
        utf8.remove_prefix(plain.Convert(utf8, out));
        if (utf8.empty())
            break;
        const std::string_view character = utf8.substr(0, Utf8SequenceLength(utf8));
        std::string replacement;
        // iconv writes "?" for a character it has no replacement for.
        if (transliterating.Convert(character, replacement) != character.size() || replacement.empty()
            || replacement == "?") {
            return std::nullopt;
        }
        out += replacement;
        utf8.remove_prefix(character.size());
    }
    return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    return ConvertReplacing(kCp932, kUtf8, utf8, "?", Utf8SequenceLength);
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    return ConvertReplacing(kUtf8, kCp932, cp932, kReplacementCharacter,
                            [](std::string_view) { return std::size_t{1}; });
}

std::size_t Cp932PrefixLength(std::string_view cp932, std::size_t limit)
{
    std::size_t length = 0;
    while (length < cp932.size()) {
        const bool doubleByte = IsCp932LeadByte(static_cast<unsigned char>(cp932[length])) && length + 1 < cp932.size();
        const std::size_t next = length + (doubleByte ? 2 : 1);
        if (next > limit)
            break;
        length = next;
    }
    return length;
}

std::size_t Cp932Characters(std::string_view cp932)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < cp932.size(); i += IsCp932LeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1)
        ++count;
    return count;
}

std::optional<std::size_t> FirstNonCp932Character(std::string_view utf8)
{
    Converter converter(kCp932, kUtf8);
    if (!converter.Valid())
        return std::size_t{0};
    std::string ignored;
    const std::size_t consumed = converter.Convert(utf8, ignored);
    if (consumed == utf8.size())
        return std::nullopt;
    return consumed;
}

}  // namespace quorbin
