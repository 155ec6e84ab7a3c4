#include "platform/MessageCatalogue.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/ByteOrder.h"

namespace quorbin {
namespace {

constexpr std::uint32_t kMagic = 0x950412DE;
constexpr std::size_t kHeaderBytes = 28;

// Recursive descent over the C operators a plural formula may use; every
// operation is on unsigned long, a division by zero gives 0.
class PluralParser {
public:
    PluralParser(std::string_view text, unsigned long n) : m_text(text), m_n(n) {}

    std::optional<unsigned long> Whole()
    {
        const unsigned long value = Conditional();
        Skip();
        if (!m_ok || m_pos != m_text.size())
            return std::nullopt;
        return value;
    }

private:
    unsigned long Conditional()
    {
        const unsigned long condition = Or();
        if (!Take("?"))
            return condition;
        const unsigned long yes = Conditional();
        m_ok = m_ok && Take(":");
        const unsigned long no = Conditional();
        return condition ? yes : no;
    }
    unsigned long Or()
    {
        unsigned long value = And();
        while (Take("||"))
            value = (And() != 0) | (value != 0);
        return value;
    }
    unsigned long And()
    {
        unsigned long value = Equality();
        while (Take("&&"))
            value = (Equality() != 0) & (value != 0);
        return value;
    }
    unsigned long Equality()
    {
        unsigned long value = Relation();
        for (;;) {
            if (Take("=="))
                value = value == Relation();
            else if (Take("!="))
                value = value != Relation();
            else
                return value;
        }
    }
    unsigned long Relation()
    {
        unsigned long value = Sum();
        for (;;) {
            if (Take("<="))
                value = value <= Sum();
            else if (Take(">="))
                value = value >= Sum();
            else if (Take("<"))
                value = value < Sum();
            else if (Take(">"))
                value = value > Sum();
            else
                return value;
        }
    }
    unsigned long Sum()
    {
        unsigned long value = Product();
        for (;;) {
            if (Take("+"))
                value += Product();
            else if (Take("-"))
                value -= Product();
            else
                return value;
        }
    }
    unsigned long Product()
    {
        unsigned long value = Unary();
        for (;;) {
            if (Take("*")) {
                value *= Unary();
            } else if (Take("/")) {
                const unsigned long divisor = Unary();
                value = divisor ? value / divisor : 0;
            } else if (Take("%")) {
                const unsigned long divisor = Unary();
                value = divisor ? value % divisor : 0;
            } else {
                return value;
            }
        }
    }
    unsigned long Unary()
    {
        if (Take("!"))
            return !Unary();
        if (Take("(")) {
            const unsigned long value = Conditional();
            m_ok = m_ok && Take(")");
            return value;
        }
        if (Take("n"))
            return m_n;
        Skip();
        const std::size_t start = m_pos;
        unsigned long value = 0;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
            value = value * 10 + static_cast<unsigned long>(m_text[m_pos++] - '0');
        m_ok = m_ok && m_pos != start;
        return value;
    }
    void Skip()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n'))
            ++m_pos;
    }
    // Consumes `token` when it comes next; "<" never takes the start of "<=",
    // since the longer tokens are tried first.
    bool Take(std::string_view token)
    {
        Skip();
        if (!m_text.substr(m_pos).starts_with(token))
            return false;
        m_pos += token.size();
        return true;
    }

    std::string_view m_text;
    unsigned long m_n;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// The value of header field `name` ("Content-Type: text/plain; charset=UTF-8").
std::string_view HeaderField(std::string_view header, std::string_view name)
{
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string_view line = header.substr(start, end - start);
        if (line.starts_with(name) && line.substr(name.size()).starts_with(':'))
            return line.substr(name.size() + 1);
        start = end + 1;
    }
    return {};
}

// The value of `key` ("charset=", "plural=") among the ';'-separated parts of `field`.
std::string_view Parameter(std::string_view field, std::string_view key)
{
    for (std::size_t start = 0; start < field.size();) {
        const std::size_t end = std::min(field.find(';', start), field.size());
        std::string_view part = field.substr(start, end - start);
        part.remove_prefix(std::min(part.find_first_not_of(" \t"), part.size()));
        if (part.starts_with(key))
            return part.substr(key.size());
        start = end + 1;
    }
    return {};
}

bool IsUtf8Charset(std::string_view charset)
{
    std::string lower;
    std::transform(charset.begin(), charset.end(), std::back_inserter(lower),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return lower == "utf-8" || lower == "utf8" || lower == "ascii" || lower == "us-ascii";
}

}  // namespace

std::optional<unsigned long> EvaluatePluralFormula(std::string_view formula, unsigned long n)
{
    return PluralParser(formula, n).Whole();
}

std::optional<MessageCatalogue> MessageCatalogue::FromBytes(std::vector<std::uint8_t> bytes)
{
    if (bytes.size() < kHeaderBytes)
        return std::nullopt;
    const bool little = LoadLe32(bytes.data()) == kMagic;
    if (!little && LoadBe32(bytes.data()) != kMagic)
        return std::nullopt;
    const auto word = [&](std::size_t at) { return little ? LoadLe32(&bytes[at]) : LoadBe32(&bytes[at]); };
    if ((word(4) >> 16) > 1)  // major revisions 0 and 1 share the string tables
        return std::nullopt;
    const std::uint64_t count = word(8), originals = word(12), translations = word(16);
    if (originals + count * 8 > bytes.size() || translations + count * 8 > bytes.size())
        return std::nullopt;
    MessageCatalogue catalogue;
    const auto text = [&](std::uint64_t entry) -> std::optional<std::string_view> {
        const std::uint64_t length = word(entry), offset = word(entry + 4);
        if (offset + length >= bytes.size() || bytes[offset + length] != 0)
            return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(&bytes[offset]), length);
    };
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto original = text(originals + i * 8);
        const auto translation = text(translations + i * 8);
        if (!original || !translation)
            return std::nullopt;
        catalogue.m_texts.emplace(original->substr(0, original->find('\0')), *translation);
    }
    const std::string_view header = catalogue.m_texts[""];
    const std::string_view charset = Parameter(HeaderField(header, "Content-Type"), "charset=");
    if (!charset.empty() && !IsUtf8Charset(charset))
        return std::nullopt;
    const std::string_view plural = HeaderField(header, "Plural-Forms");
    if (!plural.empty()) {
        const std::string_view formula = Parameter(plural, "plural=");
        const auto forms = EvaluatePluralFormula(Parameter(plural, "nplurals="), 0);
        if (!forms || !EvaluatePluralFormula(formula, 1))
            return std::nullopt;
        catalogue.m_pluralFormula = formula;
        catalogue.m_pluralCount = *forms;
    }
    // The views stay valid: moving a vector keeps its storage.
    catalogue.m_bytes = std::move(bytes);
    return catalogue;
}

std::optional<MessageCatalogue> MessageCatalogue::Load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return std::nullopt;
    return FromBytes(std::move(bytes));
}

const char* MessageCatalogue::Find(std::string_view english, std::string_view context) const
{
    const std::string key = context.empty() ? std::string(english) : std::string(context) + '\4' + std::string(english);
    const auto found = m_texts.find(key);
    // An empty translation stands for none.
    return found == m_texts.end() || found->second.empty() || english.empty() ? nullptr : found->second.data();
}

const char* MessageCatalogue::FindPlural(std::string_view english, unsigned long n) const
{
    const auto found = m_texts.find(english);
    if (found == m_texts.end() || found->second.empty())
        return nullptr;
    unsigned long form = EvaluatePluralFormula(m_pluralFormula, n).value_or(0);
    if (form >= m_pluralCount)
        form = 0;
    std::string_view forms = found->second;
    for (; form > 0; --form) {
        const std::size_t end = forms.find('\0');
        if (end == std::string_view::npos)
            return nullptr;
        forms.remove_prefix(end + 1);
    }
    return forms.empty() ? nullptr : forms.data();
}

}  // namespace quorbin
