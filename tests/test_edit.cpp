// The part of a recording that becomes the melody: trim, selection, cut,
// fades, --fit, the note on what was cut and --dry-run.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "ConversionTestSupport.h"
#include "audio/SampleEdit.h"
#include "audio/TimeText.h"
#include "audio/WaveWriter.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/ConvertOptions.h"
#include "conversion/ConversionSteps.h"
#include "mld/MldReader.h"

namespace {

using namespace quorbin;
using testing_support::ReadFile;
using testing_support::TempFolder;
namespace fs = std::filesystem;

class VectorStream final : public SampleStream {
public:
    explicit VectorStream(std::vector<float> samples, int rate = 8000) : m_samples(std::move(samples)), m_rate(rate) {}
    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedLength() const override { return m_samples.size(); }
    bool Read(std::span<float> out, std::size_t& got) override
    {
        got = std::min(out.size(), m_samples.size() - m_next);
        std::copy_n(m_samples.begin() + static_cast<std::ptrdiff_t>(m_next), got, out.begin());
        m_next += got;
        return true;
    }

private:
    std::vector<float> m_samples;
    std::size_t m_next = 0;
    int m_rate;
};

EditedRecording Edit(std::vector<float> samples, const EditOptions& options)
{
    VectorStream stream(std::move(samples));
    EditedRecording out;
    EXPECT_TRUE(EditRecording(stream, options, out));
    return out;
}

// `silence` samples of 0, `loud` of 0.5, `quiet` of `quietLevel`, `silence` of 0.
std::vector<float> Burst(std::size_t silence, std::size_t loud, std::size_t quiet, float quietLevel)
{
    std::vector<float> samples(silence, 0.0f);
    samples.insert(samples.end(), loud, 0.5f);
    samples.insert(samples.end(), quiet, quietLevel);
    samples.insert(samples.end(), silence, 0.0f);
    return samples;
}

// Distinct values, extremes included, so a sample out of place shows.
std::vector<std::int16_t> Pattern(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
    return samples;
}

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Convert(std::vector<std::string> args)
{
    ::setenv("LC_ALL", "C.UTF-8", 1);
    args.insert(args.begin(), {"convert", "--date", "20240101", "--title", "t"});
    std::ostringstream out, err;
    const int status = cli::RunCommandLine(args, {cli::ConvertSubcommand()}, {out, err});
    return {status, out.str(), err.str()};
}

fs::path WriteWave(const fs::path& path, const std::vector<std::int16_t>& samples, std::uint32_t rate = 8000)
{
    ByteBuffer wave;
    EXPECT_TRUE(WriteMonoWave(samples, rate, wave));
    testing_support::WriteFile(path, testing_support::FromBuffer(wave));
    return path;
}

MldContents ReadMelody(const fs::path& path)
{
    const std::string bytes = ReadFile(path);
    return ReadMld({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})
        .contents.value_or(MldContents{});
}

// ---------------------------------------------------------------------------
// The edit on samples

struct TrimCase {
    const char* name;
    double db;
    float quietLevel;
    std::size_t keptSamples;  // of Burst(100, 1000, 50, quietLevel)
};

class TrimSilence : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimSilence, DropsOnlyWhatStaysBelowTheLevel)
{
    const TrimCase& c = GetParam();
    EditOptions options;
    options.trimBelowDb = c.db;
    const EditedRecording out = Edit(Burst(100, 1000, 50, c.quietLevel), options);
    ASSERT_EQ(out.samples.size(), c.keptSamples);
    EXPECT_EQ(out.samples.front(), 16384);
    EXPECT_FALSE(out.Dropped());
    // Trimming comes before the selection: --start counts from the first loud sample.
    options.startSeconds = 10.0 / 8000;
    EXPECT_EQ(Edit(Burst(100, 1000, 50, c.quietLevel), options).samples.size(), c.keptSamples - 10);
}

INSTANTIATE_TEST_SUITE_P(Levels, TrimSilence,
                         ::testing::Values(TrimCase{"QuietTailBelow", 50, 0.001f, 1000},  // -60 dBFS
                                           TrimCase{"QuietTailAbove", 50, 0.01f, 1050},   // -40 dBFS
                                           TrimCase{"StricterLevel", 30, 0.01f, 1000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Edit, SilenceOnlyLeavesNothing)
{
    EditOptions options;
    options.trimBelowDb = 50;
    EXPECT_TRUE(Edit(std::vector<float>(4000, 0.0f), options).samples.empty());
}

// The ramps are linear over what is kept: the fade-out ends where the cut ends.
TEST(Edit, FadesRampOverWhatIsKept)
{
    EditOptions options;
    options.fadeInMs = 100;
    options.fadeOutMs = 100;
    options.limit = kMelodySampleLimit;
    const EditedRecording out = Edit(std::vector<float>(200000, 0.5f), options);
    ASSERT_EQ(out.samples.size(), kMelodySampleLimit);
    EXPECT_TRUE(out.Dropped());
    const std::size_t last = out.samples.size() - 1;
    for (const auto& [index, expected] : std::vector<std::pair<std::size_t, int>>{
             {0, 0}, {400, 8192}, {800, 16384}, {last, 0}, {last - 400, 8192}, {last - 800, 16384}})
        EXPECT_EQ(out.samples[index], expected) << index;
}

TEST(Edit, NormalizeWorksOnWhatIsKept)
{
    std::vector<float> samples(1000, 0.1f);
    samples.insert(samples.end(), 1000, 0.9f);
    EditOptions options;
    options.normalize = true;
    options.lengthSeconds = 1000.0 / 8000;
    EXPECT_EQ(Edit(samples, options).samples.front(), 29204);  // -1 dBFS
}

// ---------------------------------------------------------------------------
// Selection of a native WAVE file, through the command line

struct SelectionCase {
    const char* name;
    std::vector<std::string> options;
    std::size_t first, count;  // the samples of Pattern(kSource) that remain
};
constexpr std::size_t kSource = 200000;

class NativeSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(NativeSelection, EqualsAWaveHoldingTheSelectedSamples)
{
    const SelectionCase& c = GetParam();
    TempFolder whole, part;
    const std::vector<std::int16_t> samples = Pattern(kSource);
    std::vector<std::string> args = c.options;
    args.push_back(WriteWave(whole / "v.wav", samples).string());
    const CliRun run = Convert(args);
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<std::int16_t> selected(samples.begin() + c.first, samples.begin() + c.first + c.count);
    ASSERT_EQ(Convert({WriteWave(part / "v.wav", selected).string()}).status, 0);
    EXPECT_EQ(ReadFile(whole / "v.mld"), ReadFile(part / "v.mld"));
}

INSTANTIATE_TEST_SUITE_P(
    Times, NativeSelection,
    ::testing::Values(SelectionCase{"StartAndLength", {"--start", "1.5", "--length", "2"}, 12000, 16000},
                      SelectionCase{"MinutesAndEnd", {"--start", "0:01.2501", "--end", "0:03"}, 10001, 13999},
                      SelectionCase{"StartToTheEnd", {"--start", "20"}, 160000, 40000},
                      SelectionCase{"LengthBeyondTheRecording", {"--start", "24", "--length", "60"}, 192000, 8000}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// What fits, --fit and the note

struct FitCase {
    const char* name;
    std::vector<std::string> options;
    double seconds;  // of the 8000 Hz source
    int expectedRate;
    bool expectNote;
};

class WhatFits : public ::testing::TestWithParam<FitCase> {};

TEST_P(WhatFits, NoteExactlyWhenAudioIsDropped)
{
    const FitCase& c = GetParam();
    TempFolder folder;
    std::vector<std::string> args = c.options;
    args.push_back(WriteWave(folder / "v.wav", Pattern(static_cast<std::size_t>(c.seconds * 8000))).string());
    const CliRun run = Convert(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadMelody(folder / "v.mld").sampleRate, c.expectedRate);
    EXPECT_EQ(run.err.find("note: kept the first") != std::string::npos, c.expectNote) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Selections, WhatFits,
    ::testing::Values(FitCase{"ExactlyFull", {}, 131054 / 8000.0, 8000, false},
                      FitCase{"OneSampleOver", {}, 131055 / 8000.0, 8000, true},
                      FitCase{"SelectionFits", {"--start", "10", "--length", "15"}, 35.5, 8000, false},
                      FitCase{"SelectionTooLong", {"--start", "10", "--length", "20"}, 35.5, 8000, true},
                      FitCase{"DecodedTooLong", {"--resample"}, 35.5, 8000, true},
                      FitCase{"FitLowersTheRate", {"--fit"}, 20, 6552, false},
                      FitCase{"FitSelection", {"--fit", "--start", "5", "--length", "25"}, 35.5, 5242, false},
                      FitCase{"FitStopsAtTheLowestRate", {"--fit"}, 35.5, 4000, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --fit decodes the selection once and makes of it the very melody file a
// conversion at the rate it chose makes.
class FitOnce : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(FitOnce, GivesWhatItsRateGives)
{
    TempFolder folder;
    const std::string source = WriteWave(folder / "v.wav", Pattern(284000)).string();
    const auto convert = [&](std::vector<std::string> options) {
        std::vector<std::string> args = GetParam();
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"-o", (folder / "v.mld").string(), source});
        EXPECT_EQ(Convert(args).status, 0);
        return ReadFile(folder / "v.mld");
    };
    const std::string fitted = convert({"--fit"});
    const int rate = ReadMelody(folder / "v.mld").sampleRate;
    ASSERT_LT(rate, 8000);
    EXPECT_TRUE(convert({"--rate", std::to_string(rate)}) == fitted) << rate;
}

INSTANTIATE_TEST_SUITE_P(Selections, FitOnce,
                         ::testing::Values(std::vector<std::string>{"--start", "5", "--length", "25"},
                                           std::vector<std::string>{"--start", "0:00.5"},
                                           std::vector<std::string>{"--trim-silence=30", "--end", "30"}));

TEST(CutNote, NamesKeptAndWholeSeconds)
{
    TempFolder folder;
    const CliRun run = Convert({WriteWave(folder / "v.wav", Pattern(284000)).string()});
    EXPECT_NE(run.err.find("v.wav: note: kept the first 16.4 s of 35.5 s (a melody file holds 16.4 s at 8000 Hz); "
                           "use --start/--length, --fit or a lower --rate"),
              std::string::npos)
        << run.err;
    ConversionSteps steps((folder / "v.wav").string());
    ASSERT_EQ(steps.Prepare(), StepFailure::None);
    EXPECT_EQ(FormatCutNote(steps.Extent(), Language::English()), "Kept the first 16.4 s of 35.5 s.");
    EXPECT_EQ(FormatCutNote(steps.Extent(), Language::Japanese()), "先頭16.4秒を保存しました（全35.5秒）。");
}

TEST(DryRun, ReportsWhatARealRunWritesAndWritesNothing)
{
    TempFolder folder;
    const std::string file = WriteWave(folder / "v.wav", Pattern(40000)).string();
    const CliRun dry = Convert({"--dry-run", "--length", "2", file});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"v.wav"});
    ASSERT_EQ(Convert({"--length", "2", file}).status, 0);
    const auto size = fs::file_size(folder / "v.mld");
    EXPECT_EQ(dry.out, file + ": would write " + (folder / "v.mld").string() + ": 8000 Hz, 2.0 s of 2.0 s, "
                           + std::to_string(size) + " bytes ("
                           + FormatSizeReport(static_cast<std::uint32_t>(size), Language::English()) + ")\n");
}

TEST(SelectionOptions, RefuseWhatCannotBeASelection)
{
    TempFolder folder;
    const std::string file = WriteWave(folder / "v.wav", Pattern(40000)).string();
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"--start", "3", "--end", "2"}, cli::kExitUsage},
        {{"--length", "1", "--end", "2"}, cli::kExitUsage},
        {{"--start", "1:75"}, cli::kExitUsage},
        {{"--start", "-1"}, cli::kExitUsage},
        {{"--fade-out", "x"}, cli::kExitUsage},
        {{"--trim-silence=0"}, cli::kExitUsage},
        {{"--start", "1", "--length", "0.019"}, IDS_PLAYTIME_TOO_SHORT},
        {{"--start", "9"}, IDS_PLAYTIME_TOO_SHORT},
    };
    for (const auto& [options, status] : cases) {
        std::vector<std::string> args = options;
        args.push_back(file);
        EXPECT_EQ(Convert(args).status, status) << options[0] << ' ' << options.back();
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"v.wav"});
}

TEST(SelectionOptions, TimesInSecondsOrMinutes)
{
    for (const auto& [text, seconds] : std::vector<std::pair<const char*, double>>{
             {"12.5", 12.5}, {"0:42", 42}, {"1:02.250", 62.25}, {"1:00:01", 3601}})
        EXPECT_DOUBLE_EQ(ParseTime(text).value_or(-1), seconds) << text;
    for (const char* bad : {"", "1:", ":5", "1:60", "1e3", "abc", "1:2:3:4"})
        EXPECT_FALSE(ParseTime(bad)) << bad;
    // As the editor shows them: tenths, rounded; read back to the tenth.
    for (const auto& [seconds, text] : std::vector<std::pair<double, const char*>>{
             {0, "0:00.0"}, {16.38175, "0:16.4"}, {59.96, "1:00.0"}, {754.04, "12:34.0"}, {3723.46, "1:02:03.5"}}) {
        EXPECT_EQ(FormatTime(seconds), text) << seconds;
        EXPECT_NEAR(ParseTime(text).value_or(-1), seconds, 0.05) << text;
    }
}

}  // namespace
