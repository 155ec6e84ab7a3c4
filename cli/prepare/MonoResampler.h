#pragma once
// Decodes a recording block by block, mixes its channels down to mono and
// resamples it with libsoxr, stopping as soon as enough samples exist.
#include <cstddef>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace quorbin::prepare {

struct MonoStream {
    std::vector<float> samples;
    bool readError = false;
};

// Reads `file` (`channels` interleaved at `sourceRate`) and returns at most
// `limit` mono samples at `targetRate`. Non-finite samples are read as silence.
MonoStream ReadMonoResampled(SNDFILE* file, int channels, int sourceRate, int targetRate, std::size_t limit);

} // namespace quorbin::prepare
