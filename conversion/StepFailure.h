#pragma once
// How the conversion steps report a failure: which message the user sees,
// and a FailureReason (core/Result.h) that says why in more detail.
#include "core/Result.h"

namespace quorbin {

enum class StepFailure {
    None,
    PathTooLong,  // the path has 260 or more bytes in CP932
    NotWave,      // the name does not end in ".wav"
    CannotOpen,
    InvalidWave,
    Unsupported,  // a WAVE file, but not 16-bit mono PCM at 4000 to 16000 Hz
    TooShort,
    CannotSave,
    DiskSpace,
};

// The failure of reading a recording for why it could not be read: it could
// not be opened, it is not a WAVE file the converter takes, or too short.
inline StepFailure ReadingFailure(const FailureReason& reason)
{
    switch (reason.kind) {
    case ReasonKind::SystemError:
    case ReasonKind::NotRegularFile: return StepFailure::CannotOpen;
    case ReasonKind::FormatFound: return StepFailure::Unsupported;
    case ReasonKind::TooShort: return StepFailure::TooShort;
    default: return StepFailure::InvalidWave;
    }
}

// Whether a reason says more than the message of its failure does.
inline bool AddsToMessage(const FailureReason& reason)
{
    switch (reason.kind) {
    case ReasonKind::None:
    case ReasonKind::BytesMissing:
    case ReasonKind::InvalidWave:
    case ReasonKind::TooShort:
    case ReasonKind::OutputTooSmall: return false;
    default: return true;
    }
}

}  // namespace quorbin
