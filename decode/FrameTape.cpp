#include "decode/FrameTape.h"

#include <algorithm>

#include "decode/MonoResampler.h"

namespace quorbin::decode {

// One reading of the tape. Readings follow one another; they never interleave.
class TapeReader final : public FrameReader {
public:
    explicit TapeReader(FrameTape& tape) : m_tape(tape) {}

    int Channels() const override { return 1; }
    int Rate() const override { return m_tape.m_source->Rate(); }
    std::optional<std::uint64_t> StatedFrames() const override { return m_tape.m_source->StatedFrames(); }
    long Read(float* mono, long frames) override
    {
        const std::vector<float>& samples = m_tape.m_samples;
        if (m_next == samples.size() && !m_tape.m_dropped) {
            const long got = m_tape.Extend(frames);
            if (got <= 0)
                return got;
        }
        if (m_tape.m_dropped)
            return ReadPastTheTape(mono, frames);
        const std::size_t take = std::min(static_cast<std::size_t>(frames), samples.size() - m_next);
        std::copy_n(samples.data() + m_next, take, mono);
        m_next += take;
        return static_cast<long>(take);
    }

private:
    // Past what the tape could keep, straight from the source.
    long ReadPastTheTape(float* mono, long frames)
    {
        std::vector<float>& interleaved = m_tape.m_frames;
        interleaved.resize(static_cast<std::size_t>(frames) * m_tape.m_source->Channels());
        const long got = m_tape.m_source->Read(interleaved.data(), frames);
        if (got > 0)
            MixToMono(interleaved.data(), static_cast<std::size_t>(got), m_tape.m_source->Channels(), mono);
        return got;
    }

    FrameTape& m_tape;
    std::size_t m_next = 0;  // the next sample of the tape to hand out
};

FrameTape::FrameTape(std::unique_ptr<FrameReader> source, std::size_t maxSamples)
    : m_source(std::move(source)),
      m_maxSamples(maxSamples)
{
    // Room for all at once, so that growing never holds two copies; pages are taken as they are written.
    m_samples.reserve(maxSamples);
}

std::unique_ptr<FrameReader> FrameTape::Rewound()
{
    if (m_dropped)
        return nullptr;
    return std::make_unique<TapeReader>(*this);
}

long FrameTape::Extend(long frames)
{
    const std::size_t used = m_samples.size();
    if (used + static_cast<std::size_t>(frames) > m_maxSamples) {
        m_dropped = true;
        m_samples = {};
        return frames;
    }
    m_frames.resize(static_cast<std::size_t>(frames) * m_source->Channels());
    const long got = m_source->Read(m_frames.data(), frames);
    if (got > 0) {
        m_samples.resize(used + static_cast<std::size_t>(got));
        MixToMono(m_frames.data(), static_cast<std::size_t>(got), m_source->Channels(), m_samples.data() + used);
    }
    return got;
}

}  // namespace quorbin::decode
