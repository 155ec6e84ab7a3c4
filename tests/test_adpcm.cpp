#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/ByteOrder.h"
#include "audio/AdpcmEncoder.h"
#include "audio/AdpcmSearchEncoder.h"
#include "SyntheticSignals.h"

using namespace quorbin;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Trace {
    std::vector<std::int32_t> predictors;
    std::vector<std::int32_t> steps;
    Bytes output;
};

// Runs the stream one sample at a time through the plain encoder step.
Trace TraceByHelpers(const std::vector<std::int16_t>& samples)
{
    Trace trace;
    trace.output.assign((samples.size() + 1) / 2, 0xAA);
    std::int32_t predictor = kAdpcmInitialPredictor;
    std::int32_t step = kAdpcmInitialStep;
    for (std::uint32_t i = 0; i < samples.size(); ++i) {
        adpcm_encode_sample(samples[i], predictor, step, trace.output.data(), i);
        trace.predictors.push_back(predictor);
        trace.steps.push_back(step);
    }
    return trace;
}

// Encodes with `encode` into more room than it needs, which it leaves alone.
template <typename Encode>
Bytes EncodeWith(const std::vector<std::int16_t>& samples, const Encode& encode)
{
    Bytes output(adpcm_coded_size(samples.size()) + 2, 0xAA);
    const Result<std::size_t> length = encode(samples, output);
    EXPECT_TRUE(length);
    const std::size_t written = length ? *length : 0;
    EXPECT_EQ(Bytes(output.begin() + static_cast<std::ptrdiff_t>(written), output.end()),
              Bytes(output.size() - written, 0xAA));
    output.resize(written);
    return output;
}

Bytes Encode(const std::vector<std::int16_t>& samples)
{
    return EncodeWith(samples, adpcm_encode);
}

struct WorkedExample {
    const char* name;
    std::vector<std::int16_t> samples;
    std::vector<std::int32_t> predictors;
    std::vector<std::int32_t> steps;
    Bytes output;
};

std::ostream& operator<<(std::ostream& os, const WorkedExample& e)
{
    return os << e.name;
}

class WorkedExampleTest : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(WorkedExampleTest, HelpersFollowTheTraceAndEncoderMatches)
{
    const WorkedExample& e = GetParam();
    const Trace trace = TraceByHelpers(e.samples);
    EXPECT_EQ(trace.predictors, e.predictors);
    EXPECT_EQ(trace.steps, e.steps);
    EXPECT_EQ(trace.output, e.output);
    EXPECT_EQ(Encode(e.samples), e.output);
}

INSTANTIATE_TEST_SUITE_P(
    Adpcm, WorkedExampleTest,
    ::testing::Values(
        WorkedExample{
            "FourSamples", {1000, 1000, -1000, 0}, {236, 806, -560, 95}, {304, 729, 1748, 1570}, {0x77, 0x1F}},
        WorkedExample{"OddCount", {1000, 1000, -1000}, {236, 806, -560}, {304, 729, 1748}, {0x77, 0x0F}},
        WorkedExample{"Silence", {0, 0, 0, 0}, {15, 0, 15, 0}, {127, 127, 127, 127}, {0x80, 0x80}},
        WorkedExample{"Rising",
                      {0, 6543, 12367, 16829, 19438, 19908, 18185, 14461},
                      {15, 251, 821, 2187, 5464, 13324, 17093, 13706},
                      {127, 304, 729, 1748, 4192, 10054, 9032, 8114},
                      {0x70, 0x77, 0x77, 0x91}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdpcmExtremes, FullScaleSquareWaveSaturatesStep)
{
    std::vector<std::int16_t> square;
    for (int i = 0; i < 64; ++i)
        square.push_back(i % 2 == 0 ? 32767 : -32768);
    const Trace trace = TraceByHelpers(square);
    const std::vector<std::int32_t> rising = {304, 729, 1748, 4192, 10054, 24113, 24576};
    EXPECT_EQ(std::vector<std::int32_t>(trace.steps.begin(), trace.steps.begin() + 7), rising);
    for (std::size_t i = 7; i < trace.steps.size(); ++i)
        EXPECT_EQ(trace.steps[i], 24576) << i;
    EXPECT_EQ(Encode(square), Bytes(32, 0xF7));
}

TEST(AdpcmExtremes, ConstantFullScaleClampsPredictor)
{
    const std::vector<std::int16_t> constant(12, 32767);
    const Trace trace = TraceByHelpers(constant);
    const std::vector<std::int32_t> rising = {236, 806, 2172, 5449, 13309, 32159, 32767};
    EXPECT_EQ(std::vector<std::int32_t>(trace.predictors.begin(), trace.predictors.begin() + 7), rising);
    for (std::size_t i = 6; i < trace.predictors.size(); ++i)
        EXPECT_EQ(trace.predictors[i], 32767) << i;
    EXPECT_EQ(trace.steps[5], 24113);
    EXPECT_EQ(trace.steps[6], 21664);
    EXPECT_EQ(trace.steps[7], 19463);
    EXPECT_EQ(Encode(constant), (Bytes{0x77, 0x77, 0x77, 0x00, 0x00, 0x00}));
}

TEST(AdpcmHelpers, PredictorTruncatesEachQuotientAndClamps)
{
    AdpcmCode code;
    code.bit0 = 1;
    code.bit1 = 1;
    EXPECT_EQ(adpcm_next_predictor(code, 0, 127), 15 + 31 + 63);  // not 15 + 31 + 62
    code.bit2 = 1;
    EXPECT_EQ(adpcm_next_predictor(code, 32000, 24576), 32767);
    code.sign = 1;
    EXPECT_EQ(adpcm_next_predictor(code, -32000, 24576), -32768);
    EXPECT_EQ(adpcm_next_predictor(code, 0, 127), -(15 + 31 + 63 + 127));
}

TEST(AdpcmHelpers, StepIsScaledAndKeptInRange)
{
    AdpcmCode code;
    EXPECT_EQ(adpcm_next_step(code, 127), 127);   // 114 raised
    EXPECT_EQ(adpcm_next_step(code, 1000), 898);  // 1000 * 230 / 256
    code.bit0 = code.bit1 = code.bit2 = 1;
    EXPECT_EQ(adpcm_next_step(code, 1000), 2398);  // 1000 * 614 / 256
    EXPECT_EQ(adpcm_next_step(code, 24576), 24576);
    code.sign = 1;
    EXPECT_EQ(adpcm_next_step(code, 1000), 2398);  // the sign plays no part
}

TEST(AdpcmHelpers, NibblesFillLowThenHighHalf)
{
    Bytes out = {0xFF, 0x12};
    AdpcmCode low;
    low.sign = 1;
    low.bit0 = 1;
    adpcm_put_nibble(out.data(), low, 0);
    EXPECT_EQ(out[0], 0x09);  // the even index overwrites the whole byte
    AdpcmCode high;
    high.bit2 = 1;
    adpcm_put_nibble(out.data(), high, 1);
    EXPECT_EQ(out[0], 0x49);
    adpcm_put_nibble(out.data(), low, 3);
    EXPECT_EQ(out[1], 0xA2);  // odd index adds 0x90 modulo 256
}

TEST(AdpcmEncode, OutputFitsBoundaries)
{
    // Samples, capacity in bytes, fits.
    const std::tuple<std::size_t, std::size_t, bool> cases[] = {{0, 0, true},
                                                                {1, 0, false},
                                                                {1, 1, true},
                                                                {3, 1, false},
                                                                {3, 2, true},
                                                                {0x7FFFFFFF, 0x3FFFFFFF, false},
                                                                {0x7FFFFFFF, 0x40000000, true}};
    for (const auto& [samples, capacity, fits] : cases)
        EXPECT_EQ(adpcm_output_fits(samples, capacity), fits) << samples << " in " << capacity;
}

// Each encoder refuses an output one byte short and writes nothing then.
TEST(AdpcmEncode, TooSmallOutputWritesNothing)
{
    const std::vector<std::int16_t> samples = {100, 200, 300, 400, 500};
    for (const auto encode : {adpcm_encode, adpcm_encode_reference}) {
        Bytes output(2, 0xAA);  // three bytes are needed
        EXPECT_EQ(encode(samples, output).Reason().kind, ReasonKind::OutputTooSmall);
        EXPECT_EQ(output, Bytes(2, 0xAA));
    }
    Bytes output(2, 0xAA);
    EXPECT_EQ(adpcm_encode_search(samples, output).Reason().kind, ReasonKind::OutputTooSmall);
    EXPECT_EQ(output, Bytes(2, 0xAA));
}

TEST(AdpcmEncode, EmptyAndOddRuns)
{
    EXPECT_EQ(Encode({}), Bytes());
    EXPECT_EQ(Encode({1000, 1000, -1000}), (Bytes{0x77, 0x0F}));
}

// The encoder's inner loop must agree with the helpers on any signal.
TEST(AdpcmEncode, MatchesHelpersOnVariedSignals)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::normal_distribution<double> noise(0.0, 2000.0);
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 20000; ++i) {
        double value;
        switch ((i / 2000) % 4) {
        case 0: value = full(random); break;                                // white noise
        case 1: value = 12000 * std::sin(i * 0.03) + noise(random); break;  // tone in noise
        case 2: value = (i % 40 < 20) ? 32767 : -32768; break;              // clipped square
        default: value = (i % 7) - 3; break;                                // near silence
        }
        samples.push_back(static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0)));
    }
    // Four lengths: the loop takes four samples a round, so each tail shape occurs.
    for (std::size_t cut = 0; cut < 4; ++cut) {
        const std::size_t count = samples.size() - cut;
        const std::vector<std::int16_t> run(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(count));
        const Bytes plain = TraceByHelpers(run).output;
        EXPECT_EQ(Encode(run), plain) << count;
        EXPECT_EQ(EncodeWith(run, adpcm_encode_reference), plain) << count;
    }
}

// ---- The searching encoder ------------------------------------------------------

// One step of the decoder as the handset runs it, from the description in
// AdpcmEncoder.h alone: step/8 plus step/4, step/2, step for bits 0-2.
void ModelStep(int nibble, std::int32_t& predictor, std::int32_t& step)
{
    constexpr int kFactor[8] = {230, 230, 230, 230, 307, 409, 512, 614};
    const int magnitude = nibble & 7;
    const std::int32_t delta =
        step / 8 + (magnitude & 1 ? step / 4 : 0) + (magnitude & 2 ? step / 2 : 0) + (magnitude & 4 ? step : 0);
    predictor = std::clamp(nibble & 8 ? predictor - delta : predictor + delta, -32768, 32767);
    step = std::clamp(step * kFactor[magnitude] / 256, 127, 24576);
}

// The decoder as the handset runs it: low half first.
std::vector<std::int16_t> ModelDecode(const Bytes& coded)
{
    std::int32_t predictor = 0;
    std::int32_t step = 127;
    std::vector<std::int16_t> decoded;
    for (const std::uint8_t byte : coded) {
        for (const int nibble : {byte & 15, byte >> 4}) {
            ModelStep(nibble, predictor, step);
            decoded.push_back(static_cast<std::int16_t>(predictor));
        }
    }
    return decoded;
}

Bytes EncodeSearch(const std::vector<std::int16_t>& samples, std::uint32_t width)
{
    return EncodeWith(samples, [width](std::span<const std::int16_t> run, std::span<std::uint8_t> output) {
        return adpcm_encode_search(run, output, width);
    });
}

double SquaredError(const std::vector<std::int16_t>& samples, const Bytes& coded)
{
    const std::vector<std::int16_t> decoded = ModelDecode(coded);
    double error = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        error += std::pow(static_cast<double>(samples[i]) - decoded[i], 2);
    return error;
}

// Signals the search meets: random ones of several kinds and generated sound.
std::vector<std::vector<std::int16_t>> PropertySignals()
{
    std::vector<std::vector<std::int16_t>> result = {
        signals::SpeechLike(8000, 0.3),    signals::Tone(440, 4, 8000, 0.3),      signals::Plucked(8000, 0.5),
        std::vector<std::int16_t>(999, 0), {32767, -32768, 32767, -32768, 32767}, {1000}};
    std::mt19937 random(18);
    for (int kind = 0; kind < 8; ++kind) {
        std::uniform_int_distribution<int> amplitude(1, 32767);
        const int peak = amplitude(random);
        std::uniform_int_distribution<int> value(-peak, peak);
        std::vector<std::int16_t> samples(1000 + kind);
        double walk = 0;
        for (auto& s : samples) {
            walk = std::clamp(walk + value(random) / 8.0, -32768.0, 32767.0);
            s = static_cast<std::int16_t>(kind % 2 == 0 ? value(random) : walk);
        }
        result.push_back(samples);
    }
    return result;
}

TEST(AdpcmSearch, NeverWorseThanStandardAndDecodesAsTheModel)
{
    for (const auto& samples : PropertySignals()) {
        const Bytes standard = Encode(samples);
        for (const std::uint32_t width : {1u, 4u, kAdpcmSearchWidth}) {
            const Bytes high = EncodeSearch(samples, width);
            ASSERT_EQ(high.size(), standard.size());
            const std::vector<std::int16_t> model = ModelDecode(high);
            EXPECT_EQ(adpcm_decode(high), model);
            EXPECT_LE(SquaredError(samples, high), SquaredError(samples, standard)) << samples.size() << " " << width;
        }
    }
}

// The least squared error any code sequence reaches on `samples`, or
// `below` if none is lower: every sequence is tried, depth first, and left as
// soon as its error reaches the lowest found.
double BestPossibleError(const std::vector<std::int16_t>& samples, double below)
{
    double lowest = below;
    const auto tryFrom = [&](const auto& self, std::size_t i, std::int32_t predictor, std::int32_t step,
                             double error) -> void {
        if (error >= lowest)
            return;
        if (i == samples.size()) {
            lowest = error;
            return;
        }
        for (int nibble = 0; nibble < 16; ++nibble) {
            std::int32_t p = predictor;
            std::int32_t s = step;
            ModelStep(nibble, p, s);
            self(self, i + 1, p, s, error + std::pow(samples[i] - p, 2.0));
        }
    };
    tryFrom(tryFrom, 0, 0, 127, 0.0);
    return lowest;
}

// On signals of one to six samples every code sequence can be tried: the
// search finds the best nearly always (97 % of these), and its error stays
// within 1 % of the best in geometric mean (0.2 %; (error + 1) / (best + 1),
// as the best may be 0).
TEST(AdpcmSearch, NearlyAlwaysFindsTheBestCodesOnShortSignals)
{
    constexpr int kSignals = 300;
    for (const std::uint32_t width : {kAdpcmSearchWidth, kAdpcmMaxSearchWidth}) {
        std::mt19937 random(24);
        int foundBest = 0;
        double logExcess = 0;
        for (int n = 0; n < kSignals; ++n) {
            const int peak = 1 << std::uniform_int_distribution<int>(0, 15)(random);
            std::uniform_int_distribution<int> value(-peak, std::min(peak, 32767));
            std::vector<std::int16_t> samples(1 + n % 6);
            for (auto& sample : samples)
                sample = static_cast<std::int16_t>(value(random));
            const double high = SquaredError(samples, EncodeSearch(samples, width));
            const double best = BestPossibleError(samples, high + 1);
            ASSERT_LE(best, high) << "the search cannot beat every sequence";
            foundBest += best == high;
            logExcess += std::log((high + 1) / (best + 1));
        }
        EXPECT_GE(foundBest, kSignals * 9 / 10) << width;
        EXPECT_LE(std::exp(logExcess / kSignals), 1.01) << width;
    }
}

struct GainCase {
    const char* name;
    std::vector<std::int16_t> samples;
    double leastGainDb;
};

std::ostream& operator<<(std::ostream& os, const GainCase& c)
{
    return os << c.name;
}

class AdpcmSearchGain : public ::testing::TestWithParam<GainCase> {};

// One second at 8000 Hz: the search must find clearly better codes, not just
// fall back (the full-track figures are in the benchmark SearchQuality).
TEST_P(AdpcmSearchGain, BeatsStandardClearly)
{
    const GainCase& c = GetParam();
    const double gainDb = 10
                          * std::log10(SquaredError(c.samples, Encode(c.samples))
                                       / SquaredError(c.samples, EncodeSearch(c.samples, kAdpcmSearchWidth)));
    EXPECT_GE(gainDb, c.leastGainDb);
}

INSTANTIATE_TEST_SUITE_P(Adpcm, AdpcmSearchGain,
                         ::testing::Values(GainCase{"Speech", signals::SpeechLike(8000, 1.0), 3.0},
                                           GainCase{"ToneWithHarmonics", signals::Tone(440, 4, 8000, 1.0), 2.0},
                                           GainCase{"PluckedNotes", signals::Plucked(8000, 1.0), 1.5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
