#pragma once
// The fields of a WAVE "fmt " chunk that decide whether a recording is taken
// as it is: read by the WAVE reader, and carried by a failure's reason so
// that the message can say which format was found.
#include <cstdint>

namespace quorbin {

struct WaveFormat {
    std::uint16_t formatTag = 0;  // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
};

}  // namespace quorbin
