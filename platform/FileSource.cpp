#include "platform/FileSource.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbin {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// 0 when `fd` is an open regular file, otherwise why not (see OpenRegularFile).
int RegularFileError(int fd, std::uint64_t& size)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

}  // namespace

int OpenRegularFile(const std::filesystem::path& path, int& error)
{
    // O_NONBLOCK does not change reads from a regular file.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    std::uint64_t size = 0;
    error = RegularFileError(fd.Get(), size);
    return error == 0 ? fd.Release() : -1;
}

std::optional<std::uint64_t> RegularFileSize(int fd)
{
    std::uint64_t size = 0;
    if (RegularFileError(fd, size) != 0)
        return std::nullopt;
    return size;
}

FileSource::FileSource(const std::filesystem::path& path) : m_fd(OpenRegularFile(path, m_error))
{
    if (m_fd.Valid())
        m_error = RegularFileError(m_fd.Get(), m_size);
    m_valid = m_fd.Valid() && m_error == 0;
}

FileSource::FileSource(int fd) : m_fd(fd)
{
    m_error = RegularFileError(fd, m_size);
    m_valid = m_error == 0;
}

SourceRead FileSource::ReadThrough(std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(m_fd.Get(), dest + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SourceRead::Failed;
        if (n == 0)
            return SourceRead::Missing;
        done += static_cast<std::size_t>(n);
    }
    return SourceRead::Ok;
}

SourceRead FileSource::FillBlock(std::uint64_t offset)
{
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, m_size - offset));
    m_block.resize(length);
    const SourceRead read = ReadThrough(offset, m_block.data(), length);
    if (read != SourceRead::Ok)
        m_block.clear();
    m_blockStart = offset;
    return read;
}

SourceRead FileSource::ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    if (!m_valid)
        return SourceRead::Failed;
    if (offset > m_size || length > m_size - offset)
        return SourceRead::Missing;
    if (length >= kBlockSize)
        return ReadThrough(offset, dest, length);

    const bool cached = offset >= m_blockStart && offset - m_blockStart + length <= m_block.size();
    if (!cached) {
        if (const SourceRead read = FillBlock(offset); read != SourceRead::Ok)
            return read;
    }
    std::copy_n(m_block.data() + (offset - m_blockStart), length, dest);
    return SourceRead::Ok;
}

}  // namespace quorbin
