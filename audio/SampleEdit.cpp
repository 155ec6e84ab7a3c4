#include "audio/SampleEdit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorbin {
namespace {

constexpr std::size_t kBlock = 8192;
constexpr double kFullScale = 32768.0;
// -1 dBFS of the largest positive 16-bit sample, as a full-scale float.
const double kNormalizedPeak = 32767.0 * std::pow(10.0, -1.0 / 20.0) / kFullScale;
constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

// Reads the stream through one block, so that a scan can stop mid-block and
// the rest of that block is still there for what follows.
class BlockReader {
public:
    explicit BlockReader(SampleStream& source) : m_source(source) {}

    // Passes over samples while `keep(sample)` holds; counts them in `passed`.
    template <typename Predicate>
    bool SkipWhile(Predicate keep, std::uint64_t limit, std::uint64_t& passed)
    {
        passed = 0;
        while (passed < limit) {
            if (!Fill())
                return !m_failed;
            const float* begin = m_block.data() + m_position;
            const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(Buffered(), limit - passed));
            const float* stop = std::find_if_not(begin, begin + room, keep);
            const auto count = static_cast<std::size_t>(stop - begin);
            m_position += count;
            passed += count;
            if (count < room)
                break;
        }
        return true;
    }

    bool Skip(std::uint64_t count)
    {
        const std::size_t buffered = static_cast<std::size_t>(std::min<std::uint64_t>(Buffered(), count));
        m_position += buffered;
        count -= buffered;
        return count == 0 || m_source.Skip(count);
    }

    bool Take(std::uint64_t count, std::vector<float>& out)
    {
        while (out.size() < count && Fill()) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(Buffered(), count - out.size()));
            out.insert(out.end(), m_block.begin() + m_position, m_block.begin() + m_position + take);
            m_position += take;
        }
        return !m_failed;
    }

    // True when at least one more sample follows.
    bool HasMore(bool& more)
    {
        more = Fill();
        return !m_failed;
    }

private:
    std::size_t Buffered() const { return m_block.size() - m_position; }

    bool Fill()
    {
        if (m_position < m_block.size())
            return true;
        if (m_ended)
            return false;
        m_block.resize(kBlock);
        std::size_t got = 0;
        m_failed = !m_source.Read(m_block, got);
        m_block.resize(m_failed ? 0 : got);
        m_position = 0;
        m_ended = m_failed || got < kBlock;
        return !m_block.empty();
    }

    SampleStream& m_source;
    std::vector<float> m_block;
    std::size_t m_position = 0;
    bool m_ended = false;
    bool m_failed = false;
};

std::uint64_t SamplesAt(double seconds, int rate)
{
    return static_cast<std::uint64_t>(std::llround(std::max(0.0, seconds) * rate));
}

void Normalize(std::vector<float>& samples)
{
    float peak = 0;
    for (float sample : samples)
        if (std::isfinite(sample))
            peak = std::max(peak, std::fabs(sample));
    if (peak == 0)
        return;
    const double gain = kNormalizedPeak / peak;
    for (float& sample : samples)
        sample = static_cast<float>(sample * gain);
}

// Linear ramps: the first sample of a fade-in and the last of a fade-out are silent.
void Fade(std::vector<float>& samples, double inMs, double outMs, int rate)
{
    const std::size_t n = samples.size();
    const std::size_t in = std::min<std::uint64_t>(SamplesAt(inMs / 1000, rate), n);
    const std::size_t out = std::min<std::uint64_t>(SamplesAt(outMs / 1000, rate), n);
    for (std::size_t i = 0; i < in; ++i)
        samples[i] = static_cast<float>(samples[i] * (double(i) / in));
    for (std::size_t i = 0; i < out; ++i)
        samples[n - 1 - i] = static_cast<float>(samples[n - 1 - i] * (double(i) / out));
}

// The selection's length when reading stopped at the cut: the rest counted
// from the stated length where there is one; unknown (more than `kept`) where
// neither it nor the length asked for bounds it.
void MeasureSelection(std::optional<std::uint64_t> wanted, std::optional<std::uint64_t> stated, std::uint64_t before,
                      std::uint64_t kept, EditedRecording& out)
{
    std::uint64_t length = wanted.value_or(kUnbounded);
    if (stated)
        length = std::min(length, *stated > before ? *stated - before : 0);
    out.selectionKnown = length != kUnbounded;
    out.selectedSamples = std::max(out.selectionKnown ? length : 0, kept + 1);
}

}  // namespace

bool SampleStream::Skip(std::uint64_t count)
{
    std::vector<float> scratch(static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock)));
    while (count > 0) {
        const std::span<float> block(scratch.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock)));
        std::size_t got = 0;
        if (!Read(block, got))
            return false;
        if (got < block.size())
            return true;
        count -= got;
    }
    return true;
}

std::int16_t ToSample16(float value)
{
    const double scaled = static_cast<double>(value) * kFullScale;
    if (!(scaled > -kFullScale))
        return -32768;  // also NaN
    if (scaled >= 32767.0)
        return 32767;
    return static_cast<std::int16_t>(std::lround(scaled));
}

std::optional<std::uint64_t> WantedSamples(const EditOptions& options, int rate)
{
    if (options.lengthSeconds)
        return SamplesAt(*options.lengthSeconds, rate);
    if (!options.endSeconds)
        return std::nullopt;
    const std::uint64_t end = SamplesAt(*options.endSeconds, rate);
    return end - std::min(SamplesAt(options.startSeconds, rate), end);
}

bool EditRecording(SampleStream& source, const EditOptions& options, EditedRecording& out)
{
    const int rate = source.Rate();
    out = EditedRecording{};
    out.rate = rate;
    BlockReader reader(source);
    const double threshold = options.trimBelowDb ? std::pow(10.0, -*options.trimBelowDb / 20.0) : 0.0;
    const auto quiet = [threshold](float sample) { return !(std::fabs(sample) >= threshold); };

    std::uint64_t leading = 0;
    if (options.trimBelowDb && !reader.SkipWhile(quiet, kUnbounded, leading))
        return false;
    const std::uint64_t first = SamplesAt(options.startSeconds, rate);
    out.recordingSamples = source.StatedLength();
    // A start at or past the stated end selects nothing, and nothing need be read to know it.
    if (!options.trimBelowDb && out.recordingSamples && first >= *out.recordingSamples)
        return true;
    if (out.recordingSamples) {
        if (!reader.Skip(first))
            return false;
    } else {
        // Read through in any case: where the recording ends before the start, its length is known.
        std::uint64_t passed = 0;
        if (!reader.SkipWhile([](float) { return true; }, first, passed))
            return false;
        if (passed < first)
            out.recordingSamples = leading + passed;
    }

    const std::optional<std::uint64_t> wanted = WantedSamples(options, rate);
    const std::uint64_t take = std::min<std::uint64_t>(wanted.value_or(kUnbounded), options.limit);

    std::vector<float> kept;
    if (!reader.Take(take, kept))
        return false;
    bool more = false;
    if (kept.size() == take) {
        const std::uint64_t rest = wanted ? *wanted - take : kUnbounded;
        if (options.trimBelowDb) {
            std::uint64_t silent = 0;
            if (!reader.SkipWhile(quiet, rest, silent))
                return false;
            if (silent < rest && !reader.HasMore(more))
                return false;
        } else if (rest > 0 && !reader.HasMore(more)) {
            return false;
        }
    }
    if (options.trimBelowDb && !more) {
        const auto lastLoud = std::find_if_not(kept.rbegin(), kept.rend(), quiet);
        kept.erase(lastLoud.base(), kept.end());
    }
    if (more)
        MeasureSelection(wanted, out.recordingSamples, leading + first, kept.size(), out);
    else
        out.selectedSamples = kept.size();

    if (options.normalize)
        Normalize(kept);
    Fade(kept, options.fadeInMs, options.fadeOutMs, rate);
    out.samples.resize(kept.size());
    std::transform(kept.begin(), kept.end(), out.samples.begin(), ToSample16);
    return true;
}

}  // namespace quorbin
