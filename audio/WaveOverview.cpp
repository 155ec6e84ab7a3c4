#include "audio/WaveOverview.h"

#include <algorithm>
#include <cmath>

namespace quorbin {

WaveOverview::WaveOverview(int rate, std::size_t samplesPerPeak)
    : m_rate(std::max(rate, 1)),
      m_samplesPerPeak(std::max<std::size_t>(samplesPerPeak, 1))
{}

void WaveOverview::Append(std::span<const std::int16_t> samples)
{
    for (const std::int16_t sample : samples) {
        if (m_samples % m_samplesPerPeak == 0)
            m_peaks.push_back({sample, sample});
        SamplePeak& peak = m_peaks.back();
        peak.low = std::min(peak.low, sample);
        peak.high = std::max(peak.high, sample);
        ++m_samples;
    }
}

SamplePeak WaveOverview::PeakBetween(double from, double to) const
{
    const double perPeak = static_cast<double>(m_samplesPerPeak) / m_rate;
    const double first = std::floor(std::max(from, 0.0) / perPeak);
    if (first >= static_cast<double>(m_peaks.size()))
        return {};
    const auto begin = static_cast<std::size_t>(first);
    const double last = std::min(std::max(std::ceil(to / perPeak), first + 1), static_cast<double>(m_peaks.size()));
    const auto end = static_cast<std::size_t>(last);
    SamplePeak result = m_peaks[begin];
    for (std::size_t i = begin + 1; i < end; ++i) {
        result.low = std::min(result.low, m_peaks[i].low);
        result.high = std::max(result.high, m_peaks[i].high);
    }
    return result;
}

}  // namespace quorbin
