#pragma once
// --fit reads the recording again at a lower rate. The tape keeps the
// recording mixed down to mono as far as it was decoded (up to a bound), so
// that each reading of it starts over from the first frame and goes on into
// the recording where the tape ends: a stream, which can be read only once,
// and a file, which then is decoded only once. Mixing first loses nothing:
// the readings mix a mono sample to itself.
//
// A recording that can seek is kept from the place the first reading seeks
// to (or from an earlier one it was told of), and a reading that seeks
// elsewhere reads the recording itself there.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decode/FrameReader.h"

namespace quorbin::decode {

class FrameTape {
public:
    // Keeps at most `maxSamples` mono samples of `source`.
    FrameTape(std::unique_ptr<FrameReader> source, std::size_t maxSamples);

    // A one-channel reader from the first frame; null once more was decoded than the tape keeps.
    std::unique_ptr<FrameReader> Rewound();
    int Rate() const { return m_source->Rate(); }
    // No reading seeks to a place before `frame`: the tape may start there.
    void KeepFrom(std::uint64_t frame) { m_keepFrom = frame; }

private:
    friend class TapeReader;
    std::uint64_t End() const { return m_first + m_samples.size(); }
    // Decodes up to `frames` more frames onto the tape and returns what the
    // source's Read returned. Drops the tape instead when it would hold too much.
    long Extend(long frames);
    // Makes ready for a reading that seeks to `frame`: a tape that holds
    // nothing yet starts there (or at the place it keeps from), and one that
    // ends a little before it is extended to it. False on a read error.
    bool Prepare(std::uint64_t frame);
    // Reads the source from `frame` on, seeking it there first when needed.
    long ReadSource(std::uint64_t frame, float* mono, long frames);

    std::unique_ptr<FrameReader> m_source;
    std::size_t m_maxSamples;
    std::uint64_t m_first = 0;     // the frame of the tape's first sample
    std::uint64_t m_sourceAt = 0;  // the frame the source reads next
    std::uint64_t m_keepFrom = 0;
    std::vector<float> m_samples;
    std::vector<float> m_frames;  // the source's interleaved frames before mixing
    bool m_dropped = false;       // more was read than it keeps; it starts over no more
};

}  // namespace quorbin::decode
