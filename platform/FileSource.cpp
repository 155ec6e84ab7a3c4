#include "platform/FileSource.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbin {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// The size of the regular file open at `fd`, otherwise why it is none (see OpenRegularFile).
Result<std::uint64_t> RegularFileSizeOf(int fd)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return FailureReason::System(errno);
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? FailureReason::System(EISDIR) : FailureReason::Of(ReasonKind::NotRegularFile);
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

Result<FileDescriptor> OpenRegularFile(const std::filesystem::path& path)
{
    // O_NONBLOCK does not change reads from a regular file.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (const Result<std::uint64_t> size = RegularFileSizeOf(fd.Get()); !size)
        return size.Reason();
    return fd;
}

std::optional<std::uint64_t> RegularFileSize(int fd)
{
    const Result<std::uint64_t> size = RegularFileSizeOf(fd);
    return size ? std::optional(*size) : std::nullopt;
}

FileSource::FileSource(const std::filesystem::path& path)
{
    Result<FileDescriptor> opened = OpenRegularFile(path);
    if (!opened) {
        m_failure = opened.Reason();
        return;
    }
    m_fd = std::move(*opened);
    m_valid = true;
    m_size = *RegularFileSizeOf(m_fd.Get());
}

FileSource::FileSource(int fd) : m_fd(fd)
{
    const Result<std::uint64_t> size = RegularFileSizeOf(fd);
    m_valid = static_cast<bool>(size);
    m_failure = size.Reason();
    m_size = size ? *size : 0;
}

Result<> FileSource::ReadThrough(std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_fd.Get(), dest + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailureReason::System(errno);
        if (n == 0)
            return ReasonKind::BytesMissing;
        done += static_cast<std::size_t>(n);
    }
    return {};
}

Result<> FileSource::FillBlock(std::uint64_t offset)
{
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, m_size - offset));
    m_block.resize(length);
    Result<> read = ReadThrough(offset, m_block.data(), length);
    if (!read)
        m_block.clear();
    m_blockStart = offset;
    return read;
}

Result<> FileSource::ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    if (!m_valid)
        return m_failure;
    if (offset > m_size || length > m_size - offset)
        return ReasonKind::BytesMissing;
    if (length >= kBlockSize)
        return ReadThrough(offset, dest, length);

    const bool cached = offset >= m_blockStart && offset - m_blockStart + length <= m_block.size();
    if (!cached) {
        if (Result<> read = FillBlock(offset); !read)
            return read;
    }
    std::copy_n(m_block.data() + (offset - m_blockStart), length, dest);
    return {};
}

}  // namespace quorbin
