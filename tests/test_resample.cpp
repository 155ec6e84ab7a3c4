// Recordings in other formats: mix-down, resampling, 16-bit conversion and
// normalising, and the converter run on the prepared samples.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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
#include "cli/ConvertOptions.h"
#include "decode/AudioPreparation.h"
#include "decode/MonoResampler.h"
#include "audio/AdpcmDecoder.h"
#include "mld/MldReader.h"
#include "platform/FileSource.h"

namespace {

using namespace quorbin;
using namespace quorbin::decode;
using testing_support::ReadFile;
using testing_support::TempFolder;
namespace fs = std::filesystem;

using Signal = std::function<double(sf_count_t frame, int channel)>;  // full scale 1.0

Signal Tone(double hertz, int rate, double left, double right = 0)
{
    return [=](sf_count_t frame, int channel) {
        return (channel == 0 ? left : right) * std::sin(2 * std::numbers::pi * hertz * frame / rate);
    };
}

// Written block by block, so an hour costs little memory.
void WriteRecording(const fs::path& path, int format, int rate, int channels, sf_count_t frames, const Signal& signal)
{
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> block;
    for (sf_count_t start = 0; start < frames; start += 65536) {
        const sf_count_t count = std::min<sf_count_t>(65536, frames - start);
        block.resize(static_cast<std::size_t>(count * channels));
        for (sf_count_t i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c)
                block[i * channels + c] = signal(start + i, c);
        ASSERT_EQ(sf_writef_double(file, block.data(), count), count);
    }
    sf_close(file);
}

// Frequency from the zero crossings of the middle half, away from the resampler's edges.
double ToneFrequency(const std::vector<std::int16_t>& samples, int rate)
{
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = samples.size() / 4 + 1; i < samples.size() * 3 / 4; ++i) {
        if ((samples[i - 1] < 0) == (samples[i] < 0))
            continue;
        if (crossings++ == 0)
            first = i;
        last = i;
    }
    return crossings < 3 ? 0 : (crossings - 1) / 2.0 * rate / static_cast<double>(last - first);
}

// RMS level of the middle half against full scale (32768), in dB.
double LevelDb(const std::vector<std::int16_t>& samples)
{
    double sum = 0;
    const std::size_t begin = samples.size() / 4, end = samples.size() * 3 / 4;
    for (std::size_t i = begin; i < end; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return 10 * std::log10(sum / static_cast<double>(end - begin)) - 20 * std::log10(32768.0);
}

int PeakOf(const std::vector<std::int16_t>& samples)
{
    int peak = 0;
    for (std::int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

const int kNormalizedPeak = static_cast<int>(std::lround(32767 * std::pow(10.0, -1.0 / 20.0)));  // 29204

PreparedRecording Prepare(const fs::path& path, std::optional<int> rate, bool normalize)
{
    PreparationOptions options;
    options.targetRate = rate;
    options.normalize = normalize;
    const Result<PreparedRecording> recording = PrepareRecording(path, options);
    EXPECT_TRUE(recording) << path;
    return recording ? *recording : PreparedRecording{};
}

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Convert(std::vector<std::string> args)
{
    ::setenv("LC_ALL", "C.UTF-8", 1);  // the English messages
    args.insert(args.begin(), {"convert", "--date", "20240101"});
    std::ostringstream out, err;
    const int status = cli::RunCommandLine(args, {cli::ConvertSubcommand()}, {out, err});
    return {status, out.str(), err.str()};
}

MldContents ReadMelody(const fs::path& path)
{
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

void PrintTo(const RecordingCase& c, std::ostream* out)
{
    *out << c.name;
}

class ConvertedRecordings : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(ConvertedRecordings, KeepToneAndLevelAtTheChosenRate)
{
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
    const PreparedRecording prepared = Prepare(source, c.expectedRate, normalize);
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
        RecordingCase{"StereoUnequal",
                      "two.wav",
                      SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                      32000,
                      2,
                      0.6,
                      0.2,
                      2,
                      {"--rate", "11025"},
                      11025},
        RecordingCase{"Flac24Bit",
                      "memo.flac",
                      SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
                      48000,
                      1,
                      0.5,
                      0,
                      3,
                      {"--rate", "16000"},
                      16000},
        RecordingCase{"EightBitNormalized",
                      "eight.wav",
                      SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
                      11025,
                      1,
                      0.1,
                      0,
                      3,
                      {"--resample", "--normalize"},
                      8000},
        RecordingCase{"AiffToLowestRate",
                      "memo.aiff",
                      SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                      22050,
                      1,
                      0.3,
                      0,
                      3,
                      {"--rate", "4000"},
                      4000},
        RecordingCase{
            "OggVorbis", "memo.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, 0.4, 0.4, 2, {"--resample"}, 8000},
        RecordingCase{
            "Upsampled", "low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3000, 1, 0.5, 0, 3, {"--rate", "16000"}, 16000},
        RecordingCase{"OneHourCut",
                      "hour.wav",
                      SF_FORMAT_WAV | SF_FORMAT_PCM_U8,
                      8000,
                      1,
                      0.5,
                      0,
                      3600,
                      {"--rate", "16000"},
                      16000},
        RecordingCase{"NormalizeKeepsAnAcceptedRate",
                      "keep.aiff",
                      SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                      12000,
                      1,
                      0.05,
                      0,
                      2,
                      {"--normalize"},
                      12000},
        RecordingCase{"NormalizeFallsBackToDefaultRate",
                      "high.flac",
                      SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                      22050,
                      1,
                      0.99,
                      0,
                      2,
                      {"--normalize"},
                      8000}),
    [](const auto& info) { return std::string(info.param.name); });

// A recording the converter takes as it is passes sample for sample, extremes
// included, and gives the very same melody file with or without --resample.
TEST(ConvertedRecordings, NativeFileIsUnchangedByPreparation)
{
    TempFolder folder;
    std::vector<std::int16_t> samples = {-32768, 32767, 0, 1, -1};
    for (int i = 0; i < 4000; ++i)
        samples.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
    ByteBuffer wave;
    ASSERT_TRUE(WriteMonoWave(samples, 8000, wave));
    const fs::path source = folder / "voice.wav";
    testing_support::WriteFile(source, testing_support::FromBuffer(wave));
    EXPECT_EQ(Prepare(source, std::nullopt, false).samples, samples);

    ASSERT_EQ(Convert({source.string()}).status, 0);
    const std::string plain = ReadFile(folder / "voice.mld");
    ASSERT_EQ(Convert({"--resample", source.string()}).status, 0);
    EXPECT_EQ(ReadFile(folder / "voice.mld"), plain);
}

// ---------------------------------------------------------------------------
// Phone recordings: AAC and AMR-NB, encoded here with FFmpeg's own encoders

// Writes `seconds` of a 1 kHz tone at `rate`, coded by `encoderName`, in the
// container that `path`'s extension names.
void EncodeTone(const fs::path& path, const char* encoderName, int rate, double seconds)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    ASSERT_NE(codec, nullptr) << encoderName;
    AVFormatContext* format = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&format, nullptr, nullptr, path.c_str()), 0);
    AVStream* stream = avformat_new_stream(format, nullptr);
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->sample_rate = rate;
    encoder->ch_layout = AV_CHANNEL_LAYOUT_MONO;
    encoder->sample_fmt = codec->sample_fmts[0];
    encoder->bit_rate = rate == 8000 ? 12200 : 64000;
    encoder->time_base = {1, rate};
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    ASSERT_GE(avcodec_open2(encoder, codec, nullptr), 0);
    ASSERT_GE(avcodec_parameters_from_context(stream->codecpar, encoder), 0);
    stream->time_base = encoder->time_base;
    ASSERT_GE(avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(format, nullptr), 0);

    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const auto drain = [&] {
        while (avcodec_receive_packet(encoder, packet) == 0) {
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(format, packet);
        }
    };
    const auto total = static_cast<std::int64_t>(rate * seconds);
    for (std::int64_t done = 0; done < total; done += encoder->frame_size) {
        frame->nb_samples = encoder->frame_size;
        frame->format = encoder->sample_fmt;
        frame->sample_rate = rate;
        av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
        ASSERT_GE(av_frame_get_buffer(frame, 0), 0);
        for (int i = 0; i < frame->nb_samples; ++i) {
            const double value = 0.5 * std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(done + i) / rate);
            if (encoder->sample_fmt == AV_SAMPLE_FMT_S16)
                reinterpret_cast<std::int16_t*>(frame->data[0])[i] = static_cast<std::int16_t>(value * 32767);
            else
                reinterpret_cast<float*>(frame->data[0])[i] = static_cast<float>(value);
        }
        frame->pts = done;
        ASSERT_GE(avcodec_send_frame(encoder, frame), 0);
        drain();
        av_frame_unref(frame);
    }
    avcodec_send_frame(encoder, nullptr);
    drain();
    av_write_trailer(format);
    avio_closep(&format->pb);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    avformat_free_context(format);
}

struct PhoneCase {
    const char* file;
    const char* encoder;
    int rate;
};

void PrintTo(const PhoneCase& c, std::ostream* out)
{
    *out << c.file;
}

class PhoneRecordings : public ::testing::TestWithParam<PhoneCase> {};

TEST_P(PhoneRecordings, KeepAToneAtItsPitch)
{
    const PhoneCase& c = GetParam();
    TempFolder folder;
    const fs::path source = folder / c.file;
    EncodeTone(source, c.encoder, c.rate, 3);
    const CliRun run = Convert({"--resample", source.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string bytes = ReadFile(folder / "memo.mld");
    const MldContents melody = ReadMelody(folder / "memo.mld");
    EXPECT_EQ(melody.sampleRate, 8000);
    EXPECT_NEAR(melody.AudioSeconds(), 3.0, 0.1);
    const auto* coded = reinterpret_cast<const std::uint8_t*>(bytes.data()) + melody.audioOffset;
    EXPECT_NEAR(ToneFrequency(adpcm_decode({coded, melody.audioLength}), 8000), 1000.0, 5.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, PhoneRecordings,
                         ::testing::Values(PhoneCase{"memo.m4a", "aac", 44100},
                                           PhoneCase{"memo.amr", "libopencore_amrnb", 8000},
                                           PhoneCase{"memo.3gp", "libopencore_amrnb", 8000}),
                         [](const auto& info) { return fs::path(info.param.file).extension().string().substr(1); });

// ---------------------------------------------------------------------------
// Seeking: a start far into a compressed recording

// Three minutes of a beeping tone over noise, made by FFmpeg's command-line
// program: a sample or more out of place shows as a loss of many decibels.
void EncodeWithFfmpeg(const fs::path& path, const std::string& codec)
{
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=f=440:beep_factor=4:d=180 "
                                "-f lavfi -i anoisesrc=a=0.05:d=180 -filter_complex amix=2 -ac 2 -c:a "
                                + codec + " '" + path.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::vector<float> ReadSeconds(SampleStream& stream, double seconds)
{
    std::vector<float> samples(static_cast<std::size_t>(seconds * stream.Rate()));
    std::size_t got = 0;
    EXPECT_TRUE(stream.Read(samples, got));
    samples.resize(got);
    return samples;
}

double SnrDb(const std::vector<float>& reference, const std::vector<float>& other)
{
    double signal = 0, noise = 0;
    for (std::size_t i = 0; i < std::min(reference.size(), other.size()); ++i) {
        signal += double(reference[i]) * reference[i];
        noise += (double(reference[i]) - other[i]) * (double(reference[i]) - other[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-30));
}

struct SeekCase {
    const char* file;
    const char* codec;
};

void PrintTo(const SeekCase& c, std::ostream* out)
{
    *out << c.file;
}

class SeekingRecordings : public ::testing::TestWithParam<SeekCase> {};

// The selection at 2:00, reached by a seek, is what decoding everything
// before it and dropping that gives.
TEST_P(SeekingRecordings, GiveWhatDecodingFromTheStartGives)
{
    TempFolder folder;
    const fs::path path = folder / GetParam().file;
    EncodeWithFfmpeg(path, GetParam().codec);
    const Result<FileDescriptor> fd = OpenRegularFile(path);
    ASSERT_TRUE(fd);
    const RecordingInput input{fd->Get(), RegularFileSize(fd->Get()), path.filename().string()};
    for (const int rate : {8000, 11025}) {
        OpenStatus status = OpenStatus::Ok;
        const std::unique_ptr<FrameReader> seeking = OpenFrameReader(input, status);
        const std::unique_ptr<FrameReader> decoding = OpenFrameReader(input, status);
        ASSERT_TRUE(seeking && decoding);
        ASSERT_TRUE(seeking->CanSeek());
        const std::unique_ptr<SampleStream> sought = MakeMonoStream(*seeking, rate);
        const std::unique_ptr<SampleStream> decoded = MakeMonoStream(*decoding, rate);
        ASSERT_TRUE(sought->Skip(120 * rate));
        ASSERT_TRUE(decoded->SampleStream::Skip(120 * rate));  // decodes and drops
        const std::vector<float> reference = ReadSeconds(*decoded, 15);
        const std::vector<float> selection = ReadSeconds(*sought, 15);
        ASSERT_EQ(selection.size(), reference.size());
        EXPECT_GE(SnrDb(reference, selection), 40.0) << rate << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekingRecordings,
                         ::testing::Values(SeekCase{"memo.m4a", "aac"}, SeekCase{"memo.mp3", "libmp3lame"},
                                           SeekCase{"memo.flac", "flac"}, SeekCase{"memo.aac", "aac"},
                                           SeekCase{"memo.ogg", "libvorbis"}, SeekCase{"memo.opus", "libopus"}),
                         [](const auto& info) { return fs::path(info.param.file).extension().string().substr(1); });

// ---------------------------------------------------------------------------
// Levels

TEST(Levels, BeyondFullScaleIsClippedUnlessNormalized)
{
    TempFolder folder;
    WriteRecording(folder / "loud.wav", kFloatWave, 8000, 1, 800, Tone(1000, 8000, 1.5));
    const PreparedRecording clipped = Prepare(folder / "loud.wav", 8000, false);
    EXPECT_EQ(*std::max_element(clipped.samples.begin(), clipped.samples.end()), 32767);
    EXPECT_EQ(*std::min_element(clipped.samples.begin(), clipped.samples.end()), -32768);
    EXPECT_NEAR(PeakOf(Prepare(folder / "loud.wav", 8000, true).samples), kNormalizedPeak, 1);
}

TEST(Levels, SilenceAndNonFiniteSamplesStaySilent)
{
    TempFolder folder;
    WriteRecording(folder / "silence.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 44100,
                   [](sf_count_t, int) { return 0.0; });
    WriteRecording(folder / "nan.wav", kFloatWave, 8000, 1, 400,
                   [](sf_count_t frame, int) { return frame % 2 ? std::nan("") : HUGE_VAL; });
    for (const char* name : {"silence.wav", "nan.wav"}) {
        const PreparedRecording prepared = Prepare(folder / name, 8000, true);
        EXPECT_FALSE(prepared.samples.empty()) << name;
        EXPECT_EQ(PeakOf(prepared.samples), 0) << name;
    }
}

// Only the part that reaches the file counts: a loud burst after the cut is
// never decoded, so it does not lower the gain.
TEST(Levels, NormalizingIgnoresWhatLiesAfterTheCut)
{
    TempFolder folder;
    const sf_count_t cut = 131054;
    WriteRecording(folder / "burst.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, cut + 8000,
                   [&](sf_count_t frame, int) {
                       return (frame < cut ? 0.05 : 0.95) * std::sin(2 * std::numbers::pi * 500 * frame / 8000);
                   });
    const PreparedRecording prepared = Prepare(folder / "burst.wav", 8000, true);
    EXPECT_EQ(prepared.samples.size(), kMaxPreparedSamples);
    EXPECT_NEAR(PeakOf(prepared.samples), kNormalizedPeak, 1);
}

// ---------------------------------------------------------------------------
// Failures

TEST(PreparationFailures, TellMissingFromUndecodable)
{
    TempFolder folder;
    testing_support::WriteFile(folder / "notes.flac", "plain text, no sound");
    testing_support::WriteFile(folder / "empty.ogg", "");
    testing_support::WriteFile(folder / "header.wav", testing_support::MakeWave(100).substr(0, 20));
    fs::create_directory(folder / "folder.wav");
    ASSERT_EQ(::mkfifo((folder / "fifo.wav").c_str(), 0600), 0);  // opening it plainly would wait for a writer
    const std::pair<const char*, ReasonKind> cases[] = {
        {"missing.flac", ReasonKind::SystemError}, {"folder.wav", ReasonKind::SystemError},
        {"fifo.wav", ReasonKind::NotRegularFile},  {"/dev/zero", ReasonKind::NotRegularFile},
        {"notes.flac", ReasonKind::Undecodable},   {"empty.ogg", ReasonKind::Undecodable},
        {"header.wav", ReasonKind::Undecodable},
    };
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(PrepareRecording(folder / name, {}).Reason().kind, kind) << name;
}

struct FailureCase {
    const char* name;
    std::vector<std::string> options;
    const char* file;
    int expectedStatus;
    const char* expectedText;
};

void PrintTo(const FailureCase& c, std::ostream* out)
{
    *out << c.name;
}

class ConvertFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConvertFailures, ExitWithTheMessageNumberAndWriteNothing)
{
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
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        EXPECT_NE(entry.path().extension(), ".mld");
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ConvertFailures,
    ::testing::Values(
        FailureCase{"Undecodable", {"--resample"}, "notes.flac", IDS_INVALID_WAVE, "Invalid WAVE file"},
        FailureCase{"Missing", {"--normalize"}, "missing.ogg", IDS_CANNOT_OPEN_WAVE, "Cannot open WAVE file"},
        FailureCase{"TooShortOncePrepared",
                    {"--resample"},
                    "blip.wav",
                    IDS_PLAYTIME_TOO_SHORT,
                    "Inadequate WAVE file playtime"},
        FailureCase{"RateBelowRange", {"--rate", "3999"}, "tone.flac", cli::kExitUsage, "--rate"},
        FailureCase{"RateAboveRange", {"--rate", "16001"}, "tone.flac", cli::kExitUsage, "--rate"},
        FailureCase{"StrictExtensionWithoutOptions", {}, "tone.flac", IDS_NOT_WAV_EXTENSION, "Extension is not"},
        FailureCase{"StrictFormatWithoutOptions", {}, "stereo.wav", IDS_UNSUPPORTED_FORMAT, "not supported"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PreparationOptionsFromCommandLine, RateMustBeAWholeNumberInRange)
{
    std::string problem;
    EXPECT_FALSE(cli::PreparationFromOptions(false, std::nullopt, false, problem));
    EXPECT_EQ(cli::PreparationFromOptions(true, std::nullopt, false, problem)->targetRate, 8000);
    EXPECT_EQ(cli::PreparationFromOptions(false, std::nullopt, true, problem)->targetRate, std::nullopt);
    for (const char* rate : {"4000", "16000", "11025"})
        EXPECT_EQ(cli::PreparationFromOptions(true, rate, false, problem)->targetRate, std::stoi(rate));
    ASSERT_TRUE(problem.empty()) << problem;
    for (const char* rate : {"3999", "16001", "8000Hz", "-8000", "", " 8000"}) {
        problem.clear();
        EXPECT_FALSE(cli::PreparationFromOptions(false, rate, true, problem)) << rate;
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

TEST_P(DecodedSourceNames, DropWhateverExtensionTheSourceHas)
{
    TempFolder folder;
    ConversionSteps steps((folder / GetParam().source).string());
    ASSERT_EQ(steps.PrepareDecoded([](const std::string&, DecodedSamples& decoded, FailureReason&) {
        decoded = {std::vector<std::int16_t>(800, 100), 8000, 800};
        return StepFailure::None;
    }),
              StepFailure::None);
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
                                           NamingCase{"take.two.ogg", "take.two.mld"}, NamingCase{"memo", "memo.mld"},
                                           NamingCase{".hidden", ".hidden.mld"}));

TEST(DecodedSources, KeepTheChecksAroundTheDecoding)
{
    TempFolder folder;
    int calls = 0;
    const auto decodeTo = [&calls](std::size_t samples, std::int32_t rate) {
        return [&calls, samples, rate](const std::string&, DecodedSamples& decoded, FailureReason&) {
            ++calls;
            decoded = {std::vector<std::int16_t>(samples), rate, samples};
            return StepFailure::None;
        };
    };
    const std::string longName = (folder / (std::string(250, 'x') + ".flac")).string();
    EXPECT_EQ(ConversionSteps(longName).PrepareDecoded(decodeTo(800, 8000)), StepFailure::PathTooLong);
    EXPECT_EQ(calls, 0) << "the path is checked before anything is decoded";

    const std::string path = (folder / "memo.flac").string();
    const auto cannotOpen = [](const std::string&, DecodedSamples&, FailureReason&) { return StepFailure::CannotOpen; };
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(cannotOpen), StepFailure::CannotOpen);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(168, 8000)), StepFailure::None);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(167, 8000)), StepFailure::TooShort);
    EXPECT_EQ(ConversionSteps(path).PrepareDecoded(decodeTo(800, 22050)), StepFailure::Unsupported);
}

}  // namespace
