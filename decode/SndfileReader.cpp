// Decoding through libsndfile. Besides the common formats it reads a few that
// FFmpeg does not: Matlab/Octave, HTK, Akai MPC 2000, FastTracker 2
// instruments, Psion WVE, DWVW in AIFF, 24-bit PAF.
#include "decode/SndfileReader.h"

#include <sndfile.h>

#include <new>
#include <string_view>

namespace quorbin::decode {
namespace {

// libsndfile reads through the caller's descriptor with a cursor of its own:
// opened by descriptor it would close it when it fails to recognise the file.
InputCursor& CursorOf(void* data)
{
    return *static_cast<InputCursor*>(data);
}

sf_count_t Length(void* data)
{
    return static_cast<sf_count_t>(CursorOf(data).Input().size.value_or(0));
}

sf_count_t Seek(sf_count_t offset, int whence, void* data)
{
    return CursorOf(data).Seek(offset, whence);
}

sf_count_t ReadBytes(void* buffer, sf_count_t count, void* data)
{
    const ssize_t got = CursorOf(data).Read(buffer, static_cast<std::size_t>(count));
    return got < 0 ? 0 : got;
}

sf_count_t WriteNothing(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t Tell(void* data)
{
    return static_cast<sf_count_t>(CursorOf(data).Position());
}

SF_VIRTUAL_IO kVirtualIo{Length, Seek, ReadBytes, WriteNothing, Tell};

// libsndfile tells a failed allocation only in the words of its error.
void ThrowWhenOutOfMemory(SNDFILE* file)
{
    if (std::string_view(sf_strerror(file)).find("malloc") != std::string_view::npos)
        throw std::bad_alloc();
}

class SndfileReader final : public FrameReader {
public:
    SndfileReader(SNDFILE* file, const SF_INFO& info, std::unique_ptr<InputCursor> source)
        : m_file(file),
          m_info(info),
          m_source(std::move(source))
    {}
    ~SndfileReader() override { sf_close(m_file); }

    int Channels() const override { return m_info.channels; }
    int Rate() const override { return m_info.samplerate; }
    std::optional<std::uint64_t> StatedFrames() const override
    {
        if (m_info.frames <= 0 || m_info.frames == SF_COUNT_MAX)
            return std::nullopt;
        return static_cast<std::uint64_t>(m_info.frames);
    }
    long Read(float* interleaved, long frames) override
    {
        const sf_count_t got = sf_readf_float(m_file, interleaved, frames);
        if (sf_error(m_file) != SF_ERR_NO_ERROR) {
            ThrowWhenOutOfMemory(m_file);
            return -1;
        }
        return static_cast<long>(got);
    }

    bool CanSeek() const override { return m_info.seekable != 0; }
    bool Seek(std::uint64_t frame) override
    {
        if (sf_seek(m_file, static_cast<sf_count_t>(frame), SEEK_SET) == static_cast<sf_count_t>(frame))
            return true;
        // libsndfile refuses a place past the end as it knows it, which an MP3's
        // stated length may miss: from the start, frame by frame, as without seeking.
        return sf_seek(m_file, 0, SEEK_SET) == 0 && DropFrames(*this, frame);
    }

private:
    SNDFILE* m_file;
    SF_INFO m_info;
    std::unique_ptr<InputCursor> m_source;
};

}  // namespace

std::unique_ptr<FrameReader> OpenWithSndfile(const RecordingInput& input)
{
    auto source = std::make_unique<InputCursor>(input);
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&kVirtualIo, SFM_READ, &info, source.get());
    if (!file) {
        ThrowWhenOutOfMemory(nullptr);
        return nullptr;
    }
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        return nullptr;
    }
    return std::make_unique<SndfileReader>(file, info, std::move(source));
}

}  // namespace quorbin::decode
