// Faults around reading the source and saving the melody file: a disk that
// fills up during the write, folders and files that cannot be written, a
// melody file held open elsewhere, a source that vanishes, and a FAT file
// system with saves killed part way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <linux/magic.h>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "ConversionTestSupport.h"
#include "mld/MldBuilder.h"
#include "platform/FileSave.h"
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

    EXPECT_FALSE(ReadWholeFile(m_source, 1u << 20));
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

// ---- A FAT file system ------------------------------------------------------------

// Runs a shell command with the superuser's tool folders on the path.
int Shell(const std::string& command)
{
    return std::system(("PATH=\"$PATH:/usr/sbin:/sbin\" " + command).c_str());
}

// Why no FAT file system can be mounted here; empty when one can.
std::string MissingForFat()
{
    if (::geteuid() != 0)
        return "mounting needs the superuser";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no /dev/fuse";
    if (Shell("command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null") != 0)
        return "fusefat or mkfs.vfat missing (Debian packages fusefat and dosfstools)";
    return {};
}

// The names in `folder` of temporary files of saves, of any writer or of the process `writer`.
std::set<std::string> Temporaries(const fs::path& folder, pid_t writer = 0)
{
    const std::string prefix = ".quorbin-" + (writer ? std::to_string(writer) + "-" : "");
    std::set<std::string> names;
    for (const std::string& name : Entries(folder)) {
        if (name.starts_with(prefix))
            names.insert(name);
    }
    return names;
}

// A FAT image mounted through FUSE, as a memory card or a phone is: no unnamed
// files, no owners or permission bits, no hard links. Skipped, with the
// reason, where it cannot be mounted.
class FatVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string missing = MissingForFat(); !missing.empty())
            GTEST_SKIP() << "no FAT file system to test on: " << missing;
        const fs::path image = m_scratch.Path() / "card.img";
        fs::create_directory(m_mount);
        ASSERT_EQ(Shell("mkfs.vfat -C " + image.string() + " 8192 >/dev/null"), 0);
        ASSERT_EQ(Shell("fusefat -o rw+ " + image.string() + " " + m_mount.string() + " >/dev/null"), 0);
        m_mounted = true;
        struct statfs info {};
        ASSERT_EQ(::statfs(m_mount.c_str(), &info), 0);
        ASSERT_EQ(info.f_type, FUSE_SUPER_MAGIC) << "the image is not mounted";
    }

    void TearDown() override
    {
        if (m_mounted)
            Shell("umount " + m_mount.string());
    }

    // What converting the recording `name`.wav with `info` and `quality` writes.
    std::string Expected(ContentInfo info, EncoderQuality quality = EncoderQuality::Standard) const
    {
        return BuildDirectly(m_wave, info, quality);
    }

    TempFolder m_scratch;
    const fs::path m_mount = m_scratch.Path() / "card";
    bool m_mounted = false;
    const std::string m_wave = MakeWave(16000);
};

// A second save over a melody file: FAT keeps no owner or permission bits to
// carry over, which is no reason to fail; a file that is to be kept stays.
class FatResave : public FatVolume, public ::testing::WithParamInterface<bool> {};

TEST_P(FatResave, ReplacesTheFileOrKeepsItAsAsked)
{
    const bool keep = GetParam();
    WriteFile(m_mount / "song.wav", m_wave);
    const ContentInfo first{"first", "", 0, "20030601"}, second{"second", "", 0, "20030601"};
    for (const bool again : {false, true}) {
        ConversionOptions options;
        options.keepExisting = keep;
        ConversionSteps steps((m_mount / "song.wav").string(), options);
        ASSERT_EQ(steps.Prepare(), StepFailure::None);
        EXPECT_EQ(steps.Finish(again ? second : first), again && keep ? StepFailure::CannotSave : StepFailure::None);
        EXPECT_EQ(steps.Reason().kind, again && keep ? ReasonKind::Exists : ReasonKind::None);
    }
    EXPECT_EQ(ReadFile(m_mount / "song.mld"), Expected(keep ? first : second));
    EXPECT_EQ(Entries(m_mount), (std::set<std::string>{"song.mld", "song.wav"}));
}

INSTANTIATE_TEST_SUITE_P(Existing, FatResave, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Kept" : "Replaced"; });

#ifdef QUORBIN_CLI_PATH
// Starts quorbin-cli with `args`, its output thrown away.
pid_t StartCli(const std::vector<std::string>& args)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(QUORBIN_CLI_PATH)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(QUORBIN_CLI_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status of quorbin-cli run with `args`; -1 when a signal ended it.
int RunCliToEnd(const std::vector<std::string>& args)
{
    int status = 0;
    const pid_t pid = StartCli(args);
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Batches killed at random moments by SIGINT, SIGTERM, SIGHUP or SIGKILL:
// every melody file is whole, old or new; the first three remove their
// temporary files before the process ends by the signal; what SIGKILL leaves
// goes with the next save into the folder.
TEST_F(FatVolume, KilledBatchesLeaveWholeFilesAndTheNextSaveRemovesTheRest)
{
    const std::vector<std::string> names = {"a", "b", "c", "d"};
    std::vector<std::string> args = {"convert", "--quality", "high", "--date", "20030601"};
    std::map<std::string, std::string> made;
    for (const std::string& name : names) {
        WriteFile(m_mount / (name + ".wav"), m_wave);
        args.push_back((m_mount / (name + ".wav")).string());
        made[name] = Expected({name, "", 0, "20030601"}, EncoderQuality::High);
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunCliToEnd(args), 0) << "an undisturbed batch failed";
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> moment(0, whole.count());
    for (int round = 0; round < 40; ++round) {
        // Made anew, not truncated: fusefat corrupts a file cut short.
        for (std::size_t i = 0; i < names.size(); ++i) {
            fs::remove(m_mount / (names[i] + ".mld"));
            if (i % 2 == 0)
                WriteFile(m_mount / (names[i] + ".mld"), "old");
        }
        const int signal = signals[round % 4];
        const pid_t run = StartCli(args);
        ASSERT_GT(run, 0);
        ::usleep(static_cast<useconds_t>(moment(random)));
        ::kill(run, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(run, &status, 0), run);
        const bool ended = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(ended || (WIFSIGNALED(status) && WTERMSIG(status) == signal)) << "round " << round;
        if (signal != SIGKILL) {
            EXPECT_EQ(Temporaries(m_mount, run), std::set<std::string>{}) << "round " << round;
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const fs::path melody = m_mount / (names[i] + ".mld");
            const std::string old = i % 2 == 0 ? "old" : "";
            const std::string content = fs::exists(melody) ? ReadFile(melody) : "";
            EXPECT_TRUE(content == old || content == made[names[i]]) << names[i] << ", round " << round;
        }
    }
    ASSERT_EQ(RunCliToEnd({"convert", (m_mount / "a.wav").string()}), 0);
    EXPECT_EQ(Temporaries(m_mount), std::set<std::string>{});
}
#endif

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
