#pragma once
// A regular file read by position (64-bit offsets, no mapping, so a file cut
// short while it is read gives missing bytes rather than a crash). Small reads
// are served from one read-ahead block, so walking many small chunk headers
// costs few system calls; large reads go straight to the caller's memory.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/ByteSource.h"
#include "core/Result.h"
#include "platform/FileDescriptor.h"

namespace quorbin {

// Opens `path` for reading as a regular file without ever blocking (a FIFO
// given by mistake cannot hang the open). Returns the descriptor (close on
// exec), or why not: the errno of the open, EISDIR for a folder,
// NotRegularFile for any other kind of file.
Result<FileDescriptor> OpenRegularFile(const std::filesystem::path& path);

// The size of the regular file open at `fd`; none for anything else (a pipe, say).
std::optional<std::uint64_t> RegularFileSize(int fd);

class FileSource final : public ByteSource {
public:
    // Opens `path`; Valid() is false when it is missing, unreadable or not a regular file.
    explicit FileSource(const std::filesystem::path& path);
    // Takes over an open descriptor.
    explicit FileSource(int fd);

    bool Valid() const { return m_valid; }
    // Why it is not valid: as for OpenRegularFile.
    const FailureReason& OpenFailure() const { return m_failure; }
    std::uint64_t Size() const override { return m_size; }
    Result<> ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length) override;

private:
    Result<> ReadThrough(std::uint64_t offset, std::uint8_t* dest, std::size_t length);
    Result<> FillBlock(std::uint64_t offset);

    FileDescriptor m_fd;
    FailureReason m_failure;
    bool m_valid = false;
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_block;
    std::uint64_t m_blockStart = 0;
};

}  // namespace quorbin
