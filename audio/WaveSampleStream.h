#pragma once
// The samples of a WAVE file's "data" chunk as a SampleStream, read by
// position: a selection far into a long recording costs no more than one at
// its start.
#include <memory>

#include "audio/SampleEdit.h"
#include "audio/WaveReader.h"
#include "core/ByteSource.h"

namespace quorbin {

class WaveSampleStream final : public SampleStream {
public:
    // `reader` has accepted `source` at `rate`.
    WaveSampleStream(std::unique_ptr<ByteSource> source, const WaveReader& reader, int rate);

    int Rate() const override { return m_rate; }
    std::optional<std::uint64_t> StatedLength() const override { return m_reader.SampleCount(); }
    bool Read(std::span<float> out, std::size_t& got) override;
    bool Skip(std::uint64_t count) override;

private:
    std::unique_ptr<ByteSource> m_source;
    WaveReader m_reader;
    std::uint64_t m_next = 0;
    int m_rate;
};

}  // namespace quorbin
