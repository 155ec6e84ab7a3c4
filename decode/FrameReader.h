#pragma once
// Decoded audio of a recording in any format, read in blocks of interleaved
// float frames at the recording's own rate (full scale 1.0).
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorbin::decode {

class FrameReader {
public:
    virtual ~FrameReader() = default;
    virtual int Channels() const = 0;
    virtual int Rate() const = 0;
    // Frames in the whole recording as its container states them; none when unknown.
    virtual std::optional<std::uint64_t> StatedFrames() const = 0;
    // Fills up to `frames` frames; returns how many (0 at the end), or -1 on a read error.
    // Throws std::bad_alloc when the decoder runs out of memory.
    virtual long Read(float* interleaved, long frames) = 0;
    // Whether Seek finds a frame without decoding all that lies before it.
    virtual bool CanSeek() const { return false; }
    // After CanSeek: the next Read starts at `frame`, counted as reading from
    // the start counts them (past the end: Read gives nothing). False on a read error.
    virtual bool Seek(std::uint64_t /*frame*/) { return false; }
};

// Reads and drops up to `frames` frames of `reader`; false on a read error.
bool DropFrames(FrameReader& reader, std::uint64_t frames);

// The recording as the decoders get it: a descriptor someone else opened and
// keeps open. Nothing else is ever opened for it.
struct RecordingInput {
    int fd = -1;
    std::optional<std::uint64_t> size;  // of a regular file; none for a stream (a pipe)
    std::string name;                   // its file name, a hint for formats without a signature; may be empty

    bool Seekable() const { return size.has_value(); }
};

// One reader's place in a RecordingInput: positioned reads of a regular file,
// so that several readers never disturb each other, or plain reads of a stream.
// Small reads of a file are served from a block read ahead: a decoder that
// walks frame headers (an MP3 seek table) costs few system calls.
class InputCursor {
public:
    explicit InputCursor(const RecordingInput& input) : m_input(input) {}
    const RecordingInput& Input() const { return m_input; }
    std::uint64_t Position() const { return m_position; }
    // Bytes read (0 at the end), or -1 with errno set.
    ssize_t Read(void* buffer, std::size_t size);
    // Like lseek; -1 for a stream or a place before the start.
    std::int64_t Seek(std::int64_t offset, int whence);

private:
    // What read(2) or pread(2) at the current place gives.
    ssize_t ReadThrough(void* buffer, std::size_t size);
    // Copies what the block read ahead holds at the current place; how many bytes.
    std::size_t TakeAhead(std::uint8_t* buffer, std::size_t size);

    const RecordingInput& m_input;
    std::uint64_t m_position = 0;
    std::vector<std::uint8_t> m_ahead;  // the file's bytes from m_aheadAt on
    std::uint64_t m_aheadAt = 0;
};

enum class OpenStatus {
    Ok,
    Refused,     // a format that is no audio file: playlists, network descriptions, pictures, ...
    Unreadable,  // no decoder makes sound of it
};

// Has the decoding libraries do what they do on first use (ask the processor
// and the system about themselves), and sets whether they may print messages.
void InitialiseDecoders(bool verbose);

// Opens the recording with libsndfile, which reads the common uncompressed
// formats, FLAC, Vorbis, Opus and MP3 exactly and refuses what it does not
// know, or else with FFmpeg's demuxers of audio files (AAC, AMR and much
// more). A stream is read by FFmpeg alone, from where it stands.
std::unique_ptr<FrameReader> OpenFrameReader(const RecordingInput& input, OpenStatus& status);

}  // namespace quorbin::decode
