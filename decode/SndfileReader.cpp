// Decoding through libsndfile. Besides the common formats it reads a few that
// FFmpeg does not: Matlab/Octave, HTK, Akai MPC 2000, FastTracker 2
// instruments, Psion WVE, DWVW in AIFF, 24-bit PAF.
#include "decode/SndfileReader.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quorbin::decode {
namespace {

// libsndfile reads through positioned reads on the caller's descriptor: opened
// by descriptor it would close it when it fails to recognise the file.
struct VirtualFile {
    int fd;
    sf_count_t position = 0;
};

sf_count_t Length(void* data)
{
    struct stat status {};
    return ::fstat(static_cast<VirtualFile*>(data)->fd, &status) == 0 ? status.st_size : -1;
}

sf_count_t Seek(sf_count_t offset, int whence, void* data)
{
    auto* file = static_cast<VirtualFile*>(data);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file->position : Length(data);
    if (base < 0 || base + offset < 0)
        return -1;
    file->position = base + offset;
    return file->position;
}

sf_count_t ReadBytes(void* buffer, sf_count_t count, void* data)
{
    auto* file = static_cast<VirtualFile*>(data);
    ssize_t got;
    do {
        got = ::pread(file->fd, buffer, static_cast<std::size_t>(count), file->position);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return 0;
    file->position += got;
    return got;
}

sf_count_t WriteNothing(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t Tell(void* data)
{
    return static_cast<VirtualFile*>(data)->position;
}

SF_VIRTUAL_IO kVirtualIo{Length, Seek, ReadBytes, WriteNothing, Tell};

class SndfileReader final : public FrameReader {
public:
    SndfileReader(SNDFILE* file, const SF_INFO& info, std::unique_ptr<VirtualFile> source)
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
        if (sf_error(m_file) != SF_ERR_NO_ERROR)
            return -1;
        return static_cast<long>(got);
    }

private:
    SNDFILE* m_file;
    SF_INFO m_info;
    std::unique_ptr<VirtualFile> m_source;
};

}  // namespace

std::unique_ptr<FrameReader> OpenWithSndfile(int fd)
{
    auto source = std::make_unique<VirtualFile>(VirtualFile{fd});
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&kVirtualIo, SFM_READ, &info, source.get());
    if (!file)
        return nullptr;
    if (info.channels <= 0 || info.samplerate <= 0) {
        sf_close(file);
        return nullptr;
    }
    return std::make_unique<SndfileReader>(file, info, std::move(source));
}

}  // namespace quorbin::decode
