#pragma once
// The outline of a recording for drawing its waveform: the lowest and the
// highest sample of every few milliseconds, filled in block by block as the
// recording is decoded, so that hours of sound take a few megabytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorbin {

struct SamplePeak {
    std::int16_t low = 0;
    std::int16_t high = 0;
};

class WaveOverview {
public:
    // Samples arrive at `rate`; each peak covers `samplesPerPeak` of them.
    WaveOverview(int rate, std::size_t samplesPerPeak);

    void Append(std::span<const std::int16_t> samples);

    int Rate() const { return m_rate; }
    std::uint64_t Samples() const { return m_samples; }
    double Seconds() const { return static_cast<double>(m_samples) / m_rate; }

    // The extremes of the samples between `from` and `to` seconds, by whole
    // peaks (at least the one at `from`); {0, 0} outside what has arrived.
    SamplePeak PeakBetween(double from, double to) const;

private:
    int m_rate;
    std::size_t m_samplesPerPeak;
    std::uint64_t m_samples = 0;
    std::vector<SamplePeak> m_peaks;  // the last one grows until it is full
};

}  // namespace quorbin
