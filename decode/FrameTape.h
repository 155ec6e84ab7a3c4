#pragma once
// A stream can be read only once, but --fit reads the recording again at a
// lower rate. The tape keeps the recording mixed down to mono as far as it
// was decoded (up to a bound), so that each reading of it starts over from
// the first frame and goes on into the stream where the tape ends. Mixing
// first loses nothing: the readings mix a mono sample to itself.
#include <cstddef>
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

private:
    friend class TapeReader;
    // Decodes up to `frames` more frames onto the tape and returns what the
    // source's Read returned. Drops the tape instead when it would hold too much.
    long Extend(long frames);

    std::unique_ptr<FrameReader> m_source;
    std::size_t m_maxSamples;
    std::vector<float> m_samples;
    std::vector<float> m_frames;  // the source's interleaved frames before mixing
    bool m_dropped = false;       // more was read than it keeps; it starts over no more
};

}  // namespace quorbin::decode
