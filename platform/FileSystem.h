#pragma once
// File access of the conversion: whole-file read, free space, file identities.
// Saves are in platform/FileSave.h.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "core/ByteBuffer.h"
#include "core/Result.h"

namespace quorbin {

// Free bytes that an ordinary user can write in the volume holding `folder`,
// or why they are not known (a missing folder, say).
Result<double> GetFreeDiskBytes(const std::filesystem::path& folder);
using FreeSpaceQuery = std::function<Result<double>(const std::filesystem::path& folder)>;

// The whole regular file at `path`. A file larger than `maxBytes` is refused
// (TooLarge) before any of it is read; otherwise a failure says why: the
// system's error (EISDIR for a folder), or NotRegularFile for a FIFO, a
// device or a socket.
Result<ByteBuffer> ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes);

// Which file a path names, following symbolic links: two paths with the same
// identity are one file, whatever their spelling or links.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// None when nothing exists at `path`.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

}  // namespace quorbin
