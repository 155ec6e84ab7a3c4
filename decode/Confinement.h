#pragma once
// What the decoder child may do. Before it loads the decoders it limits its
// memory and processor time; once they are loaded it gives up opening files
// and starting processes, and then a system call filter leaves it only what
// decoding needs: reading the recording, writing its records, memory, time
// and exiting.
#include <cstdint>

namespace quorbin::decode {

inline constexpr std::uint64_t kMemoryLimitBytes = 512u << 20;
inline constexpr unsigned kProcessorSeconds = 30;

// Limits the address space and the processor time, and leaves no core file.
void LimitResources();

// No descriptors beyond the three open ones, no new processes.
void CloseDoors();

// Installs the system call filter; a call outside it ends the process after a
// StoppedRecord on `output`. False when the kernel refuses the filter.
bool InstallSystemCallFilter(int recording, int output);

}  // namespace quorbin::decode
