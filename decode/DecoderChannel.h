#pragma once
// The pipe from a decoder child to its parent carries records: a header (type
// and payload length) and the payload. Samples come in blocks as they are
// ready, so that a parent can follow the decoding and stop it at any moment.
// Both ends run on the same machine, so numbers travel in its own byte order.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace quorbin::decode {

enum class RecordType : std::uint32_t {
    Source = 1,  // SourceRecord
    Samples,     // SamplesRecord, then 16-bit samples
    Done,        // DoneRecord: the last record of a decoding that worked
    Failed,      // FailedRecord, then a text (a library's name, say; may be empty)
    Unconfined,  // no payload: the kernel refused the system call filter
    Stopped,     // StoppedRecord: the filter stopped a system call, the child ends
};

struct RecordHeader {
    RecordType type;
    std::uint32_t length;  // of the payload
};

struct SourceRecord {
    std::int32_t rate;  // the recording's own
    std::int32_t channels;
};

struct SamplesRecord {
    std::int32_t rate;
};

// A length the recording does not state.
constexpr std::uint64_t kUnknownLength = ~std::uint64_t{0};

struct DoneRecord {
    std::uint64_t selectedSamples;   // the selection before the cut to what a melody file holds,
    std::uint64_t recordingSamples;  // the whole recording (kUnknownLength), both at `rate`
    std::int32_t rate;               // of the samples, also when there are none
    std::int32_t selectionKnown;     // 0: a stream of unknown length went on past the cut
};

enum class DecodeProblem : std::uint32_t {
    Refused,        // not an audio file the decoders read (a playlist, a network description, ...)
    Unreadable,     // no decoder makes sound of it
    StreamTooLong,  // --fit would read a stream again further back than is kept
    OutOfMemory,
    ModuleMissing,  // the module or one of its libraries cannot be loaded; the text names it
    BadRequest,     // the arguments make no sense
};

struct FailedRecord {
    DecodeProblem problem;
};

struct StoppedRecord {
    std::int32_t call;  // the number of the system call
};

constexpr std::uint32_t kMaxRecordLength = 1u << 20;
constexpr std::size_t kSamplesPerRecord = 16384;

// Writes all of `size` bytes; false when the pipe is gone. Only write(2), so
// a signal handler may use it.
inline bool WriteFully(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::byte*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// One record of `type` whose payload is `first` followed by `rest`; signal-safe too.
inline bool WriteRecord(int fd, RecordType type, const void* first, std::size_t firstSize, const void* rest = nullptr,
                        std::size_t restSize = 0)
{
    const RecordHeader header{type, static_cast<std::uint32_t>(firstSize + restSize)};
    return WriteFully(fd, &header, sizeof header) && WriteFully(fd, first, firstSize) && WriteFully(fd, rest, restSize);
}

inline bool SendFailure(int fd, DecodeProblem problem, const char* text = "", std::size_t textSize = 0)
{
    const FailedRecord failed{problem};
    return WriteRecord(fd, RecordType::Failed, &failed, sizeof failed, text, textSize);
}

}  // namespace quorbin::decode
