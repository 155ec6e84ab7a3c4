#include "platform/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace quorbin {
namespace fs = std::filesystem;

namespace {

bool ReadFully(int fd, std::uint8_t* data, std::size_t length, std::size_t& done) {
    done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd, data + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFully(int fd, const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string UniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL
                          ^ static_cast<std::uint64_t>(
                              std::chrono::steady_clock::now().time_since_epoch().count())
                          ^ (counter.fetch_add(1) * 0xBF58476D1CE4E5B9ULL);
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kAlphabet[value % 62];
        value /= 62;
    }
    return suffix;
}

// Creates a new hidden file beside `target`. The kernel applies the umask to
// 0666, so the saved file gets the permissions of any newly created file.
int CreateTemporaryBeside(const fs::path& target, fs::path& tempPath) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder / ("." + target.filename().string() + "." + UniqueSuffix());
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

struct ExistingFile {
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// Whether an existing target may be replaced: 0, or the errno that says why not.
// Remembers the target's permissions and owner.
int CheckReplaceable(const fs::path& target, ExistingFile& existing) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    existing = {true, static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    // A file without any write permission is read-only even for the superuser.
    if ((st.st_mode & 0222) == 0) return EACCES;
    return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
}

// A symbolic link at the target is kept: the file it points to is replaced.
fs::path ResolveLink(const fs::path& target) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec))) return target;
    const fs::path resolved = fs::canonical(target, ec);
    return ec ? target : resolved;
}

void SyncFolder(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

} // namespace

double GetFreeDiskBytes(const fs::path& folder) {
    std::error_code ec;
    const fs::space_info info = fs::space(folder.empty() ? fs::path(".") : folder, ec);
    if (ec || info.available == static_cast<std::uintmax_t>(-1)) return -1.0;
    return static_cast<double>(info.available);
}

ReadStatus ReadWholeFile(const fs::path& path, std::uint64_t maxBytes, ByteBuffer& out) {
    // Non-blocking so that a named pipe given by mistake cannot hang the open.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) return ReadStatus::CannotOpen;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return ReadStatus::CannotOpen;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return ReadStatus::CannotOpen;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) return ReadStatus::TooLarge;

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

SaveStatus SaveFileAtomically(const fs::path& requested, const ByteBuffer& bytes) {
    const auto failed = [](int error) { return SaveStatus{SaveFailure::System, error}; };
    const fs::path target = ResolveLink(requested);
    ExistingFile existing;
    if (const int error = CheckReplaceable(target, existing)) return failed(error);

    fs::path tempPath;
    FileDescriptor fd(CreateTemporaryBeside(target, tempPath));
    if (!fd.Valid()) return failed(errno);

    bool ok = WriteFully(fd.Get(), bytes.Data(), bytes.Size());
    if (ok && existing.exists) {
        // Only the superuser may give the file back to its owner; others keep it.
        if (::geteuid() == 0) ok = ::fchown(fd.Get(), existing.owner, existing.group) == 0;
        ok = ok && ::fchmod(fd.Get(), existing.mode) == 0;
    }
    ok = ok && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        return failed(error);
    }
    SyncFolder(target);
    return {};
}

} // namespace quorbin
