#include "decode/FrameReader.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "decode/FfmpegReader.h"
#include "decode/MonoResampler.h"
#include "decode/SndfileReader.h"

namespace quorbin::decode {

namespace {

constexpr std::size_t kAheadBytes = 65536;

}  // namespace

ssize_t InputCursor::ReadThrough(void* buffer, std::size_t size)
{
    ssize_t got;
    do {
        got = m_input.Seekable() ? ::pread(m_input.fd, buffer, size, static_cast<off_t>(m_position))
                                 : ::read(m_input.fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

std::size_t InputCursor::TakeAhead(std::uint8_t* buffer, std::size_t size)
{
    if (m_position < m_aheadAt || m_position >= m_aheadAt + m_ahead.size())
        return 0;
    const auto from = static_cast<std::size_t>(m_position - m_aheadAt);
    const std::size_t take = std::min(size, m_ahead.size() - from);
    std::copy_n(m_ahead.data() + from, take, buffer);
    m_position += take;
    return take;
}

ssize_t InputCursor::Read(void* buffer, std::size_t size)
{
    if (!m_input.Seekable() || size >= kAheadBytes) {
        const ssize_t got = ReadThrough(buffer, size);
        if (got > 0)
            m_position += static_cast<std::uint64_t>(got);
        return got;
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = TakeAhead(bytes, size);
    if (done < size) {
        m_ahead.resize(kAheadBytes);
        const ssize_t got = ReadThrough(m_ahead.data(), m_ahead.size());
        m_ahead.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        m_aheadAt = m_position;
        if (got < 0 && done == 0)
            return -1;
        done += TakeAhead(bytes + done, size - done);
    }
    return static_cast<ssize_t>(done);
}

std::int64_t InputCursor::Seek(std::int64_t offset, int whence)
{
    if (!m_input.Seekable())
        return -1;
    const std::uint64_t base = whence == SEEK_CUR ? m_position : whence == SEEK_END ? *m_input.size : 0;
    if (offset < 0 && static_cast<std::uint64_t>(-offset) > base)
        return -1;
    m_position = base + static_cast<std::uint64_t>(offset);
    return static_cast<std::int64_t>(m_position);
}

bool DropFrames(FrameReader& reader, std::uint64_t frames)
{
    constexpr long kBlock = 4096;
    std::vector<float> scratch(static_cast<std::size_t>(kBlock) * reader.Channels());
    while (frames > 0) {
        const long got = reader.Read(scratch.data(), static_cast<long>(std::min<std::uint64_t>(frames, kBlock)));
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        frames -= static_cast<std::uint64_t>(got);
    }
    return true;
}

void InitialiseDecoders(bool verbose)
{
    InitialiseFfmpeg(verbose);
    InitialiseResampler();
    // The C library's qsort (libvorbis uses it) asks the system for the
    // memory size the first time it sorts more than 1 KiB.
    std::array<int, 512> numbers{};
    std::qsort(numbers.data(), numbers.size(), sizeof(int),
               [](const void* a, const void* b) { return *static_cast<const int*>(a) - *static_cast<const int*>(b); });
}

std::unique_ptr<FrameReader> OpenFrameReader(const RecordingInput& input, OpenStatus& status)
{
    status = OpenStatus::Ok;
    // libsndfile looks back at the header it has read, which a stream cannot give again.
    if (input.Seekable()) {
        if (std::unique_ptr<FrameReader> reader = OpenWithSndfile(input))
            return reader;
    }
    return OpenWithFfmpeg(input, status);
}

}  // namespace quorbin::decode
