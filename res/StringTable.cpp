#include "res/StringTable.h"

#include <cstdlib>
#include <string_view>

namespace quorbin {
namespace {

struct Entry {
    const char* english;
    const char* japanese;
};

constexpr Entry kStrings[] = {
    {"Output File Size : ", "出力ファイルサイズ : "},
    {"Cannot open WAVE file", "WAVEファイルを開けません"},
    {"Extension is not \".wav\"", "拡張子が\".wav\"ではありません"},
    {"Invalid WAVE file", "不正なWAVEファイルです"},
    {"This WAVE format not supported", "対応しないWAVEフォーマットです"},
    {"Cannot save \".mld\" file", "\".mld\"ファイルを保存できません"},
    {"Filename length exceeds limit", "ファイル名が長すぎます"},
    {"Inadequate WAVE file playtime", "WAVEの再生時間が短すぎます"},
    {"Disk space not enough", "ディスク容量が足りません"},
};

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

bool IsJapanese(std::string_view locale)
{
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "ja";
}

}  // namespace

const char* LoadString(int id, Language language)
{
    if (id < IDS_OUTPUT_SIZE || id > IDS_DISK_SPACE)
        return "";
    const Entry& entry = kStrings[id - IDS_OUTPUT_SIZE];
    return language == Language::Japanese ? entry.japanese : entry.english;
}

const char* LoadCutNoteTemplate(Language language)
{
    return language == Language::Japanese ? "先頭%s秒を保存しました（全%s秒）。" : "Kept the first %s s of %s s.";
}

Language LanguageFromEnvironment()
{
    const std::string_view locale = MessagesLocale();
    std::string_view choice = locale;
    // LANGUAGE lists preferred languages; it is ignored for the plain C locale.
    if (locale != "C" && locale != "POSIX") {
        const std::string_view list = Variable("LANGUAGE");
        const std::string_view first = list.substr(0, list.find(':'));
        if (!first.empty())
            choice = first;
    }
    return IsJapanese(choice) ? Language::Japanese : Language::English;
}

}  // namespace quorbin
