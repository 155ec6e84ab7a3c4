#include "audio/WaveSampleStream.h"

#include <algorithm>

namespace quorbin {

WaveSampleStream::WaveSampleStream(std::unique_ptr<ByteSource> source, const WaveReader& reader, int rate)
    : m_source(std::move(source)),
      m_reader(reader),
      m_rate(rate)
{}

bool WaveSampleStream::Read(std::span<float> out, std::size_t& got)
{
    const Result<std::vector<std::int16_t>> samples = m_reader.ReadSamples(*m_source, m_next, out.size());
    if (!samples)
        return false;
    got = samples->size();
    std::transform(samples->begin(), samples->end(), out.begin(),
                   [](std::int16_t value) { return static_cast<float>(value / 32768.0); });
    m_next += got;
    return true;
}

bool WaveSampleStream::Skip(std::uint64_t count)
{
    m_next += std::min(count, m_reader.SampleCount() - m_next);
    return true;
}

}  // namespace quorbin
