#include "audio/AdpcmSearchEncoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <limits>
#include <vector>

#include "audio/AdpcmEncoder.h"

namespace quorbin {

namespace {

constexpr std::int32_t kMinPredictor = -32768;
constexpr std::int32_t kMaxPredictor = 32767;
// Every kCommitDelay samples the codes up to kCommitDelay samples back are
// fixed, so the paths are remembered for 2 * kCommitDelay samples only.
constexpr std::uint32_t kCommitDelay = 1024;
// Ranks are compared in this many steps when the best states are chosen.
constexpr std::uint32_t kRankSteps = 128;

// How a code is tried: its magnitude and whether its sign points away from
// the sample or towards it.
constexpr std::uint8_t Away(std::uint8_t magnitude)
{
    return magnitude;
}

constexpr std::uint8_t Towards(std::uint8_t magnitude)
{
    return 8 | magnitude;
}

// kTriedCodes[n]: the codes tried from a state when magnitude n lands nearest
// the sample (as the plain encoder quantises). They are the three codes that
// land around the sample, magnitudes 5 to 7 (which widen the step, for sound
// about to grow) or, where those are among the three, smaller ones; and, only
// when the next sample lies on the other side of the state's predictor, the
// widest step towards that, for sound about to turn.
constexpr std::size_t kMaxTriedCodes = 7;
constexpr std::uint8_t kTriedCodes[8][kMaxTriedCodes] = {
    {Away(0), Towards(0), Towards(1), Towards(5), Towards(6), Towards(7), Away(7)},
    {Towards(0), Towards(1), Towards(2), Towards(5), Towards(6), Towards(7), Away(7)},
    {Towards(1), Towards(2), Towards(3), Towards(5), Towards(6), Towards(7), Away(7)},
    {Towards(2), Towards(3), Towards(4), Towards(5), Towards(6), Towards(7), Away(7)},
    {Towards(3), Towards(4), Towards(5), Towards(6), Towards(7), Towards(2), Away(7)},
    {Towards(4), Towards(5), Towards(6), Towards(7), Towards(3), Towards(2), Away(7)},
    {Towards(5), Towards(6), Towards(7), Towards(3), Towards(4), Towards(2), Away(7)},
    {Towards(6), Towards(7), Towards(3), Towards(5), Towards(4), Towards(2), Away(7)}};

std::int64_t Square(std::int64_t v)
{
    return v * v;
}

// The decoder's predictor change for each magnitude code at `step`.
// (Steps are positive, so shifts divide them as the decoder does.)
std::array<std::int32_t, 8> DeltasOf(std::int32_t step)
{
    const std::int32_t eighth = step >> 3;
    const std::int32_t quarter = step >> 2;
    const std::int32_t half = step >> 1;
    return {eighth,        eighth + quarter,        eighth + half,        eighth + quarter + half,
            eighth + step, eighth + quarter + step, eighth + half + step, eighth + quarter + half + step};
}

std::int32_t ScaledStep(std::int32_t step, std::int32_t magnitude)
{
    return std::clamp((step * kAdpcmStepFactor[magnitude]) >> 8, kAdpcmMinStep, kAdpcmMaxStep);
}

// At least as far as the predictor can move in one sample at `step` (the
// change of magnitude 7 is step * 15 / 8 before truncation). Ranks add the
// error a state must have at the next sample, from this reach, so the ranks
// of the states made from it can only be higher: the search relies on that.
std::int32_t ReachBound(std::int32_t step)
{
    return (step * 15) >> 3;
}

// ReachBound of the step after magnitude code 4 to 7 at `step` (which raise it).
std::int32_t ReachAfter(std::int32_t step, std::int32_t magnitude)
{
    return (step * kAdpcmStepFactor[magnitude] * 15) >> 11;
}

// States whose steps differ by less than 1.1 % and whose predictors lie
// within 2 % of the step of each other share a bucket, of which the search
// keeps one state. The step takes nearly every value from 127 to 24576, so
// paths seldom meet in exactly the same state; without the buckets the kept
// states crowd around the best few.
constexpr std::uint32_t kStepBucketBits = 6;  // 64 buckets a doubling of the step
constexpr double kPredictorBucketWidth = 0.02;

// 2^16 / (width of a predictor bucket) for the steps 64 + m, m from 0 to 63.
constexpr std::array<std::uint32_t, 1u << kStepBucketBits> kInverseWidths = [] {
    std::array<std::uint32_t, 1u << kStepBucketBits> inverses{};
    for (std::uint32_t m = 0; m < inverses.size(); ++m)
        inverses[m] = static_cast<std::uint32_t>(65536.0 / (kPredictorBucketWidth * (inverses.size() + m)));
    return inverses;
}();

std::uint32_t BucketOf(std::int32_t predictor, std::int32_t step)
{
    const auto octave = static_cast<std::uint32_t>(std::bit_width(static_cast<std::uint32_t>(step))) - 7;
    const std::uint32_t fraction = (static_cast<std::uint32_t>(step) >> octave) & ((1u << kStepBucketBits) - 1);
    const std::uint64_t offset = static_cast<std::uint32_t>(predictor - kMinPredictor);
    const auto predictorBucket = static_cast<std::uint32_t>((offset * kInverseWidths[fraction]) >> (16 + octave));
    return (octave << kStepBucketBits | fraction) << 16 | predictorBucket;
}

struct SearchState {
    std::int64_t error;  // total squared error of the decoded samples so far
    std::int64_t rank;   // error plus the least error the next sample can have
    std::int32_t predictor;
    std::int32_t step;
    std::uint16_t link;    // the code in the low four bits, the index of the state it came from above
    std::uint16_t origin;  // the index of its ancestor at the last commit
    std::uint32_t bucket;
};

// A code tried from a kept state, packed so that integer order is rank
// order: the rank (above the best rank of the kept states) from bit
// kTrialRankShift up, the index of the kept state and then the code below.
using Trial = std::uint64_t;
constexpr int kTrialRankShift = 14;  // room for the index of any of kAdpcmMaxSearchWidth states
constexpr std::uint64_t kMaxTrialRank = (std::uint64_t{1} << (64 - kTrialRankShift)) - 1;
static_assert(kAdpcmMaxSearchWidth << 4 <= 1u << kTrialRankShift);
// Two squared misses of 16-bit samples add less than 2^33.
constexpr std::int64_t kMaxTrialError = static_cast<std::int64_t>(kMaxTrialRank >> 1);

// Copies the `keep` lowest of `count` trials, all below `limit`, to `kept`
// (room for count + 1) and returns how many. They are compared in kRankSteps
// steps up to the limit: a finer order changes nothing that matters and would
// cost a sort.
std::size_t KeepLowest(const Trial* trials, std::size_t count, Trial limit, std::size_t keep, Trial* kept)
{
    if (count <= keep) {
        std::copy(trials, trials + count, kept);
        return count;
    }
    const int shift = std::max(0, static_cast<int>(std::bit_width(limit)) - 7);
    std::array<std::uint32_t, kRankSteps> counts{};
    for (std::size_t k = 0; k < count; ++k)
        ++counts[trials[k] >> shift];
    std::uint32_t cut = 0;
    std::size_t room = keep;  // for trials in the step at the cut
    for (; counts[cut] < room; ++cut)
        room -= counts[cut];
    std::size_t n = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const Trial at = trials[k] >> shift;
        const bool atCut = at == cut && room > 0;
        kept[n] = trials[k];
        n += at < cut || atCut;
        room -= atCut;
    }
    return n;
}

// Links from each kept state to its parent, for the last 2 * kCommitDelay samples.
class PathMemory {
public:
    PathMemory(std::uint32_t count, std::uint32_t width)
        : m_width(width),
          m_rows(std::max(1u, std::min(count, 2 * kCommitDelay))),
          m_links(std::size_t{m_rows} * width)
    {}

    std::uint16_t* Row(std::uint32_t index) { return m_links.data() + std::size_t{index % m_rows} * m_width; }

    // Writes the codes of samples first to last of the path that reaches state `slot` at sample last.
    void Write(std::uint8_t* output, std::uint32_t first, std::uint32_t last, std::uint32_t slot)
    {
        for (std::uint32_t i = last + 1; i-- > first;) {
            const std::uint16_t link = Row(i)[slot];
            const std::uint32_t shift = 4 * (i % 2);
            output[i / 2] = static_cast<std::uint8_t>((output[i / 2] & ~(15u << shift)) | (link & 15u) << shift);
            slot = link >> 4;
        }
    }

private:
    std::uint32_t m_width;
    std::uint32_t m_rows;
    std::vector<std::uint16_t> m_links;
};

// A search over the decoder's states (predictor, step), sample by sample: from
// each kept state it tries the codes kTriedCodes names, and keeps the `width`
// with the least error so far plus the least error the next sample can have
// (a state whose step is too small to reach the next sample must miss it),
// one per bucket. Codes ranked beyond a margin learnt from the last sample are
// dropped as soon as they are tried.
class TrellisSearch {
public:
    TrellisSearch(std::uint32_t count, std::uint32_t width, std::uint8_t* output)
        : m_width(width),
          m_output(output),
          m_paths(count, width),
          m_states(width),
          m_next(width),
          m_trials(kMaxTriedCodes * width + 1),
          m_best(width + 1),
          m_bucketShift(33 - std::bit_width(std::bit_ceil(4 * width))),
          m_bucketSlots(std::size_t{1} << (32 - m_bucketShift))
    {
        m_states[0] = {0, 0, kAdpcmInitialPredictor, kAdpcmInitialStep, 0, 0, 0};
        std::fill(output, output + (count + 1) / 2, 0);
    }

    // Moves the search on by sample `index`; `next` is the sample after it (or the same, at the end).
    void Advance(std::int32_t sample, std::int32_t next, std::uint32_t index)
    {
        std::uint64_t limit = m_margin;
        std::size_t tried = TryCodes(sample, next, limit);
        if (tried < std::max<std::size_t>(1, m_width / 4) && limit < kMaxTrialRank) {
            limit = kMaxTrialRank;
            tried = TryCodes(sample, next, limit);
        }
        const Trial* trials = m_trials.data();
        const Trial highest =
            limit < kMaxTrialRank ? limit << kTrialRankShift : *std::max_element(trials, trials + tried);
        const std::size_t best = KeepLowest(trials, tried, highest, m_width, m_best.data());
        KeepOnePerBucket(best, sample);
        std::uint16_t* links = m_paths.Row(index);
        for (std::size_t k = 0; k < m_stateCount; ++k)
            links[k] = m_states[k].link;
        if ((index + 1) % kCommitDelay == 0)
            Commit(index);
    }

    // Writes the codes not yet written, of the best path; returns its total squared error.
    std::int64_t Finish(std::uint32_t count)
    {
        if (count == 0)
            return 0;
        const std::uint32_t best = Best();
        m_paths.Write(m_output, m_written, count - 1, best);
        return m_states[best].error;
    }

private:
    // Tries the codes from every kept state; returns how many, ranked below
    // `limit` above the best rank, went to m_trials.
    std::size_t TryCodes(std::int32_t sample, std::int32_t next, std::uint64_t limit)
    {
        Trial* trial = m_trials.data();
        for (std::uint32_t from = 0; from < m_stateCount; ++from)
            trial = Expand(m_states[from], from, sample, next, limit, trial);
        return static_cast<std::size_t>(trial - m_trials.data());
    }

    // Tries the codes kTriedCodes names from `state`; puts those ranked below
    // `limit` at `trial` and returns where the next go.
    Trial* Expand(const SearchState& state, std::uint32_t from, std::int32_t sample, std::int32_t next,
                  std::uint64_t limit, Trial* trial) const
    {
        const std::int32_t step = state.step;
        const std::array<std::int32_t, 8> deltas = DeltasOf(step);
        const std::int32_t lowReach = ReachBound(std::max(kAdpcmMinStep, (step * kAdpcmStepFactor[0]) >> 8));
        const std::array<std::int32_t, 8> reaches = {lowReach,
                                                     lowReach,
                                                     lowReach,
                                                     lowReach,
                                                     ReachAfter(step, 4),
                                                     ReachAfter(step, 5),
                                                     ReachAfter(step, 6),
                                                     ReachAfter(step, 7)};
        const bool up = sample >= state.predictor;
        const std::uint32_t sign = up ? 8 : 0;  // turns Towards into codes (and Away into their opposites)
        const std::int32_t nearest = std::min(7, std::abs(sample - state.predictor) / (step >> 2));
        const std::size_t tried = (next >= state.predictor) == up ? kMaxTriedCodes - 1 : kMaxTriedCodes;
        // Limited so that the ranks below fit a trial: a state this far behind is dropped anyway.
        const std::int64_t error = std::min(state.error - m_bestRank, kMaxTrialError);
        const Trial origin = from << 4;
        for (std::size_t t = 0; t < tried; ++t) {
            const std::uint32_t nibble = kTriedCodes[nearest][t] ^ sign;
            const std::uint32_t magnitude = nibble & 7;
            const std::int32_t negate = -static_cast<std::int32_t>(nibble >> 3);  // all ones for the sign bit
            const std::int32_t change = (deltas[magnitude] ^ negate) - negate;
            const std::int32_t predictor = std::clamp(state.predictor + change, kMinPredictor, kMaxPredictor);
            const std::int32_t over = std::max(0, std::abs(next - predictor) - reaches[magnitude]);
            // Never negative (see ReachBound); were it, it would be dropped as beyond any limit.
            const auto rank = static_cast<std::uint64_t>(error + Square(sample - predictor) + Square(over));
            *trial = rank << kTrialRankShift | origin | nibble;
            trial += rank < limit;
        }
        return trial;
    }

    // Makes the states of the first `count` of m_best, keeps one per bucket of
    // them as the states for the next sample, and learns the margin for the
    // next sample from how far their ranks spread. m_bucketSlots maps a hash of
    // a bucket to the index of the state last put there; an index whose state
    // lies in another bucket (of an earlier sample, or of a colliding hash)
    // counts as free.
    void KeepOnePerBucket(std::size_t count, std::int32_t sample)
    {
        std::size_t kept = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const SearchState s = StateOf(m_best[k], sample);
            std::uint16_t& slot = m_bucketSlots[(s.bucket * 0x9E3779B1u) >> m_bucketShift];
            if (slot < kept && m_next[slot].bucket == s.bucket) {
                if (s.rank < m_next[slot].rank)
                    m_next[slot] = s;
            } else {
                slot = static_cast<std::uint16_t>(kept);
                m_next[kept++] = s;
            }
        }
        m_states.swap(m_next);
        m_stateCount = kept;
        std::int64_t best = std::numeric_limits<std::int64_t>::max();
        std::int64_t worst = 0;
        for (std::size_t k = 0; k < m_stateCount; ++k) {
            best = std::min(best, m_states[k].rank);
            worst = std::max(worst, m_states[k].rank);
        }
        m_bestRank = best;
        m_margin = std::min<std::uint64_t>(kMaxTrialRank, static_cast<std::uint64_t>(worst - best) * 4 + 1);
    }

    // The state `trial` leads to.
    SearchState StateOf(Trial trial, std::int32_t sample) const
    {
        const auto link = static_cast<std::uint16_t>(trial & ((1u << kTrialRankShift) - 1));
        const SearchState& parent = m_states[link >> 4];
        const std::int32_t magnitude = link & 7;
        const std::int32_t delta = DeltasOf(parent.step)[magnitude];
        const std::int32_t predictor =
            std::clamp(link & 8 ? parent.predictor - delta : parent.predictor + delta, kMinPredictor, kMaxPredictor);
        const std::int32_t step = ScaledStep(parent.step, magnitude);
        const auto rank = m_bestRank + static_cast<std::int64_t>(trial >> kTrialRankShift);
        return {parent.error + Square(sample - predictor),
                rank,
                predictor,
                step,
                link,
                parent.origin,
                BucketOf(predictor, step)};
    }

    std::uint32_t Best() const
    {
        const auto best =
            std::min_element(m_states.begin(), m_states.begin() + static_cast<std::ptrdiff_t>(m_stateCount),
                             [](const SearchState& a, const SearchState& b) { return a.error < b.error; });
        return static_cast<std::uint32_t>(best - m_states.begin());
    }

    // Fixes the codes up to the last commit along the best state's path, drops
    // the states that descend from another state there, and starts the next
    // period at `index`.
    void Commit(std::uint32_t index)
    {
        if (index + 1 >= 2 * kCommitDelay) {
            const std::uint16_t origin = m_states[Best()].origin;
            m_paths.Write(m_output, m_written, index - kCommitDelay, origin);
            m_written = index - kCommitDelay + 1;
            std::uint16_t* links = m_paths.Row(index);
            std::size_t kept = 0;
            for (std::size_t k = 0; k < m_stateCount; ++k) {
                if (m_states[k].origin == origin) {
                    links[kept] = links[k];
                    m_states[kept++] = m_states[k];
                }
            }
            m_stateCount = kept;
        }
        for (std::size_t k = 0; k < m_stateCount; ++k)
            m_states[k].origin = static_cast<std::uint16_t>(k);
    }

    std::uint32_t m_width;
    std::uint8_t* m_output;
    PathMemory m_paths;
    std::vector<SearchState> m_states;  // the first m_stateCount are the states kept
    std::size_t m_stateCount = 1;
    std::vector<SearchState> m_next;
    std::vector<Trial> m_trials;
    std::vector<Trial> m_best;
    std::uint32_t m_bucketShift;
    std::vector<std::uint16_t> m_bucketSlots;
    std::int64_t m_bestRank = 0;
    std::uint64_t m_margin = kMaxTrialRank;
    std::uint32_t m_written = 0;
};

// Squared error of the plain encoder's decoded sound, which is its predictor track.
std::int64_t PlainEncoderError(std::span<const std::int16_t> samples)
{
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
    std::int64_t error = 0;
    for (const std::int32_t sample : samples) {
        const AdpcmCode code = adpcm_quantise(sample, predictor, step);
        predictor = adpcm_next_predictor(code, predictor, step);
        step = adpcm_next_step(code, step);
        error += Square(sample - predictor);
    }
    return error;
}

}  // namespace

Result<std::size_t> adpcm_encode_search(std::span<const std::int16_t> samples, std::span<std::uint8_t> output,
                                        std::uint32_t width)
{
    if (!adpcm_output_fits(samples.size(), output.size()))
        return ReasonKind::OutputTooSmall;
    const auto count = static_cast<std::uint32_t>(samples.size());
    TrellisSearch search(count, std::clamp<std::uint32_t>(width, 1, kAdpcmMaxSearchWidth), output.data());
    for (std::uint32_t i = 0; i < count; ++i)
        search.Advance(samples[i], i + 1 < count ? samples[i + 1] : samples[i], i);
    if (PlainEncoderError(samples) <= search.Finish(count))
        return adpcm_encode(samples, output);
    return adpcm_coded_size(samples.size());
}

Result<std::size_t> adpcm_encode_with(EncoderQuality quality, std::span<const std::int16_t> samples,
                                      std::span<std::uint8_t> output)
{
    if (quality == EncoderQuality::High)
        return adpcm_encode_search(samples, output);
    return adpcm_encode(samples, output);
}

}  // namespace quorbin
