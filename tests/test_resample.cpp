// Recordings in other formats: mix-down, resampling, 16-bit conversion and
// normalising, and the converter run on the prepared samples.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ConversionTestSupport.h"
#include "conversion/ConversionSteps.h"
#include "audio/WaveWriter.h"
#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/prepare/AudioPreparation.h"
#include "mld/MldReader.h"

namespace {

using namespace quorbin;
using namespace quorbin::prepare;
using testing_support::ReadFile;
using testing_support::TempFolder;
namespace fs = std::filesystem;

using Signal = std::function<double(sf_count_t frame, int channel)>;  // full scale 1.0

Signal Tone(double hertz, int rate, double left, double right = 0) {
    return [=](sf_count_t frame, int channel) {
        return (channel == 0 ? left : right) * std::sin(2 * std::numbers::pi * hertz * frame / rate);
    };
}

// Written block by block, so an hour costs little memory.
void WriteRecording(const fs::path& path, int format, int rate, int channels, sf_count_t frames,
                    const Signal& signal) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> block;
    for (sf_count_t start = 0; start < frames; start += 65536) {
        const sf_count_t count = std::min<sf_count_t>(65536, frames - start);
        block.resize(static_cast<std::size_t>(count * channels));
        for (sf_count_t i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c) block[i * channels + c] = signal(start + i, c);
        ASSERT_EQ(sf_writef_double(file, block.data(), count), count);
    }
    sf_close(file);
}

// Frequency from the zero crossings of the middle half, away from the resampler's edges.
double ToneFrequency(const std::vector<std::int16_t>& samples, int rate) {
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = samples.size() / 4 + 1; i < samples.size() * 3 / 4; ++i) {
        if ((samples[i - 1] < 0) == (samples[i] < 0)) continue;
        if (crossings++ == 0) first = i;
        last = i;
    }
    return crossings < 3 ? 0 : (crossings - 1) / 2.0 * rate / static_cast<double>(last - first);
}

// RMS level of the middle half against full scale (32768), in dB.
double LevelDb(const std::vector<std::int16_t>& samples) {
    double sum = 0;
    const std::size_t begin = samples.size() / 4, end = samples.size() * 3 / 4;
    for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return 10 * std::log10(sum / static_cast<double>(end - begin)) - 20 * std::log10(32768.0);
}

int PeakOf(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

const int kNormalizedPeak = static_cast<int>(std::lround(32767 * std::pow(10.0, -1.0 / 20.0)));  // 29204

PreparedRecording Prepare(const fs::path& path, PreparationOptions options) {
    PreparedRecording recording;
    EXPECT_EQ(PrepareRecording(path, options, recording), PreparationStatus::Ok) << path;
    return recording;
}

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Convert(std::vector<std::string> args) {
    ::setenv("LC_ALL", "C.UTF-8", 1);  // the English messages
    args.insert(args.begin(), {"convert", "--date", "20240101"});
    std::ostringstream out, err;
    const int status = cli::RunCommandLine(args, {cli::ConvertSubcommand()}, {out, err});
    return {status, out.str(), err.str()};
}

MldContents ReadMelody(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    const MldReadResult result = ReadMld({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    EXPECT_TRUE(result.contents) << result.error.message << " at " << result.error.offset;
    return result.contents.value_or(MldContents{});
}

// ---------------------------------------------------------------------------
// Recordings converted with the preparation options

struct RecordingCase {
    const char* name;
    const char* file;
    int format, rate, channels;
    double left, right;  // tone amplitude per channel
    double seconds;
    std::vector<std::string> options;
    int expectedRate;
};

void PrintTo(const RecordingCase& c, std::ostream* out) { *out << c.name; }

class ConvertedRecordings : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(ConvertedRecordings, KeepToneAndLevelAtTheChosenRate) {
    const RecordingCase& c = GetParam();
    TempFolder folder;
    const fs::path source = folder / c.file;
    const auto frames = static_cast<sf_count_t>(c.rate * c.seconds);
    WriteRecording(source, c.format, c.rate, c.channels, frames, Tone(1000, c.rate, c.left, c.right));

    std::vector<std::string> args = c.options;
    args.push_back(source.string());
    const CliRun run = Convert(args);
    ASSERT_EQ(run.status, 0) << run.err;
    fs::path output = source;
    const MldContents melody = ReadMelody(output.replace_extension(".mld"));
    EXPECT_EQ(melody.sampleRate, c.expectedRate);
    EXPECT_EQ(melody.title, source.stem().string());

    const bool normalize = std::find(args.begin(), args.end(), "--normalize") != args.end();
    const PreparedRecording prepared = Prepare(source, {c.expectedRate, normalize});
    const double expectedSamples = std::min(frames * static_cast<double>(c.expectedRate) / c.rate, 131054.0);
    EXPECT_NEAR(static_cast<double>(prepared.samples.size()), expectedSamples, 1.0);
    EXPECT_EQ(melody.audioLength, std::min<std::size_t>(65527, (prepared.samples.size() + 1) / 2));
    EXPECT_NEAR(ToneFrequency(prepared.samples, c.expectedRate), 1000.0, 5.0);

    // The channels are averaged: a tone in one channel of two comes out at half its amplitude.
    const double peak = normalize ? kNormalizedPeak / 32768.0 : (c.left + c.right) / c.channels;
    EXPECT_NEAR(LevelDb(prepared.samples), 20 * std::log10(peak / std::sqrt(2.0)), 0.5);
}

constexpr int kFloatWave = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertedRecordings,
    ::testing::Values(
        RecordingCase{"StereoFloatWave", "memo.wav", kFloatWave, 44100, 2, 0.5, 0.5, 3, {"--resample"}, 8000},
        RecordingCase{"StereoLeftOnly", "left.wav", kFloatWave, 44100, 2, 0.5, 0, 3, {"--resample"}, 8000},
        RecordingCase{"StereoUnequal", "two.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 32000, 2, 0.6, 0.2, 2,
                      {"--rate", "11025"}, 11025},
        RecordingCase{"Flac24Bit", "memo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 48000, 1, 0.5, 0, 3,
                      {"--rate", "16000"}, 16000},
        RecordingCase{"EightBitNormalized", "eight.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 11025, 1, 0.1, 0, 3,
                      {"--resample", "--normalize"}, 8000},
        RecordingCase{"AiffToLowestRate", "memo.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 1, 0.3, 0, 3,
                      {"--rate", "4000"}, 4000},
        RecordingCase{"OggVorbis", "memo.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.4, 0.4, 2,
                      {"--resample"}, 8000},
        RecordingCase{"Upsampled", "low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3000, 1, 0.5, 0, 3,
                      {"--rate", "16000"}, 16000},
        RecordingCase{"OneHourCut", "hour.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, 0.5, 0, 3600,
                      {"--rate", "16000"}, 16000},
        RecordingCase{"NormalizeKeepsAnAcceptedRate", "keep.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 12000, 1,
                      0.05, 0, 2, {"--normalize"}, 12000},
        RecordingCase{"NormalizeFallsBackToDefaultRate", "high.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 22050, 1,
                      0.99, 0, 2, {"--normalize"}, 8000}),
    [](const auto& info) { return std::string(info.param.name); });

// A recording the converter takes as it is passes sample for sample, extremes
// included, and gives the very same melody file with or without --resample.
TEST(ConvertedRecordings, NativeFileIsUnchangedByPreparation) {
    TempFolder folder;
    std::vector<std::int16_t> samples = {-32768, 32767, 0, 1, -1};
    for (int i = 0; i < 4000; ++i) samples.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
    ByteBuffer wave;
    ASSERT_TRUE(WriteMonoWave(samples, 8000, wave));
    const fs::path source = folder / "voice.wav";
    testing_support::WriteFile(source, testing_support::FromBuffer(wave));
    EXPECT_EQ(Prepare(source, {std::nullopt, false}).samples, samples);

    ASSERT_EQ(Convert({source.string()}).status, 0);
    const std::string plain = ReadFile(folder / "voice.mld");
    ASSERT_EQ(Convert({"--resample", source.string()}).status, 0);
    EXPECT_EQ(ReadFile(folder / "voice.mld"), plain);
}

// ---------------------------------------------------------------------------
// Levels

TEST(Levels, BeyondFullScaleIsClippedUnlessNormalized) {
    TempFolder folder;
    WriteRecording(folder / "loud.wav", kFloatWave, 8000, 1, 800, Tone(1000, 8000, 1.5));
    const PreparedRecording clipped = Prepare(folder / "loud.wav", {8000, false});
    EXPECT_EQ(*std::max_element(clipped.samples.begin(), clipped.samples.end()), 32767);
    EXPECT_EQ(*std::min_element(clipped.samples.begin(), clipped.samples.end()), -32768);
    EXPECT_NEAR(PeakOf(Prepare(folder / "loud.wav", {8000, true}).samples), kNormalizedPeak, 1);
}

TEST(Levels, SilenceAndNonFiniteSamplesStaySilent) {
    TempFolder folder;
    WriteRecording(folder / "silence.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44100,
                   [](sf_count_t, int) { return 0.0; });
    WriteRecording(folder / "nan.wav", kFloatWave, 8000, 1, 400,
                   [](sf_count_t frame, int) { return frame % 2 ? std::nan("") : HUGE_VAL; });
    for (const char* name : {"silence.wav", "nan.wav"}) {
        const PreparedRecording prepared = Prepare(folder / name, {8000, true});
        EXPECT_FALSE(prepared.samples.empty()) << name;
        EXPECT_EQ(PeakOf(prepared.samples), 0) << name;
    }
}

// Only the part that reaches the file counts: a loud burst after the cut is
// never decoded, so it does not lower the gain.
TEST(Levels, NormalizingIgnoresWhatLiesAfterTheCut) {
    TempFolder folder;
    const sf_count_t cut = 131054;
    WriteRecording(folder / "burst.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, cut + 8000,
                   [&](sf_count_t frame, int) {
                       return (frame < cut ? 0.05 : 0.95) * std::sin(2 * std::numbers::pi * 500 * frame / 8000);
                   });
    const PreparedRecording prepared = Prepare(folder / "burst.wav", {8000, true});
    EXPECT_EQ(prepared.samples.size(), kMaxPreparedSamples);
    EXPECT_NEAR(PeakOf(prepared.samples), kNormalizedPeak, 1);
}

// ---------------------------------------------------------------------------
// Failures

TEST(PreparationFailures, TellMissingFromUndecodable) {
    TempFolder folder;
    testing_support::WriteFile(folder / "notes.flac", "plain text, no sound");
    testing_support::WriteFile(folder / "empty.ogg", "");
    testing_support::WriteFile(folder / "header.wav", testing_support::MakeWave(100).substr(0, 20));
    fs::create_directory(folder / "folder.wav");
    const std::pair<const char*, PreparationStatus> cases[] = {
        {"missing.flac", PreparationStatus::CannotOpen}, {"folder.wav", PreparationStatus::CannotOpen},
        {"notes.flac", PreparationStatus::Unreadable},   {"empty.ogg", PreparationStatus::Unreadable},
        {"header.wav", PreparationStatus::Unreadable},
    };
    for (const auto& [name, status] : cases) {
        PreparedRecording out;
        EXPECT_EQ(PrepareRecording(folder / name, {}, out), status) << name;
    }
}

struct FailureCase {
    const char* name;
    std::vector<std::string> options;
    const char* file;
    int expectedStatus;
    const char* expectedText;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class ConvertFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConvertFailures, ExitWithTheMessageNumberAndWriteNothing) {
    const FailureCase& c = GetParam();
    TempFolder folder;
    testing_support::WriteFile(folder / "notes.flac", "plain text, no sound");
    WriteRecording(folder / "tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, 44100, Tone(1000, 44100, 0.5));
    WriteRecording(folder / "blip.wav", kFloatWave, 44100, 1, 441, Tone(1000, 44100, 0.5));  // 10 ms
    WriteRecording(folder / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, 8000, Tone(1000, 8000, 0.5));

    std::vector<std::string> args = c.options;
    args.push_back((folder / c.file).string());
    const CliRun run = Convert(args);
    EXPECT_EQ(run.status, c.expectedStatus) << run.err;
    EXPECT_NE(run.err.find(c.expectedText), std::string::npos) << run.err;
    for (const auto& entry : fs::directory_iterator(folder.Path())) EXPECT_NE(entry.path().extension(), ".mld");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ConvertFailures,
    ::testing::Values(
        FailureCase{"Undecodable", {"--resample"}, "notes.flac", IDS_INVALID_WAVE, "Invalid WAVE file"},
        FailureCase{"Missing", {"--normalize"}, "missing.ogg", IDS_CANNOT_OPEN_WAVE, "Cannot open WAVE file"},
        FailureCase{"TooShortOncePrepared", {"--resample"}, "blip.wav", IDS_PLAYTIME_TOO_SHORT,
                    "Inadequate WAVE file playtime"},
        FailureCase{"RateBelowRange", {"--rate", "3999"}, "tone.flac", cli::kExitUsage, "--rate"},
        FailureCase{"RateAboveRange", {"--rate", "16001"}, "tone.flac", cli::kExitUsage, "--rate"},
        FailureCase{"StrictExtensionWithoutOptions", {}, "tone.flac", IDS_NOT_WAV_EXTENSION, "Extension is not"},
        FailureCase{"StrictFormatWithoutOptions", {}, "stereo.wav", IDS_UNSUPPORTED_FORMAT, "not supported"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PreparationOptionsFromCommandLine, RateMustBeAWholeNumberInRange) {
    std::string problem;
    EXPECT_FALSE(PreparationFromOptions(false, std::nullopt, false, problem));
    EXPECT_EQ(PreparationFromOptions(true, std::nullopt, false, problem)->targetRate, 8000);
    EXPECT_EQ(PreparationFromOptions(false, std::nullopt, true, problem)->targetRate, std::nullopt);
    for (const char* rate : {"4000", "16000", "11025"})
        EXPECT_EQ(PreparationFromOptions(true, rate, false, problem)->targetRate, std::stoi(rate));
    ASSERT_TRUE(problem.empty()) << problem;
    for (const char* rate : {"3999", "16001", "8000Hz", "-8000", "", " 8000"}) {
        problem.clear();
        EXPECT_FALSE(PreparationFromOptions(false, rate, true, problem)) << rate;
        EXPECT_NE(problem.find("--rate"), std::string::npos) << rate;
    }
}

// ---------------------------------------------------------------------------
// The conversion steps on decoded bytes

struct NamingCase {
    const char* source;
    const char* output;
};

class DecodedSourceNames : public ::testing::TestWithParam<NamingCase> {};

TEST_P(DecodedSourceNames, DropWhateverExtensionTheSourceHas) {
    TempFolder folder;
    ConversionSteps steps((folder / GetParam().source).string());
    ASSERT_EQ(steps.PrepareDecoded([](const std::string&, ByteBuffer& wave) {
        return WriteMonoWave(std::vector<std::int16_t>(800, 100), 8000, wave) ? StepFailure::None : StepFailure::InvalidWave;
    }), StepFailure::None);
    const fs::path output = folder / GetParam().output;
    EXPECT_EQ(steps.DefaultTitle(), output.stem().string());
    ContentInfo info;
    info.title = steps.DefaultTitle();
    ASSERT_EQ(steps.Finish(info), StepFailure::None);
    EXPECT_EQ(steps.OutputPath(), output);
    EXPECT_TRUE(fs::exists(output));
}

INSTANTIATE_TEST_SUITE_P(Names, DecodedSourceNames,
                         ::testing::Values(NamingCase{"memo.flac", "memo.mld"}, NamingCase{"memo.WAV", "memo.mld"},
                                           NamingCase{"take.two.ogg", "take.two.mld"},
                                           NamingCase{"memo", "memo.mld"}, NamingCase{".hidden", ".hidden.mld"}));

TEST(DecodedSources, KeepTheChecksAroundTheDecoding) {
    TempFolder folder;
    int calls = 0;
    const auto decodeTo = [&calls](std::size_t samples, std::uint32_t rate) {
        return [&calls, samples, rate](const std::string&, ByteBuffer& wave) {
            ++calls;
            return WriteMonoWave(std::vector<std::int16_t>(samples), rate, wave) ? StepFailure::None : StepFailure::InvalidWave;
        };
    };
    const std::string longName = (folder / (std::string(250, 'x') + ".flac")).string();
    EXPECT_EQ(ConversionSteps(longName).PrepareDecoded(decodeTo(800, 8000)), StepFailure::PathTooLong);
    EXPECT_EQ(calls, 0) << "the path is checked before anything is decoded";

    const std::string path = (folder / "memo.flac").string();
    const auto cannotOpen = [](const std::string&, ByteBuffer&) { return StepFailure::CannotOpen; };
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(cannotOpen), StepFailure::CannotOpen);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(168, 8000)), StepFailure::None);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(167, 8000)), StepFailure::TooShort);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(800, 22050)), StepFailure::Unsupported);
}

} // namespace
