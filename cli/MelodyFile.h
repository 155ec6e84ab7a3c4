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

// Why a melody file was not loaded (UTF-8): what happened and the reason,
// which for a structural fault names its byte offset.
struct MelodyProblem {
    std::string message;  // "cannot open the file", "damaged or foreign melody file"
    std::string reason;   // "No such file or directory", "... at offset 12"
    bool structural = false;

    // "message: reason"; a structural fault is said by its reason alone.
    std::string Text() const { return structural ? reason : message + ": " + reason; }
};

// Reads and checks the melody file `name` ("-": standard input). Returns 0, or
// kExitNoInput or kExitDataError with `problem` set.
int LoadMelodyFile(const std::string& name, LoadedMelody& melody, MelodyProblem& problem);

}  // namespace quorbin::cli
