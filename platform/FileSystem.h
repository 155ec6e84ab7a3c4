#pragma once
// File access of the conversion: whole-file read, free space, atomic save.
#include <cstdint>
#include <filesystem>
#include <functional>

#include "audio/ByteBuffer.h"

namespace quorbin {

// Free bytes that an ordinary user can write in the volume holding `folder`; -1.0 when unknown.
double GetFreeDiskBytes(const std::filesystem::path& folder);
using FreeSpaceQuery = std::function<double(const std::filesystem::path& folder)>;

} // namespace quorbin
