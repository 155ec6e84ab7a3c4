// The conversion steps shared by the window and the command line: path checks,
// reading and parsing, default title, output path, free space, save and report.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "ConversionTestSupport.h"
#include "platform/Cp932.h"
#include "platform/FileDescriptor.h"

using namespace quorbin;
using namespace quorbin::testing_support;

namespace {

ContentInfo FixedInfo(const std::string& title = "Title")
{
    ContentInfo info;
    info.title = title;
    info.copyright = "(c) test";
    info.protectionFlag = 1;
    info.date = "20030601";
    return info;
}

double Plenty(const std::filesystem::path&)
{
    return 1e12;
}

ConversionOptions Options(std::filesystem::path outputPath, FreeSpaceQuery freeSpace)
{
    ConversionOptions options;
    options.outputPath = std::move(outputPath);
    options.freeSpace = std::move(freeSpace);
    return options;
}

class ConversionStepsTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_folder / name).string(); }
    StepFailure Prepare(const std::string& path) { return ConversionSteps(path).Prepare(); }

    TempFolder m_folder;
};

}  // namespace

// ---- Path checks ----------------------------------------------------------------

struct LengthCase {
    const char* fill;  // repeated to reach the length
    std::size_t fillCp932Bytes;
    std::size_t targetBytes;  // path length in CP932 bytes
    StepFailure expected;
};

class PathLength : public ConversionStepsTest, public testing::WithParamInterface<LengthCase> {};

TEST_P(PathLength, CountsCp932BytesOfTheWholePath)
{
    const LengthCase& c = GetParam();
    std::string path = m_folder.Path().string() + "/";
    std::size_t bytes = path.size() + 4;  // ".wav"
    while (bytes + c.fillCp932Bytes <= c.targetBytes) {
        path += c.fill;
        bytes += c.fillCp932Bytes;
    }
    path.append(c.targetBytes - bytes, 'x');
    path += ".wav";
    ASSERT_EQ(Utf8ToCp932Lossy(path).size(), c.targetBytes);
    // A path that passes the length check fails later: the file does not exist.
    EXPECT_EQ(Prepare(path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PathLength,
    testing::Values(LengthCase{"a", 1, 259, StepFailure::CannotOpen}, LengthCase{"a", 1, 260, StepFailure::PathTooLong},
                    LengthCase{"a", 1, 400, StepFailure::PathTooLong},
                    LengthCase{"あ", 2, 259, StepFailure::CannotOpen},  // 3 UTF-8 bytes, 2 in CP932
                    LengthCase{"あ", 2, 260, StepFailure::PathTooLong},
                    LengthCase{"😀", 1, 259, StepFailure::CannotOpen},  // becomes one "?"
                    LengthCase{"😀", 1, 260, StepFailure::PathTooLong}));

struct ExtensionCase {
    const char* name;
    StepFailure expected;
};

class Extension : public ConversionStepsTest, public testing::WithParamInterface<ExtensionCase> {};

TEST_P(Extension, LastFourCharactersAreDotWavInAnyCase)
{
    EXPECT_EQ(Prepare(Path(GetParam().name)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Extension,
    testing::Values(ExtensionCase{"song.WAV", StepFailure::CannotOpen},
                    ExtensionCase{"song.wAv", StepFailure::CannotOpen}, ExtensionCase{".wav", StepFailure::CannotOpen},
                    ExtensionCase{"song.wave", StepFailure::NotWave},
                    ExtensionCase{"song.wav.txt", StepFailure::NotWave}, ExtensionCase{"songwav", StepFailure::NotWave},
                    ExtensionCase{"song.mp3", StepFailure::NotWave}, ExtensionCase{"song.wav ", StepFailure::NotWave}));

TEST_F(ConversionStepsTest, ShortPathsFailTheExtensionCheck)
{
    for (const char* path : {"", "w", "wav", ".wa"})
        EXPECT_EQ(Prepare(path), StepFailure::NotWave) << path;
}

// "./a.wav" and "a.wav" are one path: the limit counts the path without the "./".
TEST_F(ConversionStepsTest, PathLengthIsMeasuredOnTheNormalPath)
{
    const std::string folder = m_folder.Path().string();
    const std::string name = std::string(259 - folder.size() - 1 - 4, 'x') + ".wav";
    for (const std::string& spelling : {folder + "/" + name, folder + "/./" + name, folder + "/sub/../" + name})
        EXPECT_EQ(Prepare(spelling), StepFailure::CannotOpen) << spelling;
    EXPECT_EQ(Prepare(folder + "/x" + name), StepFailure::PathTooLong);
}

// ---- Reading and parsing --------------------------------------------------------

TEST_F(ConversionStepsTest, EachProblemOfTheFileHasItsMessage)
{
    std::filesystem::create_directory(m_folder / "folder.wav");
    WriteFile(m_folder / "empty.wav", "");
    WriteFile(m_folder / "text.wav", "this is not a recording");
    WriteFile(m_folder / "cd.wav", MakeWave(8000, {.rate = 22050}));
    WriteFile(m_folder / "stereo.wav", MakeWave(8000, {.channels = 2}));
    WriteFile(m_folder / "float.wav", MakeWave(8000, {.tag = 3}));
    WriteFile(m_folder / "short.wav", MakeWave(167));
    WriteFile(m_folder / "enough.wav", MakeWave(168));
    const std::pair<const char*, StepFailure> cases[] = {
        {"folder.wav", StepFailure::CannotOpen}, {"missing.wav", StepFailure::CannotOpen},
        {"empty.wav", StepFailure::InvalidWave}, {"text.wav", StepFailure::InvalidWave},
        {"cd.wav", StepFailure::Unsupported},    {"stereo.wav", StepFailure::Unsupported},
        {"float.wav", StepFailure::Unsupported}, {"short.wav", StepFailure::TooShort},
        {"enough.wav", StepFailure::None},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(Prepare(Path(name)), expected) << name;
}

// A recording of the longest length a melody file holds, and the same samples
// at the start of a "data" chunk stated to be `dataSize` bytes long.
const std::string kFullWave = MakeWave(131054);

std::string HeaderStating(std::uint32_t dataSize)
{
    std::string header = kFullWave;
    return header.replace(40, 4, Le32(dataSize));
}

// A sparse file of `size` bytes: each piece written at its offset, zeros elsewhere.
void WriteSparse(const std::filesystem::path& path, std::vector<std::pair<std::uint64_t, std::string>> pieces,
                 std::uint64_t size)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    for (const auto& [offset, bytes] : pieces) {
        ASSERT_EQ(::pwrite(fd.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset)),
                  static_cast<ssize_t>(bytes.size()));
    }
    ASSERT_EQ(::ftruncate(fd.Get(), static_cast<off_t>(size)), 0);
}

// Only the start of the "data" body is read, so size is no limit: a 2 GiB
// file converts, and so does one whose chunks lie beyond 4 GiB.
TEST_F(ConversionStepsTest, FilesOfAnySizeTheirChunksDescribeConvert)
{
    const std::uint64_t twoGiB = 0x80000000u;
    WriteSparse(m_folder / "two.wav", {{0, HeaderStating(twoGiB - 44)}}, twoGiB);
    // A 4 GiB "JUNK" chunk first puts "fmt " and "data" past the 32-bit range.
    const std::string junk = "RIFF" + Le32(0) + "WAVEJUNK" + Le32(0xFFFFFFF0u);
    const std::uint64_t rest = 20 + std::uint64_t{0xFFFFFFF0u};
    WriteSparse(m_folder / "five.wav", {{0, junk}, {rest, kFullWave.substr(12)}}, rest + kFullWave.size() - 12);

    for (const char* name : {"two.wav", "five.wav"}) {
        ConversionSteps steps(Path(name), Options({}, Plenty));
        ASSERT_EQ(steps.Prepare(), StepFailure::None) << name;
        ASSERT_EQ(steps.Finish(FixedInfo()), StepFailure::None) << name;
        EXPECT_EQ(ReadFile(steps.OutputPath()), BuildDirectly(kFullWave, FixedInfo())) << name;
    }
}

TEST_F(ConversionStepsTest, AnUnreadableFileCannotBeOpened)
{
    WriteFile(m_folder / "secret.wav", MakeWave(1000));
    std::filesystem::permissions(m_folder / "secret.wav", std::filesystem::perms::none);
    EXPECT_EQ(InChild([&] { return MessageIdFor(Prepare(Path("secret.wav"))); }, true), IDS_CANNOT_OPEN_WAVE);
}

// ---- Default title ------------------------------------------------------------

struct TitleCase {
    std::string fileName;
    std::string expectedCp932;
};

class DefaultTitle : public ConversionStepsTest, public testing::WithParamInterface<TitleCase> {};

TEST_P(DefaultTitle, IsTheFileNameInCp932CutToFiftyBytes)
{
    WriteFile(m_folder / GetParam().fileName, MakeWave(1000));
    ConversionSteps steps(Path(GetParam().fileName));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(steps.DefaultTitle(), GetParam().expectedCp932);
}

std::string Repeat(const std::string& piece, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DefaultTitle,
    testing::Values(TitleCase{"Song.WAV", "Song"}, TitleCase{"x.wav.wav", "x.wav"},
                    TitleCase{Repeat("0123456789", 6) + ".wav", Repeat("0123456789", 5)},
                    TitleCase{Repeat("あ", 30) + ".wav", Repeat("\x82\xA0", 25)},
                    TitleCase{"a" + Repeat("あ", 30) + ".wav", "a" + Repeat("\x82\xA0", 24)},  // 49 bytes
                    TitleCase{"€uro 😀.wav", "?uro ?"}, TitleCase{"tab\tand\x1b[2J.wav", "tab?and?[2J"}));

// ---- Finish: build, output path, free space, save -------------------------------

TEST_F(ConversionStepsTest, SavesWhatTheBuilderMadeBesideTheSource)
{
    const std::string wave = MakeWave(4000);
    WriteFile(m_folder / "SONG.WAV", wave);
    std::filesystem::path queried;
    ConversionSteps steps(Path("SONG.WAV"), Options({}, [&](const std::filesystem::path& folder) {
                              queried = folder;
                              return 1e12;
                          }));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(steps.SampleRate(), 8000);
    ASSERT_EQ(steps.Finish(FixedInfo()), StepFailure::None);

    EXPECT_EQ(steps.OutputPath(), m_folder / "SONG.mld");
    EXPECT_EQ(queried, m_folder.Path());
    const std::string saved = ReadFile(m_folder / "SONG.mld");
    EXPECT_EQ(saved, BuildDirectly(wave, FixedInfo()));
    EXPECT_EQ(steps.OutputSize(), saved.size());
    EXPECT_EQ(FormatSizeReport(steps.OutputSize(), Language::English()),
              FormatSizeReport(saved.size(), Language::English()));
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"SONG.WAV", "SONG.mld"}));
}

TEST_F(ConversionStepsTest, AnOutputPathReplacesTheDefault)
{
    WriteFile(m_folder / "in.wav", MakeWave(2000));
    std::filesystem::create_directory(m_folder / "out");
    ConversionSteps steps(Path("in.wav"), Options(m_folder / "out" / "tune.bin", Plenty));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    ASSERT_EQ(steps.Finish(FixedInfo()), StepFailure::None);
    EXPECT_EQ(m_folder.Entries("out"), std::vector<std::string>{"tune.bin"});
    EXPECT_FALSE(std::filesystem::exists(m_folder / "in.mld"));
}

TEST_F(ConversionStepsTest, FreeSpaceMustExceedTheFileSize)
{
    const std::string wave = MakeWave(3000);
    WriteFile(m_folder / "a.wav", wave);
    const double size = static_cast<double>(BuildDirectly(wave, FixedInfo()).size());
    const std::pair<double, StepFailure> cases[] = {
        {size, StepFailure::DiskSpace}, {size - 1, StepFailure::DiskSpace}, {-1.0, StepFailure::DiskSpace},
        {0.0, StepFailure::DiskSpace},  {size + 1, StepFailure::None},
    };
    for (const auto& [freeBytes, expected] : cases) {
        std::filesystem::remove(m_folder / "a.mld");
        ConversionSteps steps(Path("a.wav"), Options({}, [=](const auto&) { return freeBytes; }));
        ASSERT_EQ(steps.Prepare(), StepFailure::None);
        EXPECT_EQ(steps.Finish(FixedInfo()), expected) << freeBytes;
        EXPECT_EQ(std::filesystem::exists(m_folder / "a.mld"), expected == StepFailure::None) << freeBytes;
    }
}

TEST_F(ConversionStepsTest, AnOutputThatCannotBeReplacedIsLeftAlone)
{
    WriteFile(m_folder / "locked.wav", MakeWave(2000));
    WriteFile(m_folder / "locked.mld", "keep");
    std::filesystem::permissions(m_folder / "locked.mld", std::filesystem::perms(0444));
    WriteFile(m_folder / "dir.wav", MakeWave(2000));
    std::filesystem::create_directory(m_folder / "dir.mld");

    for (const char* name : {"locked.wav", "dir.wav"}) {
        ConversionSteps steps(Path(name), Options({}, Plenty));
        ASSERT_EQ(steps.Prepare(), StepFailure::None);
        EXPECT_EQ(steps.Finish(FixedInfo()), StepFailure::CannotSave) << name;
        EXPECT_EQ(steps.OutputSize(), 0u);
    }
    EXPECT_EQ(ReadFile(m_folder / "locked.mld"), "keep");
    EXPECT_TRUE(std::filesystem::is_empty(m_folder / "dir.mld"));
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"dir.mld", "dir.wav", "locked.mld", "locked.wav"}));
}

TEST_F(ConversionStepsTest, AFolderWithoutWriteRightsGivesCannotSave)
{
    std::filesystem::create_directory(m_folder / "shut");
    WriteFile(m_folder / "shut" / "a.wav", MakeWave(2000));
    std::filesystem::permissions(m_folder / "shut", std::filesystem::perms(0555));
    const int outcome = InChild(
        [&] {
            ConversionSteps steps((m_folder / "shut" / "a.wav").string(), Options({}, Plenty));
            return steps.Prepare() == StepFailure::None ? MessageIdFor(steps.Finish(FixedInfo())) : 100;
        },
        true);
    EXPECT_EQ(outcome, IDS_CANNOT_SAVE_MLD);
    EXPECT_EQ(m_folder.Entries("shut"), std::vector<std::string>{"a.wav"});
}

TEST_F(ConversionStepsTest, AWriteFailingPartWayKeepsTheOldMelodyFile)
{
    WriteFile(m_folder / "long.wav", MakeWave(80000));  // about 40 KB of melody file
    WriteFile(m_folder / "long.mld", "previous melody");
    const int outcome = InChild([&] {
        ConversionSteps steps(Path("long.wav"), Options({}, Plenty));
        if (steps.Prepare() != StepFailure::None)
            return 100;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 101;
        return MessageIdFor(steps.Finish(FixedInfo()));
    });
    EXPECT_EQ(outcome, IDS_CANNOT_SAVE_MLD);
    EXPECT_EQ(ReadFile(m_folder / "long.mld"), "previous melody");
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"long.mld", "long.wav"}));
}

// Address space in use by this process, in bytes.
std::uint64_t AddressSpaceInUse()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

// Grows the stack mapping now, so that a later limit on the address space
// cannot stop the stack from growing.
[[gnu::noinline]] void TouchStack()
{
    volatile char block[512 * 1024];
    for (std::size_t i = 0; i < sizeof block; i += 4096)
        block[i] = 1;
}

// A failed allocation ends the step with its message (4 while reading, 6
// while building and saving) and the reason "out of memory", never the program; a recording of 1 GiB needs
// no memory in proportion to its size.
TEST_F(ConversionStepsTest, RunningOutOfMemoryGivesAMessage)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves the address space for itself";
#endif
    const std::uint64_t oneGiB = 0x40000000u;
    WriteSparse(m_folder / "big.wav", {{0, HeaderStating(oneGiB - 44)}}, oneGiB);
    // The free bytes left in the heap are taken first, so that `spare` is all
    // the memory there is, however much the test process left free before.
    const auto limitTo = [](std::uint64_t spare) {
        TouchStack();
        const std::uint64_t inUse = AddressSpaceInUse();
        rlimit limit{inUse, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            return false;
        static void* volatile taken = nullptr;
        for (const std::size_t size : {65536, 4096, 256, 16}) {
            do {
                taken = std::malloc(size);
            } while (taken != nullptr);
        }
        limit.rlim_cur = inUse + spare;
        return ::setrlimit(RLIMIT_AS, &limit) == 0;
    };
    const std::pair<int, EncoderQuality> stages[] = {{IDS_INVALID_WAVE, EncoderQuality::Standard},
                                                     {IDS_CANNOT_SAVE_MLD, EncoderQuality::Standard},
                                                     {IDS_CANNOT_SAVE_MLD, EncoderQuality::High}};
    for (const auto& [failure, quality] : stages) {
        const bool whileReading = failure == IDS_INVALID_WAVE;
        std::vector<int> outcomes;
        for (const std::uint64_t spare : {0u, 64u << 10, 256u << 10, 1u << 20, 16u << 20}) {
            outcomes.push_back(InChild([&] {
                ConversionOptions options = Options({}, Plenty);
                options.quality = quality;
                ConversionSteps steps(Path("big.wav"), options);
                if (whileReading && !limitTo(spare))
                    return 100;
                const StepFailure prepared = steps.Prepare();
                if (prepared != StepFailure::None)
                    return steps.Reason().kind == ReasonKind::OutOfMemory ? MessageIdFor(prepared) : 101;
                if (!whileReading && !limitTo(spare))
                    return 100;
                const StepFailure finished = steps.Finish(FixedInfo());
                if (finished != StepFailure::None && steps.Reason().kind != ReasonKind::OutOfMemory)
                    return 101;
                return MessageIdFor(finished);
            }));
            EXPECT_TRUE(outcomes.back() == failure || outcomes.back() == IDS_OUTPUT_SIZE)
                << failure << ", spare " << spare << ": " << outcomes.back();
        }
        EXPECT_EQ(outcomes.front(), failure);
        EXPECT_EQ(outcomes.back(), IDS_OUTPUT_SIZE);
    }
}

TEST_F(ConversionStepsTest, FinishWithoutASuccessfulPrepareSavesNothing)
{
    WriteFile(m_folder / "bad.wav", "RIFF");
    ConversionSteps steps(Path("bad.wav"), Options({}, Plenty));
    ASSERT_EQ(steps.Prepare(), StepFailure::InvalidWave);
    EXPECT_EQ(steps.Finish(FixedInfo()), StepFailure::CannotSave);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "bad.mld"));
}

// ---- Output protection ----------------------------------------------------------

// The output is the recording itself, under another name: nothing is written.
enum class Alias { SamePath, OtherSpelling, SymbolicLinkAsDefaultOutput, HardLink };

class OutputIsTheSource : public ConversionStepsTest, public testing::WithParamInterface<Alias> {};

TEST_P(OutputIsTheSource, IsRefusedAndTheRecordingKept)
{
    const std::string wave = MakeWave(2000);
    WriteFile(m_folder / "v.wav", wave);
    std::filesystem::create_directory(m_folder / "sub");
    std::filesystem::path output;
    switch (GetParam()) {
    case Alias::SamePath: output = m_folder / "v.wav"; break;
    case Alias::OtherSpelling: output = m_folder / "sub" / ".." / "v.wav"; break;
    case Alias::SymbolicLinkAsDefaultOutput: std::filesystem::create_symlink("v.wav", m_folder / "v.mld"); break;
    case Alias::HardLink:
        output = m_folder / "sub" / "v.mld";
        std::filesystem::create_hard_link(m_folder / "v.wav", output);
        break;
    }
    const auto entries = m_folder.Entries();
    ConversionSteps steps(Path("v.wav"), Options(output, Plenty));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(steps.Finish(FixedInfo()), StepFailure::CannotSave);
    EXPECT_EQ(steps.Reason().kind, ReasonKind::ReplacesSource);
    EXPECT_EQ(ReadFile(m_folder / "v.wav"), wave);
    EXPECT_EQ(m_folder.Entries(), entries);
}

INSTANTIATE_TEST_SUITE_P(Aliases, OutputIsTheSource,
                         testing::Values(Alias::SamePath, Alias::OtherSpelling, Alias::SymbolicLinkAsDefaultOutput,
                                         Alias::HardLink));

// Where the melody file really goes: through a link to the file it points to,
// whose folder's free space counts; a dangling link or a missing folder fail.
struct TargetCase {
    const char* name;
    const char* linkTo;  // nullptr: the output is no link
    StepFailure expected;
    ReasonKind reason;
    const char* queriedFolder;  // nullptr: no free space is asked for
};

class OutputTarget : public ConversionStepsTest, public testing::WithParamInterface<TargetCase> {};

TEST_P(OutputTarget, IsTheFileTheLinkPointsTo)
{
    const TargetCase& c = GetParam();
    const std::string wave = MakeWave(2000);
    WriteFile(m_folder / "a.wav", wave);
    std::filesystem::create_directory(m_folder / "other");
    WriteFile(m_folder / "other" / "tune.mld", "old");
    const std::filesystem::path output = m_folder / c.name;
    if (c.linkTo)
        std::filesystem::create_symlink(c.linkTo, output);
    std::filesystem::path queried;
    ConversionSteps steps(Path("a.wav"), Options(output, [&](const std::filesystem::path& folder) {
                              queried = folder;
                              return GetFreeDiskBytes(folder);
                          }));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(steps.Finish(FixedInfo()), c.expected);
    EXPECT_EQ(steps.Reason().kind, c.reason);
    EXPECT_EQ(queried, c.queriedFolder ? std::filesystem::canonical(m_folder / c.queriedFolder) : "");
    if (c.linkTo) {
        EXPECT_TRUE(std::filesystem::is_symlink(output));
    }
    const bool saved = c.expected == StepFailure::None;
    EXPECT_EQ(ReadFile(m_folder / "other" / "tune.mld"), saved ? BuildDirectly(wave, FixedInfo()) : "old");
    EXPECT_EQ(m_folder.Entries("other"), std::vector<std::string>{"tune.mld"});
}

INSTANTIATE_TEST_SUITE_P(
    Links, OutputTarget,
    testing::Values(TargetCase{"a.mld", "other/tune.mld", StepFailure::None, ReasonKind::None, "other"},
                    TargetCase{"a.mld", "other/none.mld", StepFailure::CannotSave, ReasonKind::DanglingLink, nullptr},
                    TargetCase{"none/a.mld", nullptr, StepFailure::CannotSave, ReasonKind::SystemError, nullptr}));

// ---- Report -------------------------------------------------------------------

struct ReportCase {
    std::uint32_t size;
    Language language;
    const char* expected;
};

class SizeReport : public testing::TestWithParam<ReportCase> {};

TEST_P(SizeReport, KilobytesWithTwoDecimals)
{
    EXPECT_EQ(FormatSizeReport(GetParam().size, GetParam().language), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeReport,
                         testing::Values(ReportCase{185, Language::English(), "Output File Size : 0.18KB"},
                                         ReportCase{1024, Language::English(), "Output File Size : 1.00KB"},
                                         ReportCase{66054, Language::English(), "Output File Size : 64.51KB"},
                                         ReportCase{0, Language::English(), "Output File Size : 0.00KB"},
                                         ReportCase{1029, Language::English(),
                                                    "Output File Size : 1.00KB"},  // 1.0049 rounds down
                                         ReportCase{1030, Language::English(), "Output File Size : 1.01KB"},
                                         ReportCase{1024, Language::Japanese(), "出力ファイルサイズ : 1.00KB"}));
