#include "conversion/StepMessages.h"

#include <clocale>
#include <cstring>
#include <locale.h>

#include "res/StringTable.h"

namespace quorbin {
namespace {

// The system's own text for `error` in English, whatever the user's locale.
std::string EnglishErrorText(int error) {
    static const locale_t plain = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return plain ? ::strerror_l(error, plain) : std::strerror(error);
}

} // namespace

int MessageIdFor(StepFailure failure) {
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

std::string ReasonText(const FailureReason& reason) {
    switch (reason.kind) {
    case ReasonKind::None: return {};
    case ReasonKind::SystemError: return EnglishErrorText(reason.error);
    case ReasonKind::ReplacesSource: return "it would replace the recording itself";
    case ReasonKind::ReplacesInput: return "it would replace the recording " + reason.file;
    case ReasonKind::AlreadyWritten: return reason.file + " was already written to it in this run";
    case ReasonKind::ReplacesMelodyFile: return "the preview would replace the melody file itself";
    case ReasonKind::DanglingLink: return "it is a symbolic link to a file that does not exist";
    }
    return {};
}

} // namespace quorbin
