#include "cli/prepare/AudioPreparation.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>

#include "audio/WaveWriter.h"
#include "cli/prepare/MonoResampler.h"
#include "res/StringTable.h"
#include "platform/FileDescriptor.h"

namespace quorbin::prepare {
namespace {

constexpr double kFullScale = 32768.0;
// -1 dBFS of the largest positive 16-bit sample, as a full-scale float.
const double kNormalizedPeak = 32767.0 * std::pow(10.0, -1.0 / 20.0) / kFullScale;

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

bool IsOpenRegularFile(const FileDescriptor& fd) {
    struct stat status {};
    return fd.Get() >= 0 && ::fstat(fd.Get(), &status) == 0 && S_ISREG(status.st_mode);
}

int ChooseRate(const PreparationOptions& options, int sourceRate) {
    if (options.targetRate) return *options.targetRate;
    const bool accepted = sourceRate >= kLowestRate && sourceRate <= kHighestRate;
    return accepted ? sourceRate : kDefaultRate;
}

std::int16_t RoundAndClip(double value) {
    if (!(value > -kFullScale)) return -32768;  // also NaN: cannot come from ReadMonoResampled
    if (value >= 32767.0) return 32767;
    return static_cast<std::int16_t>(std::lround(value));
}

} // namespace

std::vector<std::int16_t> ToPcm16(std::span<const float> samples, bool normalize) {
    double gain = kFullScale;
    if (normalize) {
        float peak = 0;
        for (float sample : samples) peak = std::max(peak, std::fabs(sample));
        if (peak > 0) gain = kNormalizedPeak / peak * kFullScale;
    }
    std::vector<std::int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(),
                   [gain](float sample) { return RoundAndClip(sample * gain); });
    return pcm;
}

PreparationStatus PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options,
                                   PreparedRecording& out) {
    const FileDescriptor fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!IsOpenRegularFile(fd)) return PreparationStatus::CannotOpen;

    SF_INFO info{};
    const std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(fd.Get(), SFM_READ, &info, SF_FALSE));
    if (!file || info.channels <= 0 || info.samplerate <= 0) return PreparationStatus::Unreadable;

    const int targetRate = ChooseRate(options, info.samplerate);
    const MonoStream mono =
        ReadMonoResampled(file.get(), info.channels, info.samplerate, targetRate, kMaxPreparedSamples);
    if (mono.readError) return PreparationStatus::Unreadable;

    out.samples = ToPcm16(mono.samples, options.normalize);
    out.sampleRate = targetRate;
    out.sourceRate = info.samplerate;
    out.sourceChannels = info.channels;
    return PreparationStatus::Ok;
}

StepFailure PrepareWaveBytes(const std::filesystem::path& source, const PreparationOptions& options,
                             ByteBuffer& wave) {
    PreparedRecording recording;
    switch (PrepareRecording(source, options, recording)) {
    case PreparationStatus::Ok: break;
    case PreparationStatus::CannotOpen: return StepFailure::CannotOpen;
    case PreparationStatus::Unreadable: return StepFailure::InvalidWave;
    }
    wave.Clear();
    const auto rate = static_cast<std::uint32_t>(recording.sampleRate);
    return WriteMonoWave(recording.samples, rate, wave) ? StepFailure::None : StepFailure::InvalidWave;
}

bool DecoderReadsExtension(std::string_view extension) {
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Common spellings that libsndfile lists under another extension; raw
    // samples need a format given by hand, which the preparation does not do.
    for (const char* alias : {"aif", "aifc", "ogg", "opus", "mp3"}) {
        if (lower == alias) return true;
    }
    if (lower == "raw") return false;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension
            && lower == info.extension) {
            return true;
        }
    }
    return false;
}

std::optional<PreparationOptions> PreparationFromOptions(bool resample, const std::optional<std::string>& rate,
                                                         bool normalize, std::string& problem) {
    if (!resample && !rate && !normalize) return std::nullopt;
    PreparationOptions options;
    options.normalize = normalize;
    if (resample) options.targetRate = kDefaultRate;
    if (rate) {
        int hertz = 0;
        const char* end = rate->data() + rate->size();
        const auto [stop, error] = std::from_chars(rate->data(), end, hertz);
        if (error != std::errc() || stop != end || hertz < kLowestRate || hertz > kHighestRate) {
            problem = (LanguageFromEnvironment() == Language::Japanese
                           ? "--rate には 4000 ～ 16000 の整数 (Hz) が必要です: \""
                           : "--rate must be a whole number of hertz from 4000 to 16000, not \"")
                      + *rate + "\"";
            return std::nullopt;
        }
        options.targetRate = hertz;
    }
    return options;
}

} // namespace quorbin::prepare
