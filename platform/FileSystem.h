#pragma once
// File access of the conversion: whole-file read, free space, file identities.
// Saves are in platform/FileSave.h.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

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
// ReadError, errno says why (EISDIR for a folder, kNotRegularFile of
// platform/FileSource.h for another kind of file that is not a regular one).
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, ByteBuffer& out);

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
