#include "app/RingtoneSelection.h"

#include <algorithm>
#include <cmath>

namespace quorbin {
namespace {

double OnGrid(double seconds)
{
    return std::round(seconds / RingtoneSelection::kGrid) * RingtoneSelection::kGrid;
}

}  // namespace

void RingtoneSelection::SetDuration(double seconds)
{
    m_duration = std::max(seconds, 0.0);
    m_start = std::min(m_start, std::max(m_duration - kGrid, 0.0));
}

void RingtoneSelection::SetRate(int rate)
{
    m_rate = rate == kFit ? kFit : std::clamp(rate, decode::kLowestRate, decode::kHighestRate);
}

int RingtoneSelection::CodedRate() const
{
    if (m_rate != kFit)
        return m_rate;
    // As the decoders choose it: measured at the highest rate, then the highest that fits.
    const auto selected = static_cast<double>(std::llround(Length() * decode::kHighestRate));
    if (selected <= static_cast<double>(kMelodySampleLimit))
        return decode::kHighestRate;
    const double fitting = std::floor(static_cast<double>(kMelodySampleLimit) * decode::kHighestRate / selected);
    return std::clamp(static_cast<int>(fitting), decode::kLowestRate, decode::kHighestRate);
}

double RingtoneSelection::LongestLength() const
{
    const int rate = m_rate == kFit ? decode::kLowestRate : m_rate;
    return static_cast<double>(kMelodySampleLimit) / rate;
}

double RingtoneSelection::Length() const
{
    return std::max(0.0, std::min({m_length, LongestLength(), m_duration - m_start}));
}

void RingtoneSelection::SetStart(double seconds)
{
    m_start = std::clamp(OnGrid(seconds), 0.0, std::max(m_duration - kGrid, 0.0));
}

void RingtoneSelection::MoveTo(double start)
{
    m_start = std::clamp(start, 0.0, std::max(m_duration - Length(), 0.0));
}

void RingtoneSelection::MoveBy(double seconds)
{
    MoveTo(OnGrid(m_start + seconds));
}

void RingtoneSelection::SetLength(double seconds)
{
    m_length = std::clamp(OnGrid(seconds), kGrid, LongestLength());
}

void RingtoneSelection::SetStartEdge(double seconds)
{
    const double end = End();
    const double earliest = std::max(end - LongestLength(), 0.0);
    m_start = std::clamp(OnGrid(seconds), earliest, std::max(end - kGrid, earliest));
    m_length = end - m_start;
}

void RingtoneSelection::SetEndEdge(double seconds)
{
    const double end = std::clamp(OnGrid(seconds), m_start + kGrid, m_start + LongestLength());
    m_length = std::min(end, m_duration) - m_start;
}

decode::PreparationOptions RingtoneSelection::Preparation() const
{
    decode::PreparationOptions options;
    options.targetRate = m_rate == kFit ? decode::kHighestRate : m_rate;
    options.fit = m_rate == kFit;
    options.normalize = normalize;
    options.edit.startSeconds = Start();
    options.edit.lengthSeconds = Length();
    options.edit.fadeInMs = fadeInMs;
    options.edit.fadeOutMs = fadeOutMs;
    return options;
}

}  // namespace quorbin
