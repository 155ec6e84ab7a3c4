#pragma once
// The parent's side of decoding: a recording is decoded by a child process
// (quorbin-decoder) that holds nothing but the recording's descriptor and a
// pipe back, under limits and a system call filter. The parent reads what
// the child sends, never more than the request can use, and turns a child
// that fails, dies or is stopped into a reason. Free of Qt, for the command
// line and the window program alike.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Result.h"
#include "decode/DecodeRequest.h"
#include "decode/Preparation.h"

namespace quorbin::decode {

struct DecodeSettings {
    bool verbose = false;  // the libraries' own messages go to standard error
};

// What the child said, one thing at a time; Done and Failed come last.
struct DecoderEvent {
    enum class Kind { Source, Samples, Done, Failed };
    Kind kind = Kind::Failed;
    int rate = 0;                                   // Source: the recording's own; Samples, Done: that of the samples
    int channels = 0;                               // Source
    std::vector<std::int16_t> samples;              // Samples
    std::uint64_t selectedSamples = 0;              // Done: the selection before the cut to what a melody file holds,
    bool selectionKnown = true;                     // false when a stream of unknown length went on past it,
    std::optional<std::uint64_t> recordingSamples;  // and the whole recording, where it states its length
    FailureReason reason;                           // Failed
};

class DecoderProcess {
public:
    // Starts a child that does `work` on the recording open at `fd` (a regular
    // file or a stream, kept open by the caller) as `options` ask. `name` is
    // its file name, a hint for formats without a signature.
    DecoderProcess(int fd, const std::string& name, DecodeWork work, const PreparationOptions& options,
                   const DecodeSettings& settings = {});
    // Stops a child still running and waits for it.
    ~DecoderProcess();
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    // Waits for the child's next event. After Done or Failed it returns the same Failed.
    DecoderEvent Next();
    // Stops the child; a Next waiting in another thread returns Failed.
    void Cancel();
    // False when the kernel refused the system call filter: the child decoded
    // under its limits and the allow-lists only.
    bool Confined() const { return m_confined; }

private:
    DecoderEvent Read(const std::vector<std::byte>& payload, std::uint32_t type);
    DecoderEvent Ended();                       // the child closed the pipe: why
    DecoderEvent Finish(FailureReason reason);  // stops and waits for the child; the last event
    void Reap(int& status, double& processorSeconds);

    pid_t m_pid = -1;
    int m_pidFd = -1;  // signals reach this child even after it has been waited for
    int m_pipe = -1;
    std::size_t m_limit;          // samples the work can use
    unsigned m_processorSeconds;  // the child's limit
    std::size_t m_received = 0;
    int m_stoppedCall = -1;  // the call the filter stopped, when the child said so
    bool m_confined = true;
    bool m_finished = false;
    std::atomic<bool> m_cancelled = false;
    FailureReason m_failure;
};

// Whether the decoder child and its module are installed; they come in a
// package of their own.
bool DecodersInstalled();

// Prepares the whole recording open at `fd` in a child, or says why not.
// `confined` is false when the kernel refused the filter.
Result<PreparedRecording> DecodeRecording(int fd, const std::string& name, const PreparationOptions& options,
                                          const DecodeSettings& settings, bool& confined);

// Decodes all of the recording open at `fd` as mono samples at `rate`, giving
// each block to `sink` as soon as it is ready; `sink` returns false to stop.
// Succeeds when decoded (or stopped).
Result<> DecodeWholeRecording(int fd, const std::string& name, int rate, const DecodeSettings& settings,
                              const SampleBlockSink& sink, bool& confined);

}  // namespace quorbin::decode
