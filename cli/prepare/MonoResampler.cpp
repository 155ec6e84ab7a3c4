#include "cli/prepare/MonoResampler.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace quorbin::prepare {
namespace {

constexpr sf_count_t kBlockFrames = 4096;
// Output is taken in pieces of this size, however high the rate ratio.
constexpr std::size_t kOutputBlock = 16384;

struct SoxrDeleter {
    void operator()(soxr* resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<soxr, SoxrDeleter>;

// Reads the next block of frames and averages each frame's channels.
// Returns the number of mono samples in `mono` (0 at the end of the input).
std::size_t ReadMonoBlock(SNDFILE* file, int channels, std::vector<float>& interleaved, std::vector<float>& mono) {
    interleaved.resize(static_cast<std::size_t>(kBlockFrames) * channels);
    const sf_count_t frames = sf_readf_float(file, interleaved.data(), kBlockFrames);
    mono.resize(frames > 0 ? static_cast<std::size_t>(frames) : 0);
    for (std::size_t frame = 0; frame < mono.size(); ++frame) {
        const float* first = interleaved.data() + frame * channels;
        double sum = 0;
        for (int channel = 0; channel < channels; ++channel) {
            if (std::isfinite(first[channel])) sum += first[channel];
        }
        mono[frame] = static_cast<float>(sum / channels);
    }
    return mono.size();
}

class Collector {
public:
    Collector(std::vector<float>& out, std::size_t limit) : m_out(out), m_limit(limit) {}
    bool Full() const { return m_out.size() >= m_limit; }
    void Take(const float* samples, std::size_t count) {
        const std::size_t room = m_limit - std::min(m_limit, m_out.size());
        m_out.insert(m_out.end(), samples, samples + std::min(room, count));
    }

private:
    std::vector<float>& m_out;
    std::size_t m_limit;
};

// Feeds one block to the resampler; `block` null flushes what it still holds.
bool Resample(soxr* resampler, const float* block, std::size_t length, std::vector<float>& buffer,
              Collector& collector) {
    std::size_t used = 0;
    for (;;) {
        std::size_t consumed = 0;
        std::size_t produced = 0;
        const float* input = block ? block + used : nullptr;
        if (soxr_process(resampler, input, length - used, &consumed, buffer.data(), buffer.size(), &produced))
            return false;
        used += consumed;
        collector.Take(buffer.data(), produced);
        const bool inputLeft = block && used < length;
        const bool outputLeft = produced == buffer.size();
        if (collector.Full() || (!inputLeft && !outputLeft)) return true;
        if (block && consumed == 0 && produced == 0) return true;  // no progress: do not spin
    }
}

Resampler MakeResampler(int sourceRate, int targetRate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    Resampler resampler(soxr_create(sourceRate, targetRate, 1, &error, &io, &quality, nullptr));
    if (error) resampler.reset();
    return resampler;
}

} // namespace

MonoStream ReadMonoResampled(SNDFILE* file, int channels, int sourceRate, int targetRate, std::size_t limit) {
    MonoStream stream;
    stream.samples.reserve(limit);
    Collector collector(stream.samples, limit);
    std::vector<float> interleaved;
    std::vector<float> mono;

    Resampler resampler;
    std::vector<float> buffer;
    if (sourceRate != targetRate) {
        resampler = MakeResampler(sourceRate, targetRate);
        if (!resampler) {
            stream.readError = true;
            return stream;
        }
        buffer.resize(kOutputBlock);
    }

    while (!collector.Full()) {
        const std::size_t count = ReadMonoBlock(file, channels, interleaved, mono);
        if (sf_error(file) != SF_ERR_NO_ERROR) {
            stream.readError = true;
            return stream;
        }
        if (!resampler) {
            collector.Take(mono.data(), count);
            if (count == 0) break;
            continue;
        }
        const bool ended = count == 0;
        if (!Resample(resampler.get(), ended ? nullptr : mono.data(), count, buffer, collector)) {
            stream.readError = true;
            return stream;
        }
        if (ended) break;
    }
    return stream;
}

} // namespace quorbin::prepare
