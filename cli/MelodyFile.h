#pragma once
// Loading a melody file for the commands that read one back.
#include <filesystem>
#include <iosfwd>
#include <string>

#include "core/ByteBuffer.h"
#include "mld/MldReader.h"

namespace quorbin::cli {

struct LoadedMelody {
    ByteBuffer bytes;
    MldContents contents;
};

// Reads and checks the file at `path`. On failure prints "NAME: message" (with
// the byte offset of a structural fault) on `err` and returns kExitNoInput or
// kExitDataError; returns 0 on success.
int LoadMelodyFile(const std::filesystem::path& path, LoadedMelody& melody, std::ostream& err);

} // namespace quorbin::cli
