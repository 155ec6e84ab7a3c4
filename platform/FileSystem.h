#pragma once
// File access of the conversion: whole-file read, free space, atomic save.
#include <cstdint>
#include <filesystem>
#include <functional>

#include "core/ByteBuffer.h"

namespace quorbin {

// Free bytes that an ordinary user can write in the volume holding `folder`; -1.0 when unknown.
double GetFreeDiskBytes(const std::filesystem::path& folder);
using FreeSpaceQuery = std::function<double(const std::filesystem::path& folder)>;

enum class ReadStatus {
    Ok,
    CannotOpen,  // missing, not a regular file, no permission
    TooLarge,    // larger than maxBytes; nothing was read
    ReadError,   // opened, but reading failed part way
};

// Reads the whole regular file at `path` into `out`. A file larger than
// `maxBytes` is refused before any of it is read. After CannotOpen or
// ReadError, errno says why (EISDIR for a folder, EINVAL for another kind of
// file that is not a regular one).
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, ByteBuffer& out);

enum class SaveFailure {
    None,
    DanglingLink,  // the target is a symbolic link to nothing; the link is kept
    System,        // a system call failed; its errno is kept
};

struct SaveStatus {
    SaveFailure failure = SaveFailure::None;
    int error = 0;  // errno of SaveFailure::System

    explicit operator bool() const { return failure == SaveFailure::None; }
};

// Writes `bytes` to `path` so that readers see either the old file or the whole
// new one: a hidden temporary file in the same folder, checked writes, fsync,
// then rename over the target. An existing target that is read-only (or a
// folder) is left alone and the save fails. On failure the temporary file is
// removed and the target is unchanged.
SaveStatus SaveFileAtomically(const std::filesystem::path& path, const ByteBuffer& bytes);

} // namespace quorbin
