#include "conversion/StepMessages.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace quorbin {
namespace {

struct ErrorWording {
    int error;
    const char* english;
};

// The reasons users meet with files, in the C library's English words; the
// catalogues translate them. Others keep the C library's English text.
constexpr ErrorWording kErrorWordings[] = {
    {ENOENT, N_("No such file or directory")},
    {EACCES, N_("Permission denied")},
    {EPERM, N_("Operation not permitted")},
    {EISDIR, N_("Is a directory")},
    {ENOTDIR, N_("Not a directory")},
    {EINVAL, N_("Invalid argument")},
    {EEXIST, N_("File exists")},
    {ENOSPC, N_("No space left on device")},
    {EDQUOT, N_("Disk quota exceeded")},
    {EROFS, N_("Read-only file system")},
    {EIO, N_("Input/output error")},
    {ENAMETOOLONG, N_("File name too long")},
    {ELOOP, N_("Too many levels of symbolic links")},
    {EPIPE, N_("Broken pipe")},
    {EFBIG, N_("File too large")},
    {EBUSY, N_("Device or resource busy")},
    {ESPIPE, N_("Illegal seek")},
    {EMFILE, N_("Too many open files")},
    {ENXIO, N_("No such device or address")},
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
std::string FormatText(const WaveFormat& format, const Language& language)
{
    const std::string channels = std::to_string(format.channels);
    const std::string bits = std::to_string(format.bitsPerSample);
    return std::to_string(format.sampleRate) + " Hz, "
           + Substitute(TrN("%1 channel", "%1 channels", format.channels, language), {channels}) + ", "
           + Substitute(Tr("%1-bit %2", language), {bits, FormatTagName(format.formatTag)});
}

// "the decoder stopped: ..." for a decoder child that was stopped.
std::string DecoderStopText(const FailureReason& reason, const Language& language)
{
    switch (reason.kind) {
    case ReasonKind::DecoderOpenedFile: return Tr("the decoder stopped: it tried to open a file", language);
    case ReasonKind::DecoderUsedNetwork: return Tr("the decoder stopped: it tried to use the network", language);
    case ReasonKind::DecoderStartedProcess: return Tr("the decoder stopped: it tried to start a process", language);
    case ReasonKind::DecoderForbiddenCall:
        return Substitute(Tr("the decoder stopped: it made a system call that decoding does not need (%1)", language),
                          {std::to_string(reason.error)});
    case ReasonKind::DecoderTimeLimit:
        return Tr("the decoder stopped: it used more processor time than allowed", language);
    case ReasonKind::DecoderMisbehaved: return Tr("the decoder stopped: it sent more than was asked for", language);
    case ReasonKind::DecoderCrashed: return Tr("the decoder stopped: it crashed", language);
    default: break;
    }
    return {};
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

std::string ErrorText(int error, const Language& language)
{
    for (const ErrorWording& entry : kErrorWordings) {
        if (entry.error == error)
            return Tr(entry.english, language);
    }
    return EnglishErrorText(error);
}

std::string ReasonText(const FailureReason& reason, const Language& language)
{
    switch (reason.kind) {
    case ReasonKind::None: return {};
    case ReasonKind::SystemError: return ErrorText(reason.error, language);
    case ReasonKind::ReplacesSource: return Tr("it would replace the recording itself", language);
    case ReasonKind::ReplacesInput:
        return Substitute(Tr("it would replace %1, an input of this run", language), {reason.file});
    case ReasonKind::AlreadyWritten:
        return Substitute(Tr("%1 was already written to it in this run", language), {reason.file});
    case ReasonKind::ReplacesMelodyFile: return Tr("the preview would replace the melody file itself", language);
    case ReasonKind::DanglingLink: return Tr("it is a symbolic link to a file that does not exist", language);
    case ReasonKind::FormatFound: return FormatText(reason.format, language);
    case ReasonKind::Undecodable: return Tr("no decoder reads this file", language);
    case ReasonKind::Exists: return Tr("exists", language);
    case ReasonKind::NotRegularFile: return Tr("not a regular file", language);
    case ReasonKind::OutOfMemory: return Tr("out of memory", language);
    case ReasonKind::NotAudioFile: return Tr("not an audio file Quorbin reads", language);
    case ReasonKind::DecoderMissing:
        return Substitute(Tr("the decoder module is missing: %1", language), {reason.file});
    case ReasonKind::StreamTooLongForFit:
        return Tr("--fit cannot read this much of standard input again; give the recording as a file", language);
    default: break;
    }
    return DecoderStopText(reason, language);
}

std::string FormatSizeReport(std::uint32_t size, const Language& language)
{
    char number[32];
    std::snprintf(number, sizeof number, "%.2f", size / 1024.0);
    return std::string(LoadString(IDS_OUTPUT_SIZE, language)) + number + "KB";
}

std::string FormatCutNote(const AudioExtent& extent, const Language& language)
{
    if (!extent.Cut() || extent.rate <= 0)
        return "";
    char kept[32];
    char whole[32];
    std::snprintf(kept, sizeof kept, "%.1f", static_cast<double>(extent.kept) / extent.rate);
    std::snprintf(whole, sizeof whole, "%.1f", static_cast<double>(extent.whole) / extent.rate);
    return Substitute(Tr("Kept the first %1 s of %2 s.", language), {kept, whole});
}

}  // namespace quorbin
