#pragma once
// Decoded audio of a recording in any format, read in blocks of interleaved
// float frames at the recording's own rate (full scale 1.0).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace quorbin::decode {

class FrameReader {
public:
    virtual ~FrameReader() = default;
    virtual int Channels() const = 0;
    virtual int Rate() const = 0;
    // Frames in the whole recording as its container states them; none when unknown.
    virtual std::optional<std::uint64_t> StatedFrames() const = 0;
    // Fills up to `frames` frames; returns how many (0 at the end), or -1 on a read error.
    virtual long Read(float* interleaved, long frames) = 0;
};

enum class OpenStatus {
    Ok,
    CannotOpen,  // missing, no permission, or not a regular file (a folder, FIFO, device)
    Unreadable,  // opened, but no decoder makes sound of it
};

// Opens `path` with libsndfile, which reads the common uncompressed formats,
// FLAC, Vorbis, Opus and MP3 exactly and refuses what it does not know, or
// else with FFmpeg's decoders (AAC, AMR and much more). Never blocks on a
// FIFO or a device.
std::unique_ptr<FrameReader> OpenFrameReader(const std::filesystem::path& path, OpenStatus& status);

}  // namespace quorbin::decode
