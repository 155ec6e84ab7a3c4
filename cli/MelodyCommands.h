#pragma once
// Commands that read melody files back: "info" prints what a file holds,
// "decode" writes its audio as a WAVE file, and the converter's preview uses
// the same decoding.
#include <filesystem>
#include <iosfwd>

#include "cli/CommandLine.h"

namespace quorbin::cli {

constexpr int kExitDataError = 65;   // not a melody file of the structure this program writes
constexpr int kExitNoInput = 66;     // the file cannot be opened or read
constexpr int kExitCantCreate = 73;  // the WAVE file cannot be written

Subcommand InfoSubcommand();
Subcommand DecodeSubcommand();

// "voice.mld" -> "voice.preview.wav" in the same folder.
std::filesystem::path PreviewPathFor(const std::filesystem::path& melodyFile);

// Reads the melody file at `melodyFile` back from disk, decodes its audio and
// writes it to `wavePath`. The melody file is only read. Messages go to
// `streams`; returns 0 or one of the exit statuses above.
int WriteDecodedWave(const std::filesystem::path& melodyFile, const std::filesystem::path& wavePath,
                     Streams streams);

} // namespace quorbin::cli
