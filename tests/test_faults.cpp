// Faults around reading the source and saving the melody file: a disk that
// fills up during the write, folders and files that cannot be written, a
// melody file held open elsewhere, and a source that vanishes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <optional>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "ConversionTestSupport.h"
#include "mld/MldBuilder.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;
using namespace quorbin;
using namespace quorbin::testing_support;

namespace {

std::string ReadFd(int fd)
{
    std::string bytes;
    std::uint8_t chunk[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
        if (n <= 0)
            break;
        bytes.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(n));
        at += n;
    }
    return bytes;
}

std::set<std::string> Entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Sets or clears the immutable attribute; false when the file system or the
// caller's privileges do not allow it.
bool SetImmutable(const fs::path& path, bool on)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

bool CanCreateFileIn(const fs::path& folder)
{
    const fs::path probe = folder / ".probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

const ContentInfo kInfo{"fault test", "(c) nobody", 1, "20030601"};

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_folder / "song.wav";
        m_target = m_folder / "song.mld";
        m_wave = MakeWave(4000);
        WriteFile(m_source, m_wave);
    }

    // The scratch folder removes itself afterwards, once the attributes are undone.
    void TearDown() override
    {
        for (const fs::path& path : m_madeImmutable)
            SetImmutable(path, false);
    }

    // Makes `path` immutable, remembering to undo it; false when impossible.
    bool MakeImmutable(const fs::path& path)
    {
        if (!SetImmutable(path, true))
            return false;
        m_madeImmutable.push_back(path);
        return true;
    }

    // The melody file that a successful conversion of the source writes.
    std::string ExpectedMelody() const { return BuildDirectly(m_wave, kInfo); }

    int Convert(ConversionOptions options = {}) const
    {
        ConversionSteps steps(m_source.string(), std::move(options));
        const StepFailure prepared = steps.Prepare();
        if (prepared != StepFailure::None)
            return -MessageIdFor(prepared);
        return MessageIdFor(steps.Finish(kInfo));
    }

    TempFolder m_scratch;
    const fs::path m_folder = m_scratch.Path();
    fs::path m_source, m_target;
    std::string m_wave;
    std::vector<fs::path> m_madeImmutable;
};

// A failed save leaves exactly what was there before: no new, partial or temporary file.
#define EXPECT_FOLDER_UNCHANGED(before) EXPECT_EQ(Entries(m_folder), (before))

// The disk fills up after part of the file was written: a child process runs
// the conversion with a file size limit of half the melody file.
class FullDisk : public SaveFaults, public ::testing::WithParamInterface<bool> {};

TEST_P(FullDisk, WriteFailingPartWayReportsSaveFailureAndLeavesNoTrace)
{
    const bool existing = GetParam();
    const std::string old = "old";
    if (existing)
        WriteFile(m_target, old);
    const auto before = Entries(m_folder);
    const rlim_t limit = ExpectedMelody().size() / 2;
    ASSERT_GT(limit, old.size());

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            ::_exit(100);
        ::_exit(Convert());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), IDS_CANNOT_SAVE_MLD);
    EXPECT_FOLDER_UNCHANGED(before);
    if (existing) {
        EXPECT_EQ(ReadFile(m_target), old);
    }
}

INSTANTIATE_TEST_SUITE_P(Target, FullDisk, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Existing" : "New"; });

// Folder whose permissions or attributes forbid new files. Permission bits do
// not stop the superuser, so it uses the immutable attribute there.
TEST_F(SaveFaults, FolderThatCannotBeWrittenReportsSaveFailure)
{
    const auto before = Entries(m_folder);
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(m_folder.c_str(), 0555), 0);
    } else if (!MakeImmutable(m_folder)) {
        GTEST_SKIP() << "running as root on a file system without the immutable attribute: "
                        "no way to make a folder unwritable";
    }
    ASSERT_FALSE(CanCreateFileIn(m_folder)) << "the folder is still writable; the test would prove nothing";

    EXPECT_EQ(Convert(), IDS_CANNOT_SAVE_MLD);
    EXPECT_FOLDER_UNCHANGED(before);
}

// An existing melody file that may not be replaced: read-only by its permission
// bits (refused even for the superuser) or by the immutable attribute.
enum class Protection { ReadOnlyMode, Immutable };

class ProtectedTarget : public SaveFaults, public ::testing::WithParamInterface<Protection> {};

TEST_P(ProtectedTarget, IsLeftUnchangedAndSaveFails)
{
    const std::string old = "keep";
    WriteFile(m_target, old);
    if (GetParam() == Protection::ReadOnlyMode) {
        ASSERT_EQ(::chmod(m_target.c_str(), 0444), 0);
    } else if (!MakeImmutable(m_target)) {
        GTEST_SKIP() << "the immutable attribute is not available here";
    }
    const auto before = Entries(m_folder);

    EXPECT_EQ(Convert(), IDS_CANNOT_SAVE_MLD);
    EXPECT_FOLDER_UNCHANGED(before);
    EXPECT_EQ(ReadFile(m_target), old);
    struct stat st {};
    ASSERT_EQ(::stat(m_target.c_str(), &st), 0);
    if (GetParam() == Protection::ReadOnlyMode) {
        EXPECT_EQ(st.st_mode & 07777, 0444u);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProtectedTarget, ::testing::Values(Protection::ReadOnlyMode, Protection::Immutable),
                         [](const auto& info) {
                             return info.param == Protection::ReadOnlyMode ? "ReadOnlyMode" : "Immutable";
                         });

// A folder standing where the melody file would go.
TEST_F(SaveFaults, FolderInPlaceOfTheMelodyFileIsLeftAlone)
{
    fs::create_directory(m_target);
    WriteFile(m_target / "inside", std::string(1, '\x01'));
    const auto before = Entries(m_folder);

    EXPECT_EQ(Convert(), IDS_CANNOT_SAVE_MLD);
    EXPECT_FOLDER_UNCHANGED(before);
    EXPECT_EQ(Entries(m_target), std::set<std::string>{"inside"});
}

// Another program holds the old melody file open, for reading or for writing.
// Linux does not lock it, so the save replaces the name: the other program
// keeps the old contents through its handle, and the new file is complete.
class HeldOpenTarget : public SaveFaults, public ::testing::WithParamInterface<int> {};

TEST_P(HeldOpenTarget, OldHandleKeepsOldContentsAndNewFileIsComplete)
{
    const std::string old = "old melo";
    WriteFile(m_target, old);
    const int held = ::open(m_target.c_str(), GetParam() | O_CLOEXEC);
    ASSERT_GE(held, 0);

    EXPECT_EQ(Convert(), IDS_OUTPUT_SIZE);
    if (GetParam() != O_RDONLY) {
        const std::uint8_t late = 'X';  // the other program writes on after the save
        EXPECT_EQ(::pwrite(held, &late, 1, 0), 1);
    }
    const std::string seenByHolder = ReadFd(held);
    ::close(held);

    std::string expectedOld = old;
    if (GetParam() != O_RDONLY)
        expectedOld[0] = 'X';
    EXPECT_EQ(seenByHolder, expectedOld);
    EXPECT_EQ(ReadFile(m_target), ExpectedMelody());
    EXPECT_EQ(Entries(m_folder), (std::set<std::string>{"song.mld", "song.wav"}));
}

INSTANTIATE_TEST_SUITE_P(Handle, HeldOpenTarget, ::testing::Values(O_RDONLY, O_RDWR),
                         [](const auto& info) { return info.param == O_RDONLY ? "Reading" : "Writing"; });

// Free space that does not exceed the file, or that cannot be queried.
class NoFreeSpace : public SaveFaults, public ::testing::WithParamInterface<double> {};

TEST_P(NoFreeSpace, ReportsDiskSpaceAndWritesNothing)
{
    const std::string old = "old";
    WriteFile(m_target, old);
    const auto before = Entries(m_folder);
    const double melodySize = static_cast<double>(ExpectedMelody().size());
    const double answer = GetParam() < 0 ? -1.0 : melodySize * GetParam();
    ConversionOptions options;
    options.freeSpace = [answer](const fs::path&) { return answer; };

    EXPECT_EQ(Convert(options), IDS_DISK_SPACE);
    EXPECT_FOLDER_UNCHANGED(before);
    EXPECT_EQ(ReadFile(m_target), old);
}

// Fractions of the melody file's size; -1 is a failed query.
INSTANTIATE_TEST_SUITE_P(Answers, NoFreeSpace, ::testing::Values(-1.0, 0.0, 0.5, 1.0), [](const auto& info) {
    return info.param < 0 ? std::string("QueryFails") : "Percent" + std::to_string(int(info.param * 100));
});

// The source vanishes or changes into something unreadable between the drop
// and the read.
enum class Vanish { Removed, ReplacedByFolder, DanglingLink, ReplacedByPipe, NoReadPermission };

std::string VanishName(Vanish how)
{
    static const char* const names[] = {"Removed", "ReplacedByFolder", "DanglingLink", "ReplacedByPipe",
                                        "NoReadPermission"};
    return names[static_cast<int>(how)];
}

class VanishingSource : public SaveFaults, public ::testing::WithParamInterface<Vanish> {
protected:
    void Apply(Vanish how)
    {
        if (how != Vanish::NoReadPermission) {
            ASSERT_TRUE(fs::remove(m_source));
        }
        switch (how) {
        case Vanish::Removed: break;
        case Vanish::ReplacedByFolder: fs::create_directory(m_source); break;
        case Vanish::DanglingLink: fs::create_symlink(m_folder / "gone.wav", m_source); break;
        case Vanish::ReplacedByPipe: ASSERT_EQ(::mkfifo(m_source.c_str(), 0644), 0); break;
        case Vanish::NoReadPermission: ASSERT_EQ(::chmod(m_source.c_str(), 0), 0); break;
        }
    }
};

TEST_P(VanishingSource, ReportsCannotOpenAndWritesNothing)
{
    if (GetParam() == Vanish::NoReadPermission && ::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop the superuser from reading";
    }
    Apply(GetParam());
    const auto before = Entries(m_folder);

    ByteBuffer read;
    EXPECT_EQ(ReadWholeFile(m_source, 1u << 20, read), ReadStatus::CannotOpen);
    EXPECT_EQ(Convert(), -IDS_CANNOT_OPEN_WAVE);
    EXPECT_FOLDER_UNCHANGED(before);
}

INSTANTIATE_TEST_SUITE_P(Ways, VanishingSource,
                         ::testing::Values(Vanish::Removed, Vanish::ReplacedByFolder, Vanish::DanglingLink,
                                           Vanish::ReplacedByPipe, Vanish::NoReadPermission),
                         [](const auto& info) { return VanishName(info.param); });

// A source of 2 GiB (its samples, then a large "JUNK" chunk) is never read
// into memory whole, and the melody file is the same.
TEST_F(SaveFaults, SourceOfTwoGibibytesConvertsAsItsStart)
{
    const std::uint32_t twoGiB = 0x80000000u;
    std::string junk = m_wave + "JUNK";
    junk += Le32(twoGiB - static_cast<std::uint32_t>(junk.size()) - 4);
    ASSERT_EQ(junk.size() % 2, 0u);
    WriteFile(m_source, junk);
    ASSERT_EQ(::truncate(m_source.c_str(), twoGiB), 0);  // sparse: takes no disk space

    EXPECT_EQ(Convert(), IDS_OUTPUT_SIZE);
    EXPECT_EQ(ReadFile(m_target), ExpectedMelody());
}

// Once read, the source is no longer needed: removing it before the save
// changes nothing in the melody file.
TEST_F(SaveFaults, SourceRemovedAfterReadingStillGivesTheWholeFile)
{
    ConversionSteps steps(m_source.string());
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    ASSERT_TRUE(fs::remove(m_source));

    EXPECT_EQ(steps.Finish(kInfo), StepFailure::None);
    EXPECT_EQ(ReadFile(m_target), ExpectedMelody());
    EXPECT_EQ(steps.OutputSize(), ExpectedMelody().size());
    EXPECT_EQ(Entries(m_folder), std::set<std::string>{"song.mld"});
}

}  // namespace

#ifdef QUORBIN_APP_PATH
namespace {

// Starts of the window program on the offscreen platform, each with the same
// private runtime folder, where the single-instance lock lives.
class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override { ::chmod(m_runtime.c_str(), 0700); }

    void TearDown() override
    {
        for (const pid_t pid : m_started) {
            if (::kill(pid, SIGKILL) == 0)
                ::waitpid(pid, nullptr, 0);
        }
    }

    pid_t Start()
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execl(QUORBIN_APP_PATH, QUORBIN_APP_PATH, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid > 0)
            m_started.push_back(pid);
        return pid;
    }

    // Waits up to `seconds` for `pid` to end; its wait status, or nothing if it still runs.
    static std::optional<int> WaitForEnd(pid_t pid, double seconds)
    {
        for (int waited = 0; waited <= seconds * 100; ++waited) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return status;
            ::usleep(10000);
        }
        return std::nullopt;
    }

    static bool EndedQuietly(const std::optional<int>& status)
    {
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) != 127;
    }

    // A start made now ends on its own: someone holds the lock.
    void ExpectLockHeld()
    {
        const pid_t probe = Start();
        ASSERT_GT(probe, 0);
        EXPECT_TRUE(EndedQuietly(WaitForEnd(probe, 30))) << "a further start did not end by itself";
    }

    TempFolder m_scratch;
    const fs::path m_runtime = m_scratch.Path();
    std::vector<pid_t> m_started;
};

TEST_F(SingleInstance, OfManySimultaneousStartsExactlyOneKeepsRunning)
{
    constexpr int kStarts = 8;
    std::vector<pid_t> pids;
    for (int i = 0; i < kStarts; ++i)
        pids.push_back(Start());
    ASSERT_EQ(std::count(pids.begin(), pids.end(), -1), 0);

    std::vector<pid_t> running = pids;
    for (int waited = 0; running.size() > 1 && waited < 6000; ++waited) {
        std::erase_if(running, [](pid_t pid) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) != pid)
                return false;
            EXPECT_TRUE(EndedQuietly(status)) << "a second copy crashed or failed to start: " << status;
            return true;
        });
        ::usleep(10000);
    }
    ASSERT_EQ(running.size(), 1u) << "copies still running after 60 s";
    EXPECT_FALSE(WaitForEnd(running[0], 1)) << "the one copy left ended as well";
    ExpectLockHeld();
}

class StartAfterEnd : public SingleInstance, public ::testing::WithParamInterface<int> {};

// A lone start is given a few seconds to take the lock before anyone else starts.
TEST_P(StartAfterEnd, NextStartRuns)
{
    const pid_t first = Start();
    ASSERT_GT(first, 0);
    ASSERT_FALSE(WaitForEnd(first, 3)) << "a lone first copy did not keep running";
    ExpectLockHeld();
    ASSERT_EQ(::kill(first, GetParam()), 0);
    ASSERT_TRUE(WaitForEnd(first, 30));

    const pid_t next = Start();
    ASSERT_GT(next, 0);
    EXPECT_FALSE(WaitForEnd(next, 3)) << "the start after the first had ended did not keep running";
    ExpectLockHeld();
}

INSTANTIATE_TEST_SUITE_P(Signal, StartAfterEnd, ::testing::Values(SIGTERM, SIGKILL),
                         [](const auto& info) { return info.param == SIGKILL ? "Killed" : "Terminated"; });

}  // namespace
#endif
