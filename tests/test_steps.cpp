// The conversion steps shared by the window and the command line: path checks,
// reading and parsing, default title, output path, free space, save and report.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "conversion/ConversionSteps.h"
#include "conversion/StepMessages.h"
#include "ConversionTestSupport.h"
#include "platform/Cp932.h"

using namespace quorbin;
using namespace quorbin::testing_support;

namespace {

ContentInfo FixedInfo(const std::string& title = "Title") {
    ContentInfo info;
    info.title = title;
    info.copyright = "(c) test";
    info.protectionFlag = 1;
    info.date = "20030601";
    return info;
}

double Plenty(const std::filesystem::path&) { return 1e12; }

ConversionOptions Options(std::filesystem::path outputPath, FreeSpaceQuery freeSpace) {
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

} // namespace

// ---- Path checks ----------------------------------------------------------------

struct LengthCase {
    const char* fill;     // repeated to reach the length
    std::size_t fillCp932Bytes;
    std::size_t targetBytes;  // path length in CP932 bytes
    StepFailure expected;
};

class PathLength : public ConversionStepsTest, public testing::WithParamInterface<LengthCase> {};

TEST_P(PathLength, CountsCp932BytesOfTheWholePath) {
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
                    LengthCase{"あ", 2, 259, StepFailure::CannotOpen},   // 3 UTF-8 bytes, 2 in CP932
                    LengthCase{"あ", 2, 260, StepFailure::PathTooLong},
                    LengthCase{"😀", 1, 259, StepFailure::CannotOpen},  // becomes one "?"
                    LengthCase{"😀", 1, 260, StepFailure::PathTooLong}));

struct ExtensionCase {
    const char* name;
    StepFailure expected;
};

class Extension : public ConversionStepsTest, public testing::WithParamInterface<ExtensionCase> {};

TEST_P(Extension, LastFourCharactersAreDotWavInAnyCase) {
    EXPECT_EQ(Prepare(Path(GetParam().name)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Extension,
    testing::Values(ExtensionCase{"song.WAV", StepFailure::CannotOpen}, ExtensionCase{"song.wAv", StepFailure::CannotOpen},
                    ExtensionCase{".wav", StepFailure::CannotOpen}, ExtensionCase{"song.wave", StepFailure::NotWave},
                    ExtensionCase{"song.wav.txt", StepFailure::NotWave}, ExtensionCase{"songwav", StepFailure::NotWave},
                    ExtensionCase{"song.mp3", StepFailure::NotWave}, ExtensionCase{"song.wav ", StepFailure::NotWave}));

TEST_F(ConversionStepsTest, ShortPathsFailTheExtensionCheck) {
    for (const char* path : {"", "w", "wav", ".wa"}) EXPECT_EQ(Prepare(path), StepFailure::NotWave) << path;
}

// ---- Reading and parsing --------------------------------------------------------

TEST_F(ConversionStepsTest, EachProblemOfTheFileHasItsMessage) {
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
        {"empty.wav", StepFailure::InvalidWave},      {"text.wav", StepFailure::InvalidWave},
        {"cd.wav", StepFailure::Unsupported},   {"stereo.wav", StepFailure::Unsupported},
        {"float.wav", StepFailure::Unsupported}, {"short.wav", StepFailure::TooShort},
        {"enough.wav", StepFailure::None},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(Prepare(Path(name)), expected) << name;
}

TEST_F(ConversionStepsTest, AFileOfTwoGibibytesIsRefusedUnread) {
    // The header is valid, so reading the file would have accepted it.
    std::string header = MakeWave(0);
    const std::uint32_t total = 0x80000000u;
    std::string dataSize;
    PutLe(dataSize, total - 44, 4);
    header.replace(40, 4, dataSize);
    WriteFile(m_folder / "huge.wav", header);
    ASSERT_EQ(::truncate(Path("huge.wav").c_str(), total), 0);
    EXPECT_EQ(Prepare(Path("huge.wav")), StepFailure::InvalidWave);
}

TEST_F(ConversionStepsTest, AnUnreadableFileCannotBeOpened) {
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

TEST_P(DefaultTitle, IsTheFileNameInCp932CutToFiftyBytes) {
    WriteFile(m_folder / GetParam().fileName, MakeWave(1000));
    ConversionSteps steps(Path(GetParam().fileName));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(steps.DefaultTitle(), GetParam().expectedCp932);
}

std::string Repeat(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, DefaultTitle,
    testing::Values(TitleCase{"Song.WAV", "Song"}, TitleCase{"x.wav.wav", "x.wav"},
                    TitleCase{Repeat("0123456789", 6) + ".wav", Repeat("0123456789", 5)},
                    TitleCase{Repeat("あ", 30) + ".wav", Repeat("\x82\xA0", 25)},
                    TitleCase{"a" + Repeat("あ", 30) + ".wav", "a" + Repeat("\x82\xA0", 24)},  // 49 bytes
                    TitleCase{"€uro 😀.wav", "?uro ?"}));

// ---- Finish: build, output path, free space, save -------------------------------

TEST_F(ConversionStepsTest, SavesWhatTheBuilderMadeBesideTheSource) {
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
    EXPECT_EQ(steps.ReportText(Language::English), FormatSizeReport(saved.size(), Language::English));
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"SONG.WAV", "SONG.mld"}));
}

TEST_F(ConversionStepsTest, AnOutputPathReplacesTheDefault) {
    WriteFile(m_folder / "in.wav", MakeWave(2000));
    std::filesystem::create_directory(m_folder / "out");
    ConversionSteps steps(Path("in.wav"), Options(m_folder / "out" / "tune.bin", Plenty));
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    ASSERT_EQ(steps.Finish(FixedInfo()), StepFailure::None);
    EXPECT_EQ(m_folder.Entries("out"), std::vector<std::string>{"tune.bin"});
    EXPECT_FALSE(std::filesystem::exists(m_folder / "in.mld"));
}

TEST_F(ConversionStepsTest, FreeSpaceMustExceedTheFileSize) {
    const std::string wave = MakeWave(3000);
    WriteFile(m_folder / "a.wav", wave);
    const double size = static_cast<double>(BuildDirectly(wave, FixedInfo()).size());
    const std::pair<double, StepFailure> cases[] = {
        {size, StepFailure::DiskSpace}, {size - 1, StepFailure::DiskSpace}, {-1.0, StepFailure::DiskSpace}, {0.0, StepFailure::DiskSpace},
        {size + 1, StepFailure::None},
    };
    for (const auto& [freeBytes, expected] : cases) {
        std::filesystem::remove(m_folder / "a.mld");
        ConversionSteps steps(Path("a.wav"), Options({}, [=](const auto&) { return freeBytes; }));
        ASSERT_EQ(steps.Prepare(), StepFailure::None);
        EXPECT_EQ(steps.Finish(FixedInfo()), expected) << freeBytes;
        EXPECT_EQ(std::filesystem::exists(m_folder / "a.mld"), expected == StepFailure::None) << freeBytes;
    }
}

TEST_F(ConversionStepsTest, AnOutputThatCannotBeReplacedIsLeftAlone) {
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

TEST_F(ConversionStepsTest, AFolderWithoutWriteRightsGivesCannotSave) {
    std::filesystem::create_directory(m_folder / "shut");
    WriteFile(m_folder / "shut" / "a.wav", MakeWave(2000));
    std::filesystem::permissions(m_folder / "shut", std::filesystem::perms(0555));
    const int outcome = InChild([&] {
        ConversionSteps steps((m_folder / "shut" / "a.wav").string(), Options({}, Plenty));
        return steps.Prepare() == StepFailure::None ? MessageIdFor(steps.Finish(FixedInfo())) : 100;
    }, true);
    EXPECT_EQ(outcome, IDS_CANNOT_SAVE_MLD);
    EXPECT_EQ(m_folder.Entries("shut"), std::vector<std::string>{"a.wav"});
}

TEST_F(ConversionStepsTest, AWriteFailingPartWayKeepsTheOldMelodyFile) {
    WriteFile(m_folder / "long.wav", MakeWave(80000));  // about 40 KB of melody file
    WriteFile(m_folder / "long.mld", "previous melody");
    const int outcome = InChild([&] {
        ConversionSteps steps(Path("long.wav"), Options({}, Plenty));
        if (steps.Prepare() != StepFailure::None) return 100;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 101;
        return MessageIdFor(steps.Finish(FixedInfo()));
    });
    EXPECT_EQ(outcome, IDS_CANNOT_SAVE_MLD);
    EXPECT_EQ(ReadFile(m_folder / "long.mld"), "previous melody");
    EXPECT_EQ(m_folder.Entries(), (std::vector<std::string>{"long.mld", "long.wav"}));
}

TEST_F(ConversionStepsTest, FinishWithoutASuccessfulPrepareSavesNothing) {
    WriteFile(m_folder / "bad.wav", "RIFF");
    ConversionSteps steps(Path("bad.wav"), Options({}, Plenty));
    ASSERT_EQ(steps.Prepare(), StepFailure::InvalidWave);
    EXPECT_EQ(steps.Finish(FixedInfo()), StepFailure::CannotSave);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "bad.mld"));
}

// ---- Report -------------------------------------------------------------------

struct ReportCase {
    std::uint32_t size;
    Language language;
    const char* expected;
};

class SizeReport : public testing::TestWithParam<ReportCase> {};

TEST_P(SizeReport, KilobytesWithTwoDecimals) {
    EXPECT_EQ(FormatSizeReport(GetParam().size, GetParam().language), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeReport,
    testing::Values(ReportCase{185, Language::English, "Output File Size : 0.18KB"},
                    ReportCase{1024, Language::English, "Output File Size : 1.00KB"},
                    ReportCase{66054, Language::English, "Output File Size : 64.51KB"},
                    ReportCase{0, Language::English, "Output File Size : 0.00KB"},
                    ReportCase{1029, Language::English, "Output File Size : 1.00KB"},  // 1.0049 rounds down
                    ReportCase{1030, Language::English, "Output File Size : 1.01KB"},
                    ReportCase{1024, Language::Japanese, "出力ファイルサイズ : 1.00KB"}));
