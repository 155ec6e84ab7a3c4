#include "platform/FileSystem.h"

#include "platform/FileSource.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <utility>
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

bool WriteFully(int fd, const std::uint8_t* data, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string UniqueSuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL
                          ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
                          ^ (counter.fetch_add(1) * 0xBF58476D1CE4E5B9ULL);
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kAlphabet[value % 62];
        value /= 62;
    }
    return suffix;
}

struct ExistingFile {
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// Whether an existing target may be replaced: 0, or the errno that says why not.
// Remembers the target's permissions and owner.
int CheckReplaceable(const fs::path& target, ExistingFile& existing)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0)
        return errno == ENOENT ? 0 : errno;
    existing = {true, static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return kNotRegularFile;
    // A file without any write permission is read-only even for the superuser.
    if ((st.st_mode & 0222) == 0)
        return EACCES;
    return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
}

// A short hidden name for the temporary file: its length does not depend on
// the target's, so a target name of any length the file system allows saves.
std::string TemporaryName()
{
    return ".quorbin-" + UniqueSuffix() + ".tmp";
}

// Where the file system cannot hold a file without a name, O_TMPFILE gives one
// of these: EOPNOTSUPP, or EISDIR from a kernel that does not know the flag.
bool LacksUnnamedFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR;
}

// The new content of one save, written into the target's folder. It stays
// without a name (O_TMPFILE) until it is complete, so a process killed while
// writing leaves nothing behind; only then it is linked under a short name and
// renamed over the target. A named temporary file is the fallback for file
// systems without unnamed files. Whatever is left over is removed on failure.
class TemporaryFile {
public:
    explicit TemporaryFile(int folder) : m_folder(folder) {}
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_name.empty())
            ::unlinkat(m_folder, m_name.c_str(), 0);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file with its final permissions and owner, then writes and syncs `bytes`.
    bool Write(const ByteBuffer& bytes, const ExistingFile& existing)
    {
        if (!Create() || !TakeOver(existing))
            return false;
        return WriteFully(m_fd, bytes.Data(), bytes.Size()) && ::fsync(m_fd) == 0;
    }

    // Puts the written file in place of `targetName` in the same folder.
    bool Commit(const std::string& targetName)
    {
        if (m_name.empty() && !LinkUnderShortName())
            return false;
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return false;
        if (::renameat(m_folder, m_name.c_str(), m_folder, targetName.c_str()) != 0)
            return false;
        m_name.clear();
        return true;
    }

private:
    // The kernel applies the umask to 0666, as for any newly created file.
    bool Create()
    {
        m_fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (m_fd >= 0 || !LacksUnnamedFiles(errno))
            return m_fd >= 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TemporaryName();
            m_fd = ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                m_name = name;
            if (m_fd >= 0 || errno != EEXIST)
                return m_fd >= 0;
        }
        return false;
    }

    // A replaced file keeps its permissions; only the superuser may give it back to its owner.
    bool TakeOver(const ExistingFile& existing) const
    {
        if (!existing.exists)
            return true;
        if (::geteuid() == 0 && ::fchown(m_fd, existing.owner, existing.group) != 0)
            return false;
        return ::fchmod(m_fd, existing.mode) == 0;
    }

    bool LinkUnderShortName()
    {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TemporaryName();
            int linked = ::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW);
            // Without /proc, linking the descriptor itself needs more rights, but may still work.
            if (linked != 0 && errno == ENOENT)
                linked = ::linkat(m_fd, "", m_folder, name.c_str(), AT_EMPTY_PATH);
            if (linked == 0)
                m_name = name;
            if (linked == 0 || errno != EEXIST)
                return linked == 0;
        }
        return false;
    }

    int m_folder;
    int m_fd = -1;
    std::string m_name;  // empty while the file has no name
};

fs::path FolderOf(const fs::path& file)
{
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
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

SaveStatus ResolveSaveTarget(const fs::path& path, fs::path& target)
{
    const auto failed = [](int error) { return SaveStatus{SaveFailure::System, error}; };
    target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0) {
            return errno == ENOENT ? SaveStatus{SaveFailure::DanglingLink, ENOENT} : failed(errno);
        }
        std::error_code ec;
        target = fs::canonical(path, ec);
        return ec ? failed(ec.value()) : SaveStatus{};
    }
    if (::stat(FolderOf(path).c_str(), &st) != 0)
        return failed(errno);
    return S_ISDIR(st.st_mode) ? SaveStatus{} : failed(ENOTDIR);
}

SaveStatus SaveFileAtomically(const fs::path& requested, const ByteBuffer& bytes)
{
    const auto failed = [](int error) { return SaveStatus{SaveFailure::System, error}; };
    fs::path target;
    if (const SaveStatus resolved = ResolveSaveTarget(requested, target); !resolved)
        return resolved;
    ExistingFile existing;
    if (const int error = CheckReplaceable(target, existing))
        return failed(error);

    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid())
        return failed(errno);
    TemporaryFile temporary(folder.Get());
    if (!temporary.Write(bytes, existing) || !temporary.Commit(target.filename().string()))
        return failed(errno);
    ::fsync(folder.Get());
    return {};
}

std::optional<FileIdentity> IdentifyFile(const fs::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace quorbin
