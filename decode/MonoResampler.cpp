#include "decode/MonoResampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace quorbin::decode {
namespace {

constexpr long kBlockFrames = 4096;
// The resampler's filter reaches this far (its impulse response is well
// within 20 ms at every ratio the converter uses): a resampler started this
// long before a place gives there what one that never stopped gives.
constexpr double kResamplerLeadSeconds = 0.1;
// A fresh resampler's first sample lies on its first input frame. Started at
// a frame that is a whole number of periods in, its samples fall on the very
// times of one that ran from frame 0: at most a second.
constexpr double kLongestPeriodSeconds = 1.0;

// A place to seek to: the resampled sample and the frame it lies on.
struct SeekPlace {
    std::uint64_t sample;
    std::uint64_t frame;
};

// The latest place at least the resampler's lead before `sample` where the
// rates' periods meet.
SeekPlace PlaceBefore(std::uint64_t sample, int sourceRate, int targetRate)
{
    if (sourceRate == targetRate)
        return {sample, sample};
    const auto common = static_cast<std::uint64_t>(std::gcd(sourceRate, targetRate));
    const std::uint64_t samplesPerPeriod = static_cast<std::uint64_t>(targetRate) / common;
    const std::uint64_t framesPerPeriod = static_cast<std::uint64_t>(sourceRate) / common;
    const auto lead = static_cast<std::uint64_t>(std::ceil(kResamplerLeadSeconds * targetRate));
    const std::uint64_t periods = sample > lead ? (sample - lead) / samplesPerPeriod : 0;
    return {periods * samplesPerPeriod, periods * framesPerPeriod};
}

struct SoxrDeleter {
    void operator()(soxr* resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<soxr, SoxrDeleter>;

Resampler MakeResampler(int sourceRate, int targetRate)
{
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    Resampler resampler(soxr_create(sourceRate, targetRate, 1, &error, &io, &quality, nullptr));
    if (error)
        resampler.reset();
    return resampler;
}

class MonoStream final : public SampleStream {
public:
    MonoStream(FrameReader& reader, int targetRate, Resampler resampler)
        : m_reader(reader),
          m_rate(targetRate),
          m_resampler(std::move(resampler))
    {}

    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedLength() const override
    {
        const auto frames = m_reader.StatedFrames();
        if (!frames)
            return std::nullopt;
        return static_cast<std::uint64_t>(std::llround(*frames * (double(m_rate) / m_reader.Rate())));
    }
    bool Read(std::span<float> out, std::size_t& got) override;
    bool Skip(std::uint64_t count) override;

private:
    // Reads the next block of frames and averages each frame's channels into
    // m_mono; false on a read error. An empty m_mono marks the end.
    bool ReadMonoBlock();
    // Puts out what the resampler gives for the current m_mono (or its flush).
    bool ResampleInto(std::span<float> out, std::size_t& got);

    FrameReader& m_reader;
    int m_rate;
    Resampler m_resampler;  // null: the rates are equal
    std::vector<float> m_interleaved;
    std::vector<float> m_mono;
    std::size_t m_monoUsed = 0;
    bool m_inputEnded = false;
    bool m_drained = false;
    std::uint64_t m_produced = 0;  // samples handed out or passed over
};

bool MonoStream::ReadMonoBlock()
{
    const int channels = m_reader.Channels();
    m_interleaved.resize(static_cast<std::size_t>(kBlockFrames) * channels);
    const long frames = m_reader.Read(m_interleaved.data(), kBlockFrames);
    if (frames < 0)
        return false;
    m_mono.resize(static_cast<std::size_t>(frames));
    m_monoUsed = 0;
    MixToMono(m_interleaved.data(), m_mono.size(), channels, m_mono.data());
    m_inputEnded = m_mono.empty();
    return true;
}

bool MonoStream::ResampleInto(std::span<float> out, std::size_t& got)
{
    if (!m_resampler) {
        const std::size_t take = std::min(out.size() - got, m_mono.size() - m_monoUsed);
        std::copy_n(m_mono.data() + m_monoUsed, take, out.data() + got);
        m_monoUsed += take;
        got += take;
        return true;
    }
    std::size_t consumed = 0;
    std::size_t produced = 0;
    const float* input = m_inputEnded ? nullptr : m_mono.data() + m_monoUsed;
    if (soxr_process(m_resampler.get(), input, m_mono.size() - m_monoUsed, &consumed, out.data() + got,
                     out.size() - got, &produced))
        return false;
    m_monoUsed += consumed;
    got += produced;
    if (m_inputEnded && produced == 0)
        m_drained = true;
    if (!m_inputEnded && consumed == 0 && produced == 0)
        m_monoUsed = m_mono.size();  // no progress: do not spin
    return true;
}

bool MonoStream::Read(std::span<float> out, std::size_t& got)
{
    got = 0;
    while (got < out.size() && !m_drained) {
        if (!m_inputEnded && m_monoUsed == m_mono.size() && !ReadMonoBlock())
            return false;
        if (m_inputEnded && !m_resampler)
            m_drained = true;
        if (!ResampleInto(out, got))
            return false;
    }
    m_produced += got;
    return true;
}

// Seeks when that passes over anything, then decodes and drops the rest of the way.
bool MonoStream::Skip(std::uint64_t count)
{
    const std::uint64_t target = m_produced + count;
    const SeekPlace place = PlaceBefore(target, m_reader.Rate(), m_rate);
    if (m_reader.CanSeek() && place.sample > m_produced) {
        if (!m_reader.Seek(place.frame))
            return false;
        if (m_resampler) {
            m_resampler = MakeResampler(m_reader.Rate(), m_rate);
            if (!m_resampler)
                return false;
        }
        m_mono.clear();
        m_monoUsed = 0;
        m_inputEnded = false;
        m_drained = false;
        m_produced = place.sample;
    }
    return SampleStream::Skip(target - m_produced);
}

}  // namespace

void MixToMono(const float* interleaved, std::size_t frames, int channels, float* mono)
{
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float* first = interleaved + frame * channels;
        double sum = 0;
        for (int channel = 0; channel < channels; ++channel)
            if (std::isfinite(first[channel]))
                sum += first[channel];
        mono[frame] = static_cast<float>(sum / channels);
    }
}

void InitialiseResampler()
{
    MakeResampler(44100, 8000);
}

std::uint64_t EarliestSeekFrame(double seconds, int sourceRate)
{
    // Rounding the start to a sample adds far less than the margin of a tenth of a second.
    const double earliest = seconds - kResamplerLeadSeconds - kLongestPeriodSeconds - 0.1;
    return static_cast<std::uint64_t>(std::max(0.0, std::floor(earliest * sourceRate)));
}

std::unique_ptr<SampleStream> MakeMonoStream(FrameReader& reader, int targetRate)
{
    Resampler resampler;
    if (reader.Rate() != targetRate) {
        resampler = MakeResampler(reader.Rate(), targetRate);
        if (!resampler)
            return nullptr;
    }
    return std::make_unique<MonoStream>(reader, targetRate, std::move(resampler));
}

}  // namespace quorbin::decode
