#include "audio/AdpcmSearchEncoder.h"

#include <algorithm>
#include <vector>

#include "audio/AdpcmEncoder.h"

namespace quorbin {

namespace {

constexpr std::int32_t kMinPredictor = -32768;
constexpr std::int32_t kMaxPredictor = 32767;

struct SearchState {
    std::int32_t predictor;
    std::int32_t step;
    std::int64_t error;  // total squared error of the decoded samples so far
    std::int64_t rank;   // error plus the least error the next sample can have
    std::uint16_t link;  // code in the low four bits, the index of the state it came from above
};

std::int32_t ReadSample(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// The decoder's predictor change for magnitude code m at `step`.
std::int32_t DeltaOf(std::int32_t m, std::int32_t step)
{
    std::int32_t delta = step / 8;
    if (m & 1)
        delta += step / 4;
    if (m & 2)
        delta += step / 2;
    if (m & 4)
        delta += step;
    return delta;
}

std::int32_t ScaledStep(std::int32_t step, std::int32_t magnitude)
{
    return std::clamp(step * kAdpcmStepFactor[magnitude] / 256, kAdpcmMinStep, kAdpcmMaxStep);
}

class StateSearch {
public:
    StateSearch(std::uint32_t count, std::uint32_t width)
        : m_width(width),
          m_links(static_cast<std::size_t>(count) * width),
          m_slotOfStep(kAdpcmMaxStep + 1, -1)
    {
        m_states.push_back({kAdpcmInitialPredictor, kAdpcmInitialStep, 0, 0, 0});
        m_next.reserve(5 * width);
    }

    // Moves the search on by sample `index`; `following` is the next sample, if any.
    void Advance(std::int32_t sample, const std::int32_t* following, std::uint32_t index)
    {
        m_next.clear();
        for (std::uint32_t from = 0; from < m_states.size(); ++from)
            Expand(m_states[from], from, sample);
        for (const SearchState& s : m_next)
            m_slotOfStep[s.step] = -1;
        if (m_next.size() > m_width) {
            // Ranking by the error so far alone favours small steps that cannot
            // follow the next sample; a one-sample look ahead keeps the states
            // that can.
            for (SearchState& s : m_next)
                s.rank = s.error + (following ? NearestMiss(s, *following) : 0);
            std::nth_element(m_next.begin(), m_next.begin() + m_width, m_next.end(),
                             [](const SearchState& a, const SearchState& b) { return a.rank < b.rank; });
            m_next.resize(m_width);
        }
        std::uint16_t* links = m_links.data() + static_cast<std::size_t>(index) * m_width;
        for (std::size_t k = 0; k < m_next.size(); ++k)
            links[k] = m_next[k].link;
        std::swap(m_states, m_next);
    }

    // Total error of the best path; its codes are written to `output`, two a byte.
    std::int64_t WriteBest(std::uint32_t count, std::uint8_t* output) const
    {
        const auto best =
            std::min_element(m_states.begin(), m_states.end(),
                             [](const SearchState& a, const SearchState& b) { return a.error < b.error; });
        std::uint32_t slot = static_cast<std::uint32_t>(best - m_states.begin());
        std::fill(output, output + (count + 1) / 2, 0);
        for (std::uint32_t i = count; i-- > 0;) {
            const std::uint16_t link = m_links[static_cast<std::size_t>(i) * m_width + slot];
            output[i / 2] = static_cast<std::uint8_t>(output[i / 2] | (link & 15u) << (4 * (i % 2)));
            slot = link >> 4;
        }
        return best->error;
    }

private:
    // The least squared error any code can leave at `sample` from `state`.
    static std::int64_t NearestMiss(const SearchState& state, std::int32_t sample)
    {
        const bool down = sample < state.predictor;
        std::int64_t least = -1;
        for (std::int32_t m = 0; m < 8; ++m) {
            const std::int32_t delta = DeltaOf(m, state.step);
            const std::int64_t miss =
                sample
                - std::clamp(down ? state.predictor - delta : state.predictor + delta, kMinPredictor, kMaxPredictor);
            if (least < 0 || miss * miss < least)
                least = miss * miss;
        }
        return least;
    }

    void Offer(std::int32_t predictor, std::int32_t step, std::int64_t error, std::uint32_t link)
    {
        std::int32_t& slot = m_slotOfStep[step];
        if (slot < 0) {
            slot = static_cast<std::int32_t>(m_next.size());
            m_next.push_back({predictor, step, error, 0, static_cast<std::uint16_t>(link)});
        } else if (error < m_next[slot].error) {
            m_next[slot] = {predictor, step, error, 0, static_cast<std::uint16_t>(link)};
        }
    }

    // Codes whose sign points towards the sample: codes of the other sign
    // land further from it and lead to the same steps.
    void Expand(const SearchState& state, std::uint32_t from, std::int32_t sample)
    {
        const bool down = sample < state.predictor;
        const std::uint32_t sign = down ? 8u : 0u;
        std::int32_t lowPredictor = 0;
        std::int64_t lowError = -1;
        std::int32_t lowMagnitude = 0;
        for (std::int32_t m = 0; m < 8; ++m) {
            const std::int32_t delta = DeltaOf(m, state.step);
            const std::int32_t predictor =
                std::clamp(down ? state.predictor - delta : state.predictor + delta, kMinPredictor, kMaxPredictor);
            const std::int64_t miss = sample - predictor;
            const std::int64_t error = state.error + miss * miss;
            if (m >= 4) {
                Offer(predictor, ScaledStep(state.step, m), error, from << 4 | sign | static_cast<std::uint32_t>(m));
            } else if (lowError < 0 || error < lowError) {
                lowPredictor = predictor;
                lowError = error;
                lowMagnitude = m;
            }
        }
        Offer(lowPredictor, ScaledStep(state.step, 0), lowError,
              from << 4 | sign | static_cast<std::uint32_t>(lowMagnitude));
    }

    std::uint32_t m_width;
    std::vector<SearchState> m_states;
    std::vector<SearchState> m_next;
    std::vector<std::uint16_t> m_links;
    std::vector<std::int32_t> m_slotOfStep;
};

// Squared error of the plain encoder's decoded sound, which is its predictor track.
std::int64_t PlainEncoderError(const std::uint8_t* samples, std::uint32_t count)
{
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
    std::int64_t error = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int32_t sample = ReadSample(samples + 2 * i);
        const AdpcmCode code = adpcm_quantise(sample, predictor, step);
        predictor = adpcm_next_predictor(code, predictor, step);
        step = adpcm_next_step(code, step);
        const std::int64_t miss = sample - predictor;
        error += miss * miss;
    }
    return error;
}

}  // namespace

std::int32_t adpcm_encode_search(const std::uint8_t* samples, std::uint32_t sampleBytes, std::uint8_t* output,
                                 std::uint32_t* ioLength, std::uint32_t width)
{
    if (!adpcm_output_fits(sampleBytes, *ioLength))
        return 0;
    const std::uint32_t count = sampleBytes / 2;
    StateSearch search(count, std::clamp<std::uint32_t>(width, 1, kAdpcmMaxSearchWidth));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int32_t following = i + 1 < count ? ReadSample(samples + 2 * i + 2) : 0;
        search.Advance(ReadSample(samples + 2 * i), i + 1 < count ? &following : nullptr, i);
    }
    const std::int64_t searchError = search.WriteBest(count, output);
    if (PlainEncoderError(samples, count) <= searchError)
        return adpcm_encode(samples, sampleBytes, output, ioLength);
    *ioLength = count / 2 + count % 2;
    return 1;
}

std::int32_t adpcm_encode_with(EncoderQuality quality, const std::uint8_t* samples, std::uint32_t sampleBytes,
                               std::uint8_t* output, std::uint32_t* ioLength)
{
    if (quality == EncoderQuality::High)
        return adpcm_encode_search(samples, sampleBytes, output, ioLength);
    return adpcm_encode(samples, sampleBytes, output, ioLength);
}

}  // namespace quorbin
