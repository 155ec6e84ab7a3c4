#include "platform/StreamSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorbin {

Result<> StreamSource::Take(std::uint8_t* dest, std::size_t length)
{
    std::uint8_t scratch[65536];
    while (length > 0) {
        std::uint8_t* into = dest ? dest : scratch;
        const ssize_t got = ::read(m_fd, into, dest ? length : std::min(length, sizeof scratch));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FailureReason::System(errno);
        if (got == 0) {
            m_size = m_position;
            return ReasonKind::BytesMissing;
        }
        const auto count = static_cast<std::size_t>(got);
        if (m_kept.size() == m_position && m_position < kKeptBytes)
            m_kept.insert(m_kept.end(), into, into + std::min<std::uint64_t>(count, kKeptBytes - m_position));
        m_position += count;
        length -= count;
        if (dest)
            dest += count;
    }
    return {};
}

Result<> StreamSource::ReadAt(std::uint64_t offset, std::uint8_t* dest, std::size_t length)
{
    if (offset < m_position) {
        // Behind the stream's place: only the kept bytes are there.
        if (offset >= m_kept.size())
            return FailureReason::System(ESPIPE);
        const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(length, m_kept.size() - offset));
        std::copy_n(m_kept.data() + offset, kept, dest);
        offset += kept;
        dest += kept;
        length -= kept;
        if (length > 0 && offset < m_position)
            return FailureReason::System(ESPIPE);
    }
    if (length == 0)
        return {};
    if (Result<> passed = Take(nullptr, static_cast<std::size_t>(offset - m_position)); !passed)
        return passed;
    return Take(dest, length);
}

}  // namespace quorbin
