#pragma once
// Loading a melody file for the commands that read one back.
#include <string>

#include "core/ByteBuffer.h"
#include "mld/MldReader.h"

namespace quorbin::cli {

struct LoadedMelody {
    ByteBuffer bytes;
    MldContents contents;
};

// Reads and checks the melody file `name` ("-": standard input). Returns 0, or
// kExitNoInput or kExitDataError with `problem` set to what is wrong (UTF-8, with
// the byte offset of a structural fault).
int LoadMelodyFile(const std::string& name, LoadedMelody& melody, std::string& problem);

}  // namespace quorbin::cli
