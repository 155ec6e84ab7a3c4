#include "cli/Texts.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "cli/TerminalText.h"

namespace quorbin::cli {
namespace {

struct ErrnoText {
    int number;
    Text text;
};

// The reasons users meet with files, worded as the C library words them.
// Others fall back to the C library's own text.
constexpr ErrnoText kErrnoTexts[] = {
    {ENOENT, {"No such file or directory", "ファイルまたはフォルダがありません"}},
    {EACCES, {"Permission denied", "アクセス権がありません"}},
    {EPERM, {"Operation not permitted", "操作が許可されていません"}},
    {EISDIR, {"Is a directory", "フォルダです"}},
    {ENOTDIR, {"Not a directory", "フォルダではありません"}},
    {EEXIST, {"File exists", "ファイルが既にあります"}},
    {ENOSPC, {"No space left on device", "デバイスに空き容量がありません"}},
    {EDQUOT, {"Disk quota exceeded", "ディスク使用量の上限を超えました"}},
    {EROFS, {"Read-only file system", "読み取り専用のファイルシステムです"}},
    {EIO, {"Input/output error", "入出力エラーです"}},
    {ENAMETOOLONG, {"File name too long", "ファイル名が長すぎます"}},
    {ELOOP, {"Too many levels of symbolic links", "シンボリックリンクの階層が深すぎます"}},
    {EPIPE, {"Broken pipe", "パイプが閉じられました"}},
    {EFBIG, {"File too large", "ファイルが大きすぎます"}},
    {EBUSY, {"Device or resource busy", "デバイスまたはリソースが使用中です"}},
};

} // namespace

Language UserLanguage() {
    return LanguageFromEnvironment();
}

std::string Tr(Text text) {
    return std::string(text.In(UserLanguage()));
}

void Say(std::ostream& out, std::string_view text) {
    out << FromUtf8(text, TerminalCodeset());
}

std::string ErrnoReason(int errorNumber) {
    for (const ErrnoText& entry : kErrnoTexts) {
        if (entry.number == errorNumber) return Tr(entry.text);
    }
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in `buffer`.
    return strerror_r(errorNumber, buffer, sizeof buffer);
}

} // namespace quorbin::cli
