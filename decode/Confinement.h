#pragma once
// What the decoder child may do. Before it loads the decoders it limits its
// memory and processor time; once they are loaded it gives up opening files
// and starting processes, and then a system call filter leaves it only what
// decoding needs: reading the recording, writing its records, memory, time
// and exiting.
#include <cstdint>
#include <optional>

namespace quorbin::decode {

inline constexpr std::uint64_t kMemoryLimitBytes = 512u << 20;

// The processor time a decoder may use on a recording of `bytes` (none: a
// stream): half a minute, and 10 s more a MiB, enough for whole scans of
// hours of sound at the lowest bit rates, while a decoder that spins on a
// small file is stopped soon. At most two hours; a stream gets half an hour.
constexpr unsigned ProcessorSecondsFor(std::optional<std::uint64_t> bytes)
{
    constexpr std::uint64_t kBase = 30, kPerMebibyte = 10, kMost = 2 * 3600, kStream = 1800;
    if (!bytes)
        return kStream;
    const std::uint64_t seconds = kBase + kPerMebibyte * (*bytes >> 20);
    return static_cast<unsigned>(seconds < kMost ? seconds : kMost);
}

// Limits the address space and the processor time, and leaves no core file.
void LimitResources(unsigned processorSeconds);

// No descriptors beyond the three open ones, no new processes.
void CloseDoors();

// Installs the system call filter; a call outside it ends the process after a
// StoppedRecord on `output`. False when the kernel refuses the filter.
bool InstallSystemCallFilter(int recording, int output);

}  // namespace quorbin::decode
