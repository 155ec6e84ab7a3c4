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

ssize_t InputCursor::Read(void* buffer, std::size_t size)
{
    ssize_t got;
    do {
        got = m_input.Seekable() ? ::pread(m_input.fd, buffer, size, static_cast<off_t>(m_position))
                                 : ::read(m_input.fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got > 0)
        m_position += static_cast<std::uint64_t>(got);
    return got;
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
