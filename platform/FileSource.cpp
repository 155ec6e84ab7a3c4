#include "platform/FileSource.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbin {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

int OpenForReading(const std::filesystem::path& path)
{
    // Non-blocking so that a named pipe given by mistake cannot hang the open.
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& path) : FileSource(OpenForReading(path)) {}

FileSource::FileSource(int fd) : m_fd(fd)
{
    struct stat st {};
    if (!m_fd.Valid() || ::fstat(m_fd.Get(), &st) != 0) {
        m_error = errno;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return;
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
    m_valid = true;
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
