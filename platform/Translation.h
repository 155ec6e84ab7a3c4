#pragma once
// The user's language and the program's texts in it. Texts are written in
// English in the code; a compiled gettext catalogue (LOCALEDIR/CODE/LC_MESSAGES/
// quorbin.mo, made from po/CODE.po) gives them in another language. The program
// reads the catalogue itself and chooses the language from the environment, so
// a translation shows even where the system has no locale generated for it.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quorbin {

// A language of the texts, named as its catalogue is ("ja", "pt_BR"); "en" is
// the English of the code itself.
class Language {
public:
    Language() = default;
    explicit Language(std::string code) : m_code(std::move(code)) {}
    static Language English() { return Language(); }
    static Language Japanese() { return Language("ja"); }

    const std::string& Code() const { return m_code; }
    // Japanese texts use the Japanese dialog layouts and fonts; every other
    // language uses the English ones.
    bool IsJapanese() const;
    bool operator==(const Language&) const = default;

private:
    std::string m_code = "en";
};

// The language of the user's messages, read from the environment on each call
// in the C library's order: the entries of LANGUAGE (unless the messages locale
// is C or POSIX), else the first set of LC_ALL, LC_MESSAGES and LANG. The first
// entry that is English or has a catalogue wins ("ja_JP.UTF-8" looks for
// "ja_JP", then "ja"); English when none does.
Language UserLanguage();

// Marks `english` for the catalogue without translating it, for tables whose
// entries go through Tr where they are shown.
constexpr const char* N_(const char* english)
{
    return english;
}

// `english` in `language`; `english` itself when the catalogue has no translation.
const char* Tr(const char* english, const Language& language = UserLanguage());

// The form of `singular`/`plural` that suits `n` in `language`.
const char* TrN(const char* singular, const char* plural, unsigned long n, const Language& language = UserLanguage());

// `pattern` with %1 ... %9 replaced by `values` in one pass.
std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> values);

// The folders searched for catalogues, first match wins: $QUORBIN_LOCALEDIR,
// share/locale beside the program's own folder (the installed layout, and the
// build tree, where every program lies one folder below the catalogues), then
// the folder the package installs them in.
std::vector<std::string> CatalogueFolders();

}  // namespace quorbin
