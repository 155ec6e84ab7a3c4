#pragma once
// One way to report failure from the bottom of the program up: a function
// returns a Result, which holds either its value or the FailureReason that
// says why there is none (with the errno of a failed system call). The reason
// keeps its kind apart from its wording, so each front-end words it in its
// own language.
#include <string>
#include <utility>
#include <variant>

#include "core/WaveFormat.h"

namespace quorbin {

enum class ReasonKind {
    None,
    SystemError,  // `error` holds the errno of the failed call
    // Reading a recording.
    BytesMissing,    // fewer bytes than asked for are there (a file cut short)
    InvalidWave,     // not RIFF WAVE, a chunk runs past the end, no "fmt " or no "data"
    FormatFound,     // `format` is the WAVE format found, which is not taken as it is
    TooShort,        // 20 ms of sound or less
    NotRegularFile,  // the recording is a FIFO, a device or a socket
    TooLarge,        // larger than the reader takes; nothing was read
    OutOfMemory,
    // Coding: the output area is smaller than the coded sound.
    OutputTooSmall,
    // Saving.
    ReplacesSource,      // the output is the recording being converted
    ReplacesInput,       // the output is `file`, another input of the same run
    AlreadyWritten,      // `file` was converted into the same output earlier in the run
    ReplacesMelodyFile,  // the preview is the melody file just made
    DanglingLink,        // the output is a symbolic link to a file that does not exist
    Exists,              // the output exists and is kept
    // Decoding other formats.
    Undecodable,          // no decoder reads the recording
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
    static FailureReason Of(ReasonKind kind) { return {kind, 0, {}, {}}; }
    bool Given() const { return kind != ReasonKind::None; }
};

// A value, or the reason there is none.
template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    // A failure: `reason` must be given.
    Result(FailureReason reason) : m_state(std::in_place_index<1>, std::move(reason)) {}
    Result(ReasonKind kind) : Result(FailureReason::Of(kind)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    T& operator*() { return std::get<0>(m_state); }
    const T& operator*() const { return std::get<0>(m_state); }
    T* operator->() { return &std::get<0>(m_state); }
    const T* operator->() const { return &std::get<0>(m_state); }
    // Why there is no value; a reason of kind None when there is one.
    const FailureReason& Reason() const
    {
        static const FailureReason none;
        return m_state.index() == 1 ? std::get<1>(m_state) : none;
    }

private:
    std::variant<T, FailureReason> m_state;
};

// Success, or the reason of a failure.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(FailureReason reason) : m_reason(std::move(reason)) {}
    Result(ReasonKind kind) : m_reason(FailureReason::Of(kind)) {}

    explicit operator bool() const { return !m_reason.Given(); }
    const FailureReason& Reason() const { return m_reason; }

private:
    FailureReason m_reason;
};

}  // namespace quorbin
