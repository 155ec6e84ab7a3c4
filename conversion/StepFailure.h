#pragma once
// How the conversion steps report a failure: what failed, and why in more
// detail. The reason keeps its kind apart from its wording so that each
// front-end can word it in its own language.
#include <string>

#include "audio/WaveReader.h"
#include "platform/FileSave.h"
#include "platform/FileSource.h"
#include "platform/FileSystem.h"

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

enum class ReasonKind {
    None,
    SystemError,         // `error` holds the errno of the failed call
    ReplacesSource,      // the output is the recording being converted
    ReplacesInput,       // the output is `file`, another input of the same run
    AlreadyWritten,      // `file` was converted into the same output earlier in the run
    ReplacesMelodyFile,  // the preview is the melody file just made
    DanglingLink,        // the output is a symbolic link to a file that does not exist
    FormatFound,         // `format` is the WAVE format found, which is not taken as it is
    Undecodable,         // no decoder reads the recording
    Exists,              // the output exists and is kept
    NotRegularFile,      // the recording is a FIFO, a device or a socket
    OutOfMemory,
    NotAudioFile,         // a format the decoders refuse: a playlist, a network description, a picture
    DecoderMissing,       // `file` names the part of the decoders that is missing
    StreamTooLongForFit,  // --fit would read standard input again further back than is kept
    // The decoder child was stopped: it tried to open a file, to use the
    // network, to start a process, or made another call the filter refuses
    // (`error` holds its number); it used up its processor time; it sent
    // more or other than was asked for; it crashed.
    DecoderOpenedFile,
    DecoderUsedNetwork,
    DecoderStartedProcess,
    DecoderForbiddenCall,
    DecoderTimeLimit,
    DecoderMisbehaved,
    DecoderCrashed,
};

struct FailureReason {
    ReasonKind kind = ReasonKind::None;
    int error = 0;
    std::string file;
    WaveFormat format;

    static FailureReason System(int error) { return {ReasonKind::SystemError, error, {}, {}}; }
    // Why a recording could not be opened, from the error of OpenRegularFile.
    static FailureReason Opening(int error)
    {
        return error == kNotRegularFile ? Of(ReasonKind::NotRegularFile) : System(error);
    }
    static FailureReason Of(ReasonKind kind) { return {kind, 0, {}, {}}; }
    bool Given() const { return kind != ReasonKind::None; }
};

// The reason of a failed save: the dangling link, a file that was to be kept, or the system's error.
inline FailureReason ReasonFor(const SaveStatus& status)
{
    switch (status.failure) {
    case SaveFailure::DanglingLink: return FailureReason::Of(ReasonKind::DanglingLink);
    case SaveFailure::Exists: return FailureReason::Of(ReasonKind::Exists);
    default: return FailureReason::System(status.error);
    }
}

}  // namespace quorbin
