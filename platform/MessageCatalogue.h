#pragma once
// A compiled gettext catalogue (.mo file) read by the program itself, so that
// a translation is found whatever locales the system has generated.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorbin {

// Evaluates a catalogue's plural formula (the C expression after "plural=" in
// its Plural-Forms header, e.g. "n != 1") for `n`; nullopt when it does not parse.
std::optional<unsigned long> EvaluatePluralFormula(std::string_view formula, unsigned long n);

// Move-only: the texts are views into the file's bytes, which it owns.
class MessageCatalogue {
public:
    MessageCatalogue(MessageCatalogue&&) = default;
    MessageCatalogue& operator=(MessageCatalogue&&) = default;
    MessageCatalogue(const MessageCatalogue&) = delete;
    MessageCatalogue& operator=(const MessageCatalogue&) = delete;

    // Parses the bytes of a .mo file in either byte order; nullopt for a file
    // that is damaged or whose texts are not UTF-8.
    static std::optional<MessageCatalogue> FromBytes(std::vector<std::uint8_t> bytes);
    static std::optional<MessageCatalogue> Load(const std::string& path);

    // The translation of `english` (with `context`, when not empty), or nullptr.
    const char* Find(std::string_view english, std::string_view context = {}) const;
    // The form of the plural translation of `english` for `n`, or nullptr.
    const char* FindPlural(std::string_view english, unsigned long n) const;

private:
    MessageCatalogue() = default;

    std::vector<std::uint8_t> m_bytes;
    // Message id (context + '\4' + singular) -> translation, all forms
    // separated by NUL; both views point into m_bytes.
    std::unordered_map<std::string_view, std::string_view> m_texts;
    std::string m_pluralFormula = "n != 1";
    unsigned long m_pluralCount = 2;
};

}  // namespace quorbin
