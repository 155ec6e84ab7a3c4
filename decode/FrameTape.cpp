#include "decode/FrameTape.h"

#include <algorithm>

#include "decode/MonoResampler.h"

namespace quorbin::decode {
namespace {

// How far past its end the tape is extended for a seek rather than reading the recording there.
constexpr std::uint64_t kNearSeconds = 2;

}  // namespace

// One reading of the tape. Readings follow one another; they never interleave.
class TapeReader final : public FrameReader {
public:
    explicit TapeReader(FrameTape& tape) : m_tape(tape) {}

    int Channels() const override { return 1; }
    int Rate() const override { return m_tape.m_source->Rate(); }
    std::optional<std::uint64_t> StatedFrames() const override { return m_tape.m_source->StatedFrames(); }
    bool CanSeek() const override { return m_tape.m_source->CanSeek(); }
    bool Seek(std::uint64_t frame) override
    {
        m_next = frame;
        return m_tape.Prepare(frame);
    }
    long Read(float* mono, long frames) override
    {
        if (m_next == m_tape.End() && !m_tape.m_dropped) {
            const long got = m_tape.Extend(frames);
            if (got <= 0)
                return got;
        }
        const std::vector<float>& samples = m_tape.m_samples;
        long got = 0;
        if (m_next >= m_tape.m_first && m_next < m_tape.End()) {
            const std::size_t from = static_cast<std::size_t>(m_next - m_tape.m_first);
            got = static_cast<long>(std::min(static_cast<std::size_t>(frames), samples.size() - from));
            std::copy_n(samples.data() + from, got, mono);
        } else {
            got = m_tape.ReadSource(m_next, mono, frames);  // off the tape, or past what it could keep
        }
        if (got > 0)
            m_next += static_cast<std::uint64_t>(got);
        return got;
    }

private:
    FrameTape& m_tape;
    std::uint64_t m_next = 0;  // the next frame to hand out
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
        m_first = End();
        m_samples = {};
        return frames;
    }
    const std::uint64_t end = End();
    m_samples.resize(used + static_cast<std::size_t>(frames));
    const long got = ReadSource(end, m_samples.data() + used, frames);
    m_samples.resize(used + static_cast<std::size_t>(std::max(got, 0L)));
    return got;
}

bool FrameTape::Prepare(std::uint64_t frame)
{
    const std::uint64_t near = kNearSeconds * static_cast<std::uint64_t>(m_source->Rate());
    if (m_samples.empty() && !m_dropped) {
        const std::uint64_t from = frame >= m_keepFrom && frame - m_keepFrom <= near ? m_keepFrom : frame;
        if (from != m_sourceAt && !m_source->Seek(from))
            return false;
        m_first = m_sourceAt = from;
    }
    while (!m_dropped && frame > End() && frame >= m_first && frame - End() <= near) {
        const long got = Extend(static_cast<long>(std::min<std::uint64_t>(frame - End(), 4096)));
        if (got < 0)
            return false;
        if (got == 0)
            break;
    }
    return true;
}

long FrameTape::ReadSource(std::uint64_t frame, float* mono, long frames)
{
    if (frame != m_sourceAt) {
        if (!m_source->Seek(frame))
            return -1;
        m_sourceAt = frame;
    }
    m_frames.resize(static_cast<std::size_t>(frames) * m_source->Channels());
    const long got = m_source->Read(m_frames.data(), frames);
    if (got > 0) {
        m_sourceAt += static_cast<std::uint64_t>(got);
        MixToMono(m_frames.data(), static_cast<std::size_t>(got), m_source->Channels(), mono);
    }
    return got;
}

}  // namespace quorbin::decode
