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
#include "platform/FileDescriptor.h"

namespace quorbin {

// OpenError() of a FIFO, device or socket: there is no errno that says so.
inline constexpr int kNotRegularFile = -1;

// Opens `path` for reading as a regular file without ever blocking (a FIFO
// given by mistake cannot hang the open). Returns the descriptor (close on
// exec), or -1 with `error` set: the errno of the open, EISDIR for a folder,
// kNotRegularFile for any other kind of file.
int OpenRegularFile(const std::filesystem::path& path, int& error);

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
    int OpenError() const { return m_error; }
    std::uint64_t Size() const override { return m_size; }
    SourceRead ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length) override;

private:
    SourceRead ReadThrough(std::uint64_t offset, std::uint8_t* dest, std::size_t length);
    SourceRead FillBlock(std::uint64_t offset);

    int m_error = 0;  // set while m_fd is opened, so declared before it
    FileDescriptor m_fd;
    bool m_valid = false;
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_block;
    std::uint64_t m_blockStart = 0;
};

}  // namespace quorbin
