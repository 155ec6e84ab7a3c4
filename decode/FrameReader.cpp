#include "decode/FrameReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/FfmpegReader.h"
#include "decode/SndfileReader.h"

namespace quorbin::decode {
namespace {

// The reader owns the descriptor that the decoder reads through.
class OwningReader final : public FrameReader {
public:
    OwningReader(int fd, std::unique_ptr<FrameReader> inner) : m_fd(fd), m_inner(std::move(inner)) {}
    ~OwningReader() override
    {
        m_inner.reset();
        ::close(m_fd);
    }
    int Channels() const override { return m_inner->Channels(); }
    int Rate() const override { return m_inner->Rate(); }
    std::optional<std::uint64_t> StatedFrames() const override { return m_inner->StatedFrames(); }
    long Read(float* interleaved, long frames) override { return m_inner->Read(interleaved, frames); }

private:
    int m_fd;
    std::unique_ptr<FrameReader> m_inner;
};

// Opening without O_NONBLOCK would wait on a FIFO for a writer; anything but a
// regular file is refused before a byte is read.
int OpenRegularFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0
        || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::unique_ptr<FrameReader> OpenFrameReader(const std::filesystem::path& path, OpenStatus& status)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        status = OpenStatus::CannotOpen;
        return nullptr;
    }
    std::unique_ptr<FrameReader> reader = OpenWithSndfile(fd);
    if (!reader)
        reader = OpenWithFfmpeg(fd, path.c_str());
    if (!reader) {
        ::close(fd);
        status = OpenStatus::Unreadable;
        return nullptr;
    }
    status = OpenStatus::Ok;
    return std::make_unique<OwningReader>(fd, std::move(reader));
}

}  // namespace quorbin::decode
