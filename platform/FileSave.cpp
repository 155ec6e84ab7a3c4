#include "platform/FileSave.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <charconv>
#include <map>
#include <string_view>
#include <utility>

namespace quorbin {
namespace fs = std::filesystem;

namespace {

constexpr int kMostLinksFollowed = 40;  // as many as the kernel follows in one path
constexpr std::string_view kTemporaryPrefix = ".quorbin-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kRandomLength = 8;
constexpr std::size_t kFilesForOneSync = 8;  // from this many files on one file system, one syncfs syncs them
// File systems whose syncfs reaches neither their daemon nor their server: each file is synced on its own there.
constexpr long kSyncEachFile[] = {FUSE_SUPER_MAGIC, CIFS_SUPER_MAGIC, SMB2_SUPER_MAGIC};

FailureReason Failed(int error)
{
    return FailureReason::System(error);
}

FileIdentity IdentityOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
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

std::string RandomPart()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t value = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL
                          ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
                          ^ (counter.fetch_add(1) * 0xBF58476D1CE4E5B9ULL);
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string part;
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        part += kAlphabet[value % 62];
        value /= 62;
    }
    return part;
}

// A short hidden name that carries the writer's process id: its length does not
// depend on the target's, so a target name of any length the file system allows saves.
std::string TemporaryName()
{
    return std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" + RandomPart()
           + std::string(kTemporarySuffix);
}

// The writer's process id in a temporary file's name; 0 for any other name.
pid_t WriterOf(std::string_view name)
{
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return 0;
    name = name.substr(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kTemporarySuffix.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    const std::string_view rest(end, name.data() + name.size() - end);
    if (error != std::errc() || pid <= 0 || rest.size() != kRandomLength + 1 || rest.front() != '-')
        return 0;
    return pid;
}

bool Runs(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Removes the temporary file `name` unless someone holds its lock.
void RemoveUnlocked(int folder, const char* name)
{
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return;
    const FileDescriptor file(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.Valid() && ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0)
        ::unlinkat(folder, name, 0);
}

// Where the file system cannot hold a file without a name, O_TMPFILE gives one
// of these: EOPNOTSUPP, or EISDIR from a kernel that does not know the flag.
bool LacksUnnamedFiles(int error)
{
    return error == EOPNOTSUPP || error == EISDIR;
}

// What file systems without owners or permission bits (FAT) answer to fchown and fchmod.
bool KeepsNoOwnership(int error)
{
    return error == ENOSYS || error == EPERM || error == EOPNOTSUPP;
}

// What renameat2 answers where the file system cannot keep an existing name.
bool LacksNoReplaceRename(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// What linkat answers where the file system has no hard links (FAT).
bool LacksHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

bool SyncsEachFile(int fd)
{
    struct statfs info {};
    return ::fstatfs(fd, &info) == 0
           && std::find(std::begin(kSyncEachFile), std::end(kSyncEachFile), static_cast<long>(info.f_type))
                  != std::end(kSyncEachFile);
}

struct ExistingFile {
    bool exists = false;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

// Whether the file at the target may be replaced, or why not (Exists when it
// is to be kept). Remembers its permissions and owner.
Result<> CheckReplaceable(const SaveTarget& target, Existing existing, ExistingFile& file)
{
    struct stat st {};
    if (::fstatat(target.Folder(), target.Name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Result<>() : Failed(errno);
    if (existing == Existing::Keep)
        return ReasonKind::Exists;
    // A link put there after the target was resolved is replaced itself.
    if (S_ISLNK(st.st_mode))
        return {};
    file = {true, static_cast<mode_t>(st.st_mode & 07777), st.st_uid, st.st_gid};
    if (S_ISDIR(st.st_mode))
        return Failed(EISDIR);
    if (!S_ISREG(st.st_mode))
        return ReasonKind::NotRegularFile;
    // A file without any write permission is read-only even for the superuser.
    if ((st.st_mode & 0222) == 0)
        return Failed(EACCES);
    return ::faccessat(target.Folder(), target.Name().c_str(), W_OK, 0) == 0 ? Result<>() : Failed(errno);
}

}  // namespace

// ---- SaveTarget ---------------------------------------------------------------

Result<> SaveTarget::Resolve(const fs::path& path, SaveTarget& target)
{
    target.m_requested = path;
    FileDescriptor folder(
        ::open(path.has_parent_path() ? path.parent_path().c_str() : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid())
        return Failed(errno);
    std::string name = path.filename().string();
    struct stat st {};
    for (int followed = 0;; ++followed) {
        if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (followed > 0 && errno == ENOENT)
                return ReasonKind::DanglingLink;
            break;
        }
        if (!S_ISLNK(st.st_mode))
            break;
        if (followed == kMostLinksFollowed)
            return Failed(ELOOP);
        std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
        const ssize_t length = ::readlinkat(folder.Get(), name.c_str(), text.data(), text.size());
        if (length < 0)
            return Failed(errno);
        text.resize(static_cast<std::size_t>(length));
        const fs::path link(text);
        FileDescriptor next(::openat(folder.Get(), link.has_parent_path() ? link.parent_path().c_str() : ".",
                                     O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next.Valid())
            return errno == ENOENT ? FailureReason::Of(ReasonKind::DanglingLink) : Failed(errno);
        folder = std::move(next);
        name = link.filename().string();
    }
    if (::fstat(folder.Get(), &st) != 0)
        return Failed(errno);
    std::error_code ec;
    const fs::path real = fs::read_symlink("/proc/self/fd/" + std::to_string(folder.Get()), ec);
    target.m_folderPath = ec ? fs::absolute(path, ec).parent_path() : real;
    target.m_place = {IdentityOf(st), std::move(name)};
    target.m_folder = std::move(folder);
    return {};
}

std::optional<FileIdentity> SaveTarget::Identity() const
{
    struct stat st {};
    if (::fstatat(Folder(), Name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

// ---- One staged file ------------------------------------------------------------

// The new content of one save, written into the target's folder. It stays
// without a name (O_TMPFILE) while it is written, so a process killed then
// leaves nothing behind; it gets a name only when it is put in place. Where
// the file system has no unnamed files, it has a short name that carries the
// writer's process id and is locked while the writer lives, so that later
// saves can tell a leftover from a file being written. Whatever is left over is
// removed when the object ends.
class SaveBatch::StagedFile {
public:
    StagedFile(SaveTarget target, Existing existing) : m_target(std::move(target)), m_existing(existing) {}
    ~StagedFile()
    {
        m_fd = FileDescriptor();
        if (!m_name.empty())
            ::unlinkat(m_target.Folder(), m_name.c_str(), 0);
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the file with its final permissions and owner, then writes `bytes`.
    bool Write(const ByteBuffer& bytes, const ExistingFile& existing)
    {
        return Create() && TakeOver(existing) && WriteFully(m_fd.Get(), bytes.Data(), bytes.Size());
    }

    int Descriptor() const { return m_fd.Get(); }
    const SaveTarget& Target() const { return m_target; }

    // Renames the file over the target, or, when the target is to be kept,
    // gives it the target's name in a way that fails when the name exists.
    Result<> PutInPlace()
    {
        const bool unnamed = m_name.empty();
        if (m_existing == Existing::Keep && unnamed)
            return LinkAs(m_target.Name()) ? Result<>() : Refused();
        if (unnamed && !LinkUnderShortName())
            return Failed(errno);
        // Closed before it is renamed: some file systems (fusefat) lose an open file's
        // clusters in a rename. The name's process id keeps it from later saves' clean-up.
        if (!m_fd.Close())
            return Failed(errno);
        if (m_existing == Existing::Keep)
            return RenameKeeping();
        if (::renameat(m_target.Folder(), m_name.c_str(), m_target.Folder(), m_target.Name().c_str()) != 0)
            return Failed(errno);
        Forget();
        return {};
    }

private:
    static FailureReason Refused() { return errno == EEXIST ? FailureReason::Of(ReasonKind::Exists) : Failed(errno); }

    // The kernel applies the umask to 0666, as for any newly created file.
    bool Create()
    {
        const int folder = m_target.Folder();
        m_fd = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (m_fd.Valid() || !LacksUnnamedFiles(errno))
            return m_fd.Valid();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TemporaryName();
            // Known to the signal handlers before it exists, so no moment is left uncovered.
            m_registration.Set(folder, name.c_str());
            m_fd = FileDescriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (m_fd.Valid()) {
                m_name = name;
                // Where the file system has no locks, the process id alone marks the file as being written.
                ::flock(m_fd.Get(), LOCK_EX | LOCK_NB);
                return true;
            }
            m_registration.Clear();
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    // A replaced file keeps its permissions, and the superuser gives it back to
    // its owner, where the file system keeps them (FAT keeps neither).
    bool TakeOver(const ExistingFile& existing) const
    {
        if (!existing.exists)
            return true;
        if (::geteuid() == 0 && ::fchown(m_fd.Get(), existing.owner, existing.group) != 0 && !KeepsNoOwnership(errno)) {
            return false;
        }
        return ::fchmod(m_fd.Get(), existing.mode) == 0 || KeepsNoOwnership(errno);
    }

    // Gives the unnamed file the name `name`; a link never replaces an existing name.
    bool LinkAs(const std::string& name) const
    {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.Get());
        if (::linkat(AT_FDCWD, self.c_str(), m_target.Folder(), name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        // Without /proc, linking the descriptor itself needs more rights, but may still work.
        return errno == ENOENT && ::linkat(m_fd.Get(), "", m_target.Folder(), name.c_str(), AT_EMPTY_PATH) == 0;
    }

    bool LinkUnderShortName()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = TemporaryName();
            m_registration.Set(m_target.Folder(), name.c_str());
            if (LinkAs(name)) {
                m_name = name;
                return true;
            }
            m_registration.Clear();
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    // Puts the named file at a target that is to be kept: an exchange that
    // fails when the name exists, else a second name (which never replaces),
    // else, where the file system has neither (FAT), the name is claimed with
    // an empty file that only this save can have made and then replaced.
    Result<> RenameKeeping()
    {
        const int folder = m_target.Folder();
        const char* target = m_target.Name().c_str();
        if (::renameat2(folder, m_name.c_str(), folder, target, RENAME_NOREPLACE) == 0) {
            Forget();
            return {};
        }
        if (!LacksNoReplaceRename(errno))
            return Refused();
        if (::linkat(folder, m_name.c_str(), folder, target, 0) == 0)
            return {};  // the temporary name goes when the object ends
        if (!LacksHardLinks(errno))
            return Refused();
        // A signal in between would leave the empty claim: it waits until the claim is replaced or gone.
        const InterruptsDeferred deferred;
        const FileDescriptor claim(::openat(folder, target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!claim.Valid())
            return Refused();
        if (::renameat(folder, m_name.c_str(), folder, target) != 0) {
            const int error = errno;
            ::unlinkat(folder, target, 0);
            return Failed(error);
        }
        Forget();
        return {};
    }

    void Forget()
    {
        m_registration.Clear();
        m_name.clear();
    }

    SaveTarget m_target;
    Existing m_existing;
    FileDescriptor m_fd;
    std::string m_name;  // empty while the file has no name
    TemporaryRegistration m_registration;
};

// ---- SaveBatch ------------------------------------------------------------------

SaveBatch::SaveBatch() = default;
SaveBatch::~SaveBatch() = default;

const SaveTarget::Place& SaveBatch::PlaceOf(std::size_t index) const
{
    return m_staged.at(index)->Target().Where();
}

void SaveBatch::RemoveStaleTemporariesOnce(const SaveTarget& target)
{
    const FileIdentity folder = target.Where().folder;
    if (std::find(m_cleanedFolders.begin(), m_cleanedFolders.end(), folder) != m_cleanedFolders.end())
        return;
    m_cleanedFolders.push_back(folder);
    RemoveStaleTemporaries(target.Folder());
}

Result<> SaveBatch::Stage(SaveTarget target, const ByteBuffer& bytes, Existing existing)
{
    ExistingFile file;
    if (Result<> replaceable = CheckReplaceable(target, existing, file); !replaceable)
        return replaceable;
    RemoveStaleTemporariesOnce(target);
    auto staged = std::make_unique<StagedFile>(std::move(target), existing);
    if (!staged->Write(bytes, file))
        return Failed(errno);
    m_staged.push_back(std::move(staged));
    return {};
}

// Many files on one file system are synced by one syncfs, which writes them
// all at once; a few files are synced each on their own, so that they need not
// wait for whatever else that file system holds unwritten. Where syncfs does
// not reach the storage, or reports an error that may be another file's, each
// file is synced on its own and keeps its own error.
void SaveBatch::SyncData(std::vector<Result<>>& results)
{
    std::map<dev_t, std::vector<std::size_t>> byFileSystem;
    for (std::size_t i = 0; i < m_staged.size(); ++i) {
        struct stat st {};
        if (::fstat(m_staged[i]->Descriptor(), &st) == 0)
            byFileSystem[st.st_dev].push_back(i);
        else
            results[i] = Failed(errno);
    }
    for (const auto& [device, files] : byFileSystem) {
        const int first = m_staged[files.front()]->Descriptor();
        if (files.size() >= kFilesForOneSync && !SyncsEachFile(first) && ::syncfs(first) == 0)
            continue;
        for (const std::size_t i : files) {
            if (::fsync(m_staged[i]->Descriptor()) != 0)
                results[i] = Failed(errno);
        }
    }
}

std::vector<Result<>> SaveBatch::Commit()
{
    std::vector<Result<>> results(m_staged.size());
    SyncData(results);
    std::vector<const StagedFile*> placed;
    for (std::size_t i = 0; i < m_staged.size(); ++i) {
        if (results[i])
            results[i] = m_staged[i]->PutInPlace();
        if (results[i])
            placed.push_back(m_staged[i].get());
    }
    std::vector<FileIdentity> folders;
    for (const StagedFile* file : placed) {
        const SaveTarget& target = file->Target();
        if (std::find(folders.begin(), folders.end(), target.Where().folder) == folders.end()) {
            folders.push_back(target.Where().folder);
            ::fsync(target.Folder());
        }
    }
    m_staged.clear();
    return results;
}

Result<> SaveAtomically(SaveTarget target, const ByteBuffer& bytes, Existing existing)
{
    SaveBatch batch;
    if (Result<> staged = batch.Stage(std::move(target), bytes, existing); !staged)
        return staged;
    return batch.Commit().front();
}

Result<> SaveFileAtomically(const fs::path& path, const ByteBuffer& bytes, Existing existing)
{
    SaveTarget target;
    if (Result<> resolved = SaveTarget::Resolve(path, target); !resolved)
        return resolved;
    return SaveAtomically(std::move(target), bytes, existing);
}

std::size_t MostFilesInABatch()
{
    constexpr rlim_t kMostDescriptors = 65536;
    constexpr rlim_t kKeptForOthers = 64;  // standard streams, the recording, the decoder, ...
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1;
    const rlim_t wanted = std::min(limit.rlim_max, kMostDescriptors);
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > kKeptForOthers ? static_cast<std::size_t>((limit.rlim_cur - kKeptForOthers) / 2) : 1;
}

void RemoveStaleTemporaries(int folder)
{
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!entries) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const pid_t writer = WriterOf(entry->d_name);
        if (writer > 0 && writer != ::getpid() && !Runs(writer))
            RemoveUnlocked(folder, entry->d_name);
    }
    ::closedir(entries);
}

}  // namespace quorbin
