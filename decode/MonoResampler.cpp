#include "decode/MonoResampler.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace quorbin::decode {
namespace {

constexpr long kBlockFrames = 4096;

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
    return true;
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
