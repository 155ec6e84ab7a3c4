#include "platform/FileSystem.h"

#include "platform/FileSource.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace quorbin {
namespace fs = std::filesystem;

namespace {

bool ReadFully(int fd, std::uint8_t* data, std::size_t length, std::size_t& done)
{
    done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

double GetFreeDiskBytes(const fs::path& folder)
{
    std::error_code ec;
    const fs::space_info info = fs::space(folder.empty() ? fs::path(".") : folder, ec);
    if (ec || info.available == static_cast<std::uintmax_t>(-1))
        return -1.0;
    return static_cast<double>(info.available);
}

ReadStatus ReadWholeFile(const fs::path& path, std::uint64_t maxBytes, ByteBuffer& out)
{
    // Non-blocking so that a named pipe given by mistake cannot hang the open.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return ReadStatus::CannotOpen;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return ReadStatus::CannotOpen;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        return ReadStatus::CannotOpen;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes)
        return ReadStatus::TooLarge;

    out.Resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    if (!ReadFully(fd.Get(), out.Data(), out.Size(), done)) {
        out.Clear();
        return ReadStatus::ReadError;
    }
    // A file that shrank while being read holds only what was there.
    out.Resize(done);
    return ReadStatus::Ok;
}

std::optional<FileIdentity> IdentifyFile(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace quorbin
