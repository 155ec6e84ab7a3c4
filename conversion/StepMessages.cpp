#include "conversion/StepMessages.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace quorbin {
namespace {

struct Wording {
    const char* english;
    const char* japanese;

    std::string In(Language language) const { return language == Language::Japanese ? japanese : english; }
};

struct ErrorWording {
    int error;
    Wording wording;
};

// The reasons users meet with files, in the C library's English words and in
// Japanese. Others keep the C library's English text.
constexpr ErrorWording kErrorWordings[] = {
    {ENOENT, {"No such file or directory", "ファイルまたはフォルダがありません"}},
    {EACCES, {"Permission denied", "アクセス権がありません"}},
    {EPERM, {"Operation not permitted", "操作が許可されていません"}},
    {EISDIR, {"Is a directory", "フォルダです"}},
    {ENOTDIR, {"Not a directory", "フォルダではありません"}},
    {EINVAL, {"Invalid argument", "引数が正しくありません"}},
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

// The system's own text for `error` in English, whatever the user's locale.
std::string EnglishErrorText(int error)
{
    static const locale_t plain = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return plain ? ::strerror_l(error, plain) : std::strerror(error);
}

std::string FormatTagName(std::uint16_t tag)
{
    switch (tag) {
    case 1: return "PCM";
    case 2: return "MS ADPCM";
    case 3: return "float";
    case 6: return "A-law";
    case 7: return "mu-law";
    case 0x11: return "IMA ADPCM";
    case 0x55: return "MP3";
    case 0xFFFE: return "extensible";
    default: break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "format 0x%04X", tag);
    return text;
}

// "44100 Hz, 2 channels, 16-bit PCM"
std::string FormatText(const WaveFormat& format, Language language)
{
    const std::string rate = std::to_string(format.sampleRate) + " Hz, ";
    const std::string kind = std::to_string(format.bitsPerSample) + Wording{"-bit ", " ビット "}.In(language)
                             + FormatTagName(format.formatTag);
    if (language == Language::Japanese)
        return rate + std::to_string(format.channels) + " チャンネル, " + kind;
    return rate + std::to_string(format.channels) + (format.channels == 1 ? " channel, " : " channels, ") + kind;
}

}  // namespace

int MessageIdFor(StepFailure failure)
{
    switch (failure) {
    case StepFailure::None: return IDS_OUTPUT_SIZE;
    case StepFailure::PathTooLong: return IDS_FILENAME_TOO_LONG;
    case StepFailure::NotWave: return IDS_NOT_WAV_EXTENSION;
    case StepFailure::CannotOpen: return IDS_CANNOT_OPEN_WAVE;
    case StepFailure::InvalidWave: return IDS_INVALID_WAVE;
    case StepFailure::Unsupported: return IDS_UNSUPPORTED_FORMAT;
    case StepFailure::TooShort: return IDS_PLAYTIME_TOO_SHORT;
    case StepFailure::CannotSave: return IDS_CANNOT_SAVE_MLD;
    case StepFailure::DiskSpace: return IDS_DISK_SPACE;
    }
    return IDS_CANNOT_SAVE_MLD;
}

std::string ErrorText(int error, Language language)
{
    for (const ErrorWording& entry : kErrorWordings) {
        if (entry.error == error)
            return entry.wording.In(language);
    }
    return EnglishErrorText(error);
}

std::string ReasonText(const FailureReason& reason, Language language)
{
    switch (reason.kind) {
    case ReasonKind::None: return {};
    case ReasonKind::SystemError: return ErrorText(reason.error, language);
    case ReasonKind::ReplacesSource:
        return Wording{"it would replace the recording itself", "録音ファイル自身を上書きしてしまいます"}.In(language);
    case ReasonKind::ReplacesInput:
        return language == Language::Japanese ? "この実行の入力 " + reason.file + " を上書きしてしまいます"
                                              : "it would replace " + reason.file + ", an input of this run";
    case ReasonKind::AlreadyWritten:
        return language == Language::Japanese ? "この実行で既に " + reason.file + " から書き込まれています"
                                              : reason.file + " was already written to it in this run";
    case ReasonKind::ReplacesMelodyFile:
        return Wording{"the preview would replace the melody file itself",
                       "プレビューがメロディファイル自身を上書きしてしまいます"}
            .In(language);
    case ReasonKind::DanglingLink:
        return Wording{"it is a symbolic link to a file that does not exist",
                       "存在しないファイルへのシンボリックリンクです"}
            .In(language);
    case ReasonKind::FormatFound: return FormatText(reason.format, language);
    case ReasonKind::Undecodable:
        return Wording{"no decoder reads this file", "どのデコーダも読めないファイルです"}.In(language);
    case ReasonKind::Exists: return Wording{"exists", "既に存在します"}.In(language);
    case ReasonKind::NotRegularFile: return Wording{"not a regular file", "通常のファイルではありません"}.In(language);
    case ReasonKind::OutOfMemory: return Wording{"out of memory", "メモリが足りません"}.In(language);
    }
    return {};
}

}  // namespace quorbin
