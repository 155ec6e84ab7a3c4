#include "platform/Translation.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/MessageCatalogue.h"

namespace quorbin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDomain = "quorbin";

std::string_view Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string_view(value) : std::string_view();
}

// The locale that decides the message language, in the C library's order.
std::string_view MessagesLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string_view value = Variable(name);
        if (!value.empty())
            return value;
    }
    return "C";
}

std::vector<std::string_view> Split(std::string_view list, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(separator, start), list.size());
        if (end > start)
            parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string CataloguePath(const std::string& folder, std::string_view code)
{
    return folder + '/' + std::string(code) + "/LC_MESSAGES/" + kDomain + ".mo";
}

// Every catalogue is read once, on first use, and kept for the program's life.
const MessageCatalogue* CatalogueFor(const std::string& code)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<MessageCatalogue>> loaded;
    const std::lock_guard lock(mutex);
    const auto known = loaded.find(code);
    if (known != loaded.end())
        return known->second.get();
    std::unique_ptr<MessageCatalogue>& slot = loaded[code];
    for (const std::string& folder : CatalogueFolders()) {
        if (auto catalogue = MessageCatalogue::Load(CataloguePath(folder, code))) {
            slot = std::make_unique<MessageCatalogue>(std::move(*catalogue));
            break;
        }
    }
    return slot.get();
}

// The language a locale-style entry ("ja_JP.UTF-8@mod", "de", "en_GB") names,
// when it is English or has a catalogue.
std::optional<Language> Available(std::string_view entry)
{
    const std::string_view variant = entry.substr(0, entry.find_first_of(".@"));
    const std::string_view language = variant.substr(0, variant.find('_'));
    if (language == "en")
        return Language::English();
    for (const std::string_view code : {variant, language}) {
        if (!code.empty() && CatalogueFor(std::string(code)))
            return Language(std::string(code));
    }
    return std::nullopt;
}

}  // namespace

bool Language::IsJapanese() const
{
    return m_code == "ja" || m_code.starts_with("ja_");
}

Language UserLanguage()
{
    const std::string_view locale = MessagesLocale();
    std::vector<std::string_view> entries{locale};
    // LANGUAGE lists preferred languages; it is ignored for the plain C locale.
    if (locale != "C" && locale != "POSIX") {
        if (auto preferred = Split(Variable("LANGUAGE"), ':'); !preferred.empty())
            entries = std::move(preferred);
    }
    for (const std::string_view entry : entries) {
        if (const auto language = Available(entry))
            return *language;
    }
    return Language::English();
}

const char* Tr(const char* english, const Language& language)
{
    const MessageCatalogue* catalogue = CatalogueFor(language.Code());
    const char* translated = catalogue ? catalogue->Find(english) : nullptr;
    return translated ? translated : english;
}

const char* TrN(const char* singular, const char* plural, unsigned long n, const Language& language)
{
    const MessageCatalogue* catalogue = CatalogueFor(language.Code());
    const char* translated = catalogue ? catalogue->FindPlural(singular, n) : nullptr;
    if (translated)
        return translated;
    return n == 1 ? singular : plural;
}

std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            text += values.begin()[index];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::vector<std::string> CatalogueFolders()
{
    std::vector<std::string> folders;
    if (const std::string_view chosen = Variable("QUORBIN_LOCALEDIR"); !chosen.empty())
        folders.emplace_back(chosen);
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        folders.push_back((program.parent_path().parent_path() / "share" / "locale").string());
    folders.emplace_back(QUORBIN_LOCALEDIR);
    return folders;
}

}  // namespace quorbin
