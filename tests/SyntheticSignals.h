#pragma once
// Reproducible test recordings for measuring how well sound survives the
// 4-bit coding: a speech-like signal, a tone with harmonics, a pure tone; and
// the signal-to-noise ratio of a coding round trip.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "audio/AdpcmDecoder.h"
#include "audio/AdpcmEncoder.h"

namespace quorbin::signals {

inline std::vector<std::int16_t> ToSamples(const std::vector<double>& wave, double peak)
{
    double largest = 1e-9;
    for (const double v : wave)
        largest = std::max(largest, std::abs(v));
    std::vector<std::int16_t> samples;
    samples.reserve(wave.size());
    for (const double v : wave)
        samples.push_back(static_cast<std::int16_t>(std::lround(v / largest * peak)));
    return samples;
}

// Sum of harmonics of `fundamental` with amplitudes 1, 1/2, 1/3, ...
inline std::vector<std::int16_t> Tone(double fundamental, int harmonics, std::uint32_t rate, double seconds,
                                      double peak = 12000)
{
    std::vector<double> wave(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < wave.size(); ++i)
        for (int h = 1; h <= harmonics; ++h)
            wave[i] += std::sin(2 * std::numbers::pi * fundamental * h * i / rate) / h;
    return ToSamples(wave, peak);
}

// Two-pole resonator at `frequency` with `bandwidth`, the usual formant filter.
class Resonator {
public:
    void Tune(double frequency, double bandwidth, std::uint32_t rate)
    {
        const double r = std::exp(-std::numbers::pi * bandwidth / rate);
        m_a1 = 2 * r * std::cos(2 * std::numbers::pi * frequency / rate);
        m_a2 = -r * r;
        m_gain = 1 - r;
    }
    double Step(double x)
    {
        const double y = m_gain * x + m_a1 * m_y1 + m_a2 * m_y2;
        m_y2 = m_y1;
        m_y1 = y;
        return y;
    }

private:
    double m_a1 = 0, m_a2 = 0, m_gain = 0, m_y1 = 0, m_y2 = 0;
};

// Syllables of voiced sound (a gliding pulse train through three vowel formants)
// with fricative noise between them, four syllables a second.
inline std::vector<std::int16_t> SpeechLike(std::uint32_t rate, double seconds, double peak = 20000)
{
    constexpr std::array<std::array<double, 3>, 4> kVowels = {
        {{730, 1090, 2440}, {270, 2290, 3010}, {300, 870, 2240}, {530, 1840, 2480}}};
    constexpr double kSyllable = 0.25;
    std::mt19937 rng(8000);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::array<Resonator, 3> formants;
    Resonator hiss;
    hiss.Tune(std::min(3500.0, rate * 0.42), 1500, rate);
    std::vector<double> wave(static_cast<std::size_t>(rate * seconds));
    double phase = 0, source = 0, lastMixed = 0, blocked = 0;
    std::size_t tunedFor = SIZE_MAX;
    for (std::size_t i = 0; i < wave.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const auto syllable = static_cast<std::size_t>(t / kSyllable);
        const double within = t / kSyllable - syllable;
        if (syllable != tunedFor) {
            for (int f = 0; f < 3; ++f)
                formants[f].Tune(std::min(kVowels[syllable % 4][f], rate * 0.45), 80 + 40 * f, rate);
            tunedFor = syllable;
        }
        const double f0 = 110 + 30 * std::sin(2 * std::numbers::pi * 0.7 * t) + 20 * (1 - within);
        phase += f0 / rate;
        double pulse = 0;
        if (phase >= 1) {
            phase -= 1;
            pulse = 1;
        }
        const double voiced = within < 0.75 ? std::sin(std::numbers::pi * within / 0.75) : 0.0;
        const double fricative = within >= 0.78 ? std::sin(std::numbers::pi * (within - 0.78) / 0.22) : 0.0;
        // Glottal source and lip radiation together fall by about 6 dB an octave.
        source = pulse * voiced + 0.9 * source;
        double v = 0;
        for (Resonator& r : formants)
            v += r.Step(source * 40);
        const double mixed = v + 0.25 * fricative * hiss.Step(noise(rng));
        // Remove the pulse train's constant part, as a microphone does.
        blocked = mixed - lastMixed + 0.995 * blocked;
        lastMixed = mixed;
        wave[i] = blocked;
    }
    return ToSamples(wave, peak);
}

// Plucked strings (Karplus-Strong): a note every 0.4 s from a pentatonic
// scale, each a burst of noise through a delay line that loses a little at
// every pass, so it starts sharp and rings down; up to two notes sound at once.
inline std::vector<std::int16_t> Plucked(std::uint32_t rate, double seconds, double peak = 20000)
{
    constexpr std::array<double, 8> kNotes = {196.0, 220.0, 261.6, 293.7, 329.6, 392.0, 440.0, 523.3};
    constexpr double kNoteSeconds = 0.4;
    std::mt19937 rng(440);
    std::uniform_real_distribution<double> burst(-1.0, 1.0);
    std::vector<double> wave(static_cast<std::size_t>(rate * seconds));
    const auto noteLength = static_cast<std::size_t>(rate * kNoteSeconds);
    for (std::size_t start = 0, n = 0; start < wave.size(); start += noteLength, ++n) {
        std::vector<double> line(static_cast<std::size_t>(rate / kNotes[(n * 5) % kNotes.size()]));
        for (double& v : line)
            v = burst(rng);
        const std::size_t end = std::min(wave.size(), start + 2 * noteLength);
        for (std::size_t i = start, k = 0; i < end; ++i, k = (k + 1) % line.size()) {
            const double next = line[(k + 1) % line.size()];
            wave[i] += line[k];
            line[k] = 0.498 * (line[k] + next);
        }
    }
    return ToSamples(wave, peak);
}

// Encodes `samples` as one stream, decodes it, and returns the decoded samples.
inline std::vector<std::int16_t> RoundTrip(std::span<const std::int16_t> samples)
{
    std::vector<std::uint8_t> coded(adpcm_coded_size(samples.size()));
    if (!adpcm_encode(samples, coded))
        return {};
    std::vector<std::int16_t> decoded = adpcm_decode(coded);
    decoded.resize(samples.size());
    return decoded;
}

// 10 log10(signal energy / error energy), in dB.
inline double SnrDb(std::span<const std::int16_t> original, std::span<const std::int16_t> decoded)
{
    double signal = 0, error = 0;
    for (std::size_t i = 0; i < original.size() && i < decoded.size(); ++i) {
        signal += static_cast<double>(original[i]) * original[i];
        const double e = static_cast<double>(original[i]) - decoded[i];
        error += e * e;
    }
    return 10 * std::log10(signal / std::max(error, 1e-9));
}

}  // namespace quorbin::signals
