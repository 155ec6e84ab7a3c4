#pragma once
// File access of the conversion: whole-file read, free space, atomic save.
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

// The file that a save to `path` really writes: `path` itself, or the file its
// symbolic link points to. Fails with DanglingLink when the link points to
// nothing, and with the system's error when the folder to write into is missing.
SaveStatus ResolveSaveTarget(const std::filesystem::path& path, std::filesystem::path& target);

// Writes `bytes` to `path` so that readers see either the old file or the whole
// new one: a temporary file in the target's folder, given its permissions
// before any data, checked writes, fsync, then renamed over the target. A
// symbolic link at `path` is kept and the file it points to replaced. An
// existing target that is read-only (or a folder) is left alone and the save
// fails. On failure no temporary file is left and the target is unchanged.
SaveStatus SaveFileAtomically(const std::filesystem::path& path, const ByteBuffer& bytes);

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
