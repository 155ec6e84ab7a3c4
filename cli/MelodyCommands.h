#pragma once
// Commands that read melody files back: "info" prints what a file holds,
// "decode" writes its audio as a WAVE file, and the converter's preview uses
// the same decoding.
#include <filesystem>
#include <iosfwd>
#include <string>

#include "cli/CommandLine.h"

namespace quorbin::cli {

class OutputGuard;

constexpr int kExitDataError = 65;   // not a melody file of the structure this program writes
constexpr int kExitNoInput = 66;     // the file cannot be opened or read
constexpr int kExitCantCreate = 73;  // the WAVE file cannot be written

Subcommand InfoSubcommand();
Subcommand DecodeSubcommand();

// "voice.mld" -> "voice.preview.wav" in the same folder.
std::filesystem::path PreviewPathFor(const std::filesystem::path& melodyFile);

// Reads the melody file `melodyFile` ("-": standard input), decodes its audio
// and writes it to `wavePath` ("-": `out`). The melody file is only read.
// Returns 0 or one of the exit statuses above (kExitIoError when `out` fails);
// `text` says what was written or what went wrong. With a `guard`, a file
// `wavePath` must pass it and is recorded as written.
int WriteDecodedWave(const std::string& melodyFile, const std::string& wavePath, std::ostream& out, std::string& text,
                     OutputGuard* guard = nullptr);

}  // namespace quorbin::cli
