// Quality and speed of the coding round trip (encode, then decode) on
// synthetic recordings at 8000 Hz. The "snr_db" counter is the
// signal-to-noise ratio of the decoded sound against the original.
#include <benchmark/benchmark.h>

#include <functional>

#include "audio/AdpcmSearchEncoder.h"
#include "tests/SyntheticSignals.h"

namespace {

using namespace quorbin;

constexpr std::uint32_t kRate = 8000;
constexpr double kSeconds = 8.0;  // 64000 samples, well inside the longest track

void RoundTripQuality(benchmark::State& state, const std::function<std::vector<std::int16_t>()>& make)
{
    const std::vector<std::int16_t> original = make();
    std::vector<std::int16_t> decoded;
    for (auto _ : state) {
        decoded = signals::RoundTrip(original);
        benchmark::DoNotOptimize(decoded.data());
    }
    state.counters["snr_db"] = signals::SnrDb(original, decoded);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}

// The searching encoder (--quality high) at search width range(0) on a full
// track, 131054 samples at 8000 Hz: "gain_db" is how much higher its
// signal-to-noise ratio is than the standard encoder's, through the decoder.
void SearchQuality(benchmark::State& state, const std::function<std::vector<std::int16_t>(double)>& make)
{
    const std::vector<std::int16_t> original = make(131054.0 / kRate);
    std::vector<std::uint8_t> coded(adpcm_coded_size(original.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(adpcm_encode_search(original, coded, static_cast<std::uint32_t>(state.range(0))));
        benchmark::DoNotOptimize(coded.data());
    }
    std::vector<std::int16_t> decoded = adpcm_decode(coded);
    decoded.resize(original.size());
    const double standard = signals::SnrDb(original, signals::RoundTrip(original));
    state.counters["snr_db"] = signals::SnrDb(original, decoded);
    state.counters["gain_db"] = signals::SnrDb(original, decoded) - standard;
}

void DecodeLongestTrack(benchmark::State& state)
{
    const std::vector<std::uint8_t> coded(65527, 0x5A);
    for (auto _ : state) {
        auto samples = adpcm_decode(coded);
        benchmark::DoNotOptimize(samples.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * coded.size() * 2));
}

}  // namespace

BENCHMARK_CAPTURE(RoundTripQuality, speech_like, [] { return signals::SpeechLike(kRate, kSeconds); });
BENCHMARK_CAPTURE(RoundTripQuality, tone_440_harmonics, [] { return signals::Tone(440, 4, kRate, kSeconds); });
BENCHMARK_CAPTURE(RoundTripQuality, tone_1000, [] { return signals::Tone(1000, 1, kRate, kSeconds); });
BENCHMARK_CAPTURE(RoundTripQuality, tone_1000_quiet, [] { return signals::Tone(1000, 1, kRate, kSeconds, 500); });
BENCHMARK(DecodeLongestTrack);

#define QUORBIN_SEARCH_WIDTHS ->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond)
BENCHMARK_CAPTURE(SearchQuality, speech_like, [](double s) { return signals::SpeechLike(kRate, s); })
QUORBIN_SEARCH_WIDTHS;
BENCHMARK_CAPTURE(SearchQuality, tone_440_harmonics, [](double s) { return signals::Tone(440, 4, kRate, s); })
QUORBIN_SEARCH_WIDTHS;
BENCHMARK_CAPTURE(SearchQuality, plucked_notes, [](double s) { return signals::Plucked(kRate, s); })
QUORBIN_SEARCH_WIDTHS;
