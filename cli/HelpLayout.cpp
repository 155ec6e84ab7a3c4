#include "cli/HelpLayout.h"

#include <algorithm>
#include <vector>

namespace quorbin::cli {
namespace {

struct Character {
    std::string_view bytes;
    char32_t code;
};

// Help texts are our own valid UTF-8; a stray byte counts as one character.
std::vector<Character> Characters(std::string_view text)
{
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        characters.push_back({text.substr(i, length), code});
        i += length;
    }
    return characters;
}

// The East Asian wide and fullwidth characters: CJK, kana, Hangul, fullwidth forms.
bool IsWide(char32_t c)
{
    constexpr std::pair<char32_t, char32_t> kWide[] = {
        {0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},  {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},  {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
    return std::any_of(std::begin(kWide), std::end(kWide),
                       [c](const auto& r) { return c >= r.first && c <= r.second; });
}

std::size_t ColumnsOf(char32_t c)
{
    const bool combining = (c >= 0x0300 && c <= 0x036F) || c == 0x3099 || c == 0x309A;
    return combining ? 0 : IsWide(c) ? 2 : 1;
}

// Japanese lines neither begin with closing marks and small kana nor end with opening marks.
constexpr std::u32string_view kNoLineStart =
    U"、。，．）」』】〕！？：；ー…・々ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ)]},.:;!?%";
constexpr std::u32string_view kNoLineEnd = U"（「『【〔([{";

bool CanBreakBefore(const std::vector<Character>& characters, std::size_t i)
{
    const char32_t before = characters[i - 1].code;
    const char32_t here = characters[i].code;
    if (here == U' ')
        return false;
    if (before == U' ')
        return true;
    return (IsWide(before) || IsWide(here)) && kNoLineStart.find(here) == std::u32string_view::npos
           && kNoLineEnd.find(before) == std::u32string_view::npos;
}

std::string Joined(const std::vector<Character>& characters, std::size_t from, std::size_t to)
{
    while (to > from && characters[to - 1].code == U' ')
        --to;
    std::string text;
    for (std::size_t i = from; i < to; ++i)
        text += characters[i].bytes;
    return text;
}

std::string WrappedLine(std::string_view line, std::size_t indent, std::size_t width)
{
    const std::vector<Character> characters = Characters(line);
    const auto own = static_cast<std::size_t>(
        std::find_if(characters.begin(), characters.end(), [](const Character& c) { return c.code != U' '; })
        - characters.begin());
    indent = std::max(indent, own);
    std::string wrapped;
    std::size_t start = 0;
    std::size_t columns = 0;
    std::size_t lastBreak = 0;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (i > own && i > start && CanBreakBefore(characters, i))
            lastBreak = i;
        columns += ColumnsOf(characters[i].code);
        if (columns > width && characters[i].code != U' ' && lastBreak > start) {
            wrapped += Joined(characters, start, lastBreak) + '\n' + std::string(indent, ' ');
            columns = indent;
            for (std::size_t k = lastBreak; k <= i; ++k)
                columns += ColumnsOf(characters[k].code);
            start = lastBreak;
        }
    }
    return wrapped + Joined(characters, start, characters.size());
}

}  // namespace

std::size_t Columns(std::string_view text)
{
    std::size_t columns = 0;
    for (const Character& c : Characters(text))
        columns += ColumnsOf(c.code);
    return columns;
}

std::string Wrapped(std::string_view text, std::size_t indent, std::size_t width)
{
    std::string wrapped;
    for (std::size_t begin = 0;;) {
        const std::size_t end = text.find('\n', begin);
        wrapped += WrappedLine(text.substr(begin, end - begin), indent, width);
        if (end == std::string_view::npos)
            return wrapped;
        wrapped += '\n';
        begin = end + 1;
    }
}

}  // namespace quorbin::cli
