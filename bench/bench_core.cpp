// Encoder speed (ns per sample) and whole-conversion time for short and long recordings.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "WaveFixtures.h"
#include "audio/AdpcmEncoder.h"
#include "audio/WaveReader.h"
#include "mld/MldBuilder.h"
#include "mld/MldFormat.h"

using namespace quorbin;

namespace {

// Voiced, speech-like sound: a gliding pitch with a few harmonics under a
// syllable-rate envelope, plus breath noise.
std::vector<std::int16_t> SpeechLike(std::size_t count, std::uint32_t rate)
{
    std::mt19937 random(42);
    std::normal_distribution<double> breath(0.0, 600.0);
    std::vector<std::int16_t> samples(count);
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2 * M_PI * (140 + 40 * std::sin(2 * M_PI * 0.7 * t)) / rate;
        const double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 4 * t);
        const double voice = std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.3 * std::sin(3 * phase + 1);
        const double value = 9000 * envelope * voice + breath(random);
        samples[i] = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
    }
    return samples;
}

std::vector<std::int16_t> WhiteNoise(std::size_t count)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::vector<std::int16_t> samples(count);
    for (auto& s : samples)
        s = static_cast<std::int16_t>(full(random));
    return samples;
}

using EncodeFunction = Result<std::size_t> (*)(std::span<const std::int16_t>, std::span<std::uint8_t>);

void RunEncoder(benchmark::State& state, const std::vector<std::int16_t>& samples, EncodeFunction encode = adpcm_encode)
{
    std::vector<std::uint8_t> output(adpcm_coded_size(samples.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(encode(samples, output));
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(samples.size()) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The plain encoder that defines the codes, for comparison; its speed calibrates the machine.
void BM_ReferenceScalarEncodeSpeech(benchmark::State& state)
{
    RunEncoder(state, SpeechLike(16000, 16000), adpcm_encode_reference);
}

void BM_EncodeSpeechOneSecond(benchmark::State& state)
{
    RunEncoder(state, SpeechLike(16000, 16000));
}

void BM_EncodeNoiseOneSecond(benchmark::State& state)
{
    RunEncoder(state, WhiteNoise(16000));
}

void BM_EncodeFullTrack(benchmark::State& state)
{
    RunEncoder(state, SpeechLike(mld::kMaxSamples, 8000));
}

// Parse, read and build a melody file from a recording of range(0) seconds at
// range(1) Hz. Only the first 131054 samples reach the file, so at 16000 Hz a
// 10 s and a 10 min recording should cost the same.
void BM_ConvertRecording(benchmark::State& state)
{
    const auto seconds = static_cast<std::size_t>(state.range(0));
    const auto rate = static_cast<std::uint32_t>(state.range(1));
    const ByteBuffer wave = fixtures::MonoWave(SpeechLike(seconds * rate, rate), rate);
    ContentInfo info;
    info.title = "bench";
    info.date = "20030601";
    for (auto _ : state) {
        WaveReader reader(mld::kMinSampleRate, mld::kMaxSampleRate);
        MemorySource source(wave.Data(), wave.Size());
        const Result<std::int32_t> parsed = reader.Parse(source);
        const Result<std::vector<std::int16_t>> samples = reader.ReadSamples(source, 0, mld::kMaxSamples);
        const Result<ByteBuffer> melody = MldBuilder::Build(info, *samples, *parsed);
        benchmark::DoNotOptimize(melody->Data());
    }
}

}  // namespace

BENCHMARK(BM_ReferenceScalarEncodeSpeech);
BENCHMARK(BM_EncodeSpeechOneSecond);
BENCHMARK(BM_EncodeNoiseOneSecond);
BENCHMARK(BM_EncodeFullTrack);
BENCHMARK(BM_ConvertRecording)
    ->Args({10, 16000})
    ->Args({600, 16000})
    ->Args({10, 8000})
    ->Args({600, 8000})
    ->Unit(benchmark::kMicrosecond);
