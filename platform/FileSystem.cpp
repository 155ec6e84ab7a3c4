#include "platform/FileSystem.h"

#include "platform/FileSource.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

Result<double> GetFreeDiskBytes(const fs::path& folder)
{
    std::error_code ec;
    const fs::space_info info = fs::space(folder.empty() ? fs::path(".") : folder, ec);
    if (ec)
        return FailureReason::System(ec.value());
    if (info.available == static_cast<std::uintmax_t>(-1))
        return FailureReason::System(EOVERFLOW);
    return static_cast<double>(info.available);
}

Result<ByteBuffer> ReadWholeFile(const fs::path& path, std::uint64_t maxBytes)
{
    Result<FileDescriptor> fd = OpenRegularFile(path);
    if (!fd)
        return fd.Reason();
    const std::optional<std::uint64_t> size = RegularFileSize(fd->Get());
    if (!size)
        return FailureReason::System(EIO);
    if (*size > maxBytes)
        return ReasonKind::TooLarge;

    ByteBuffer out;
    out.Resize(static_cast<std::size_t>(*size));
    std::size_t done = 0;
    if (!ReadFully(fd->Get(), out.Data(), out.Size(), done))
        return FailureReason::System(errno);
    // A file that shrank while being read holds only what was there.
    out.Resize(done);
    return out;
}

std::optional<FileIdentity> IdentifyFile(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace quorbin
