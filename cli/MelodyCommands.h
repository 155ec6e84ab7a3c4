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

// The exit statuses shared with "convert", whose messages 2 and 6 name the same cases.
constexpr int kExitNoInput = 2;     // the file cannot be opened or read
constexpr int kExitCantCreate = 6;  // the WAVE file cannot be written, or exists and is kept
constexpr int kExitDataError = 65;  // not a melody file of the structure this program writes
// Not an exit status: WriteDecodedWave left an existing WAVE file alone as asked.
constexpr int kSkipped = -1;

// What writing a WAVE file does where a file already lies.
enum class WhenExists {
    Replace,
    Keep,              // fail with the reason "exists"
    KeepUnlessForced,  // fail, pointing at -o and --force
    Skip,              // return kSkipped
};

struct WaveWriting {
    OutputGuard* guard = nullptr;  // when given, the file must pass it and is recorded as written
    WhenExists existing = WhenExists::Replace;
};

Subcommand InfoSubcommand();
Subcommand DecodeSubcommand();

// "voice.mld" -> "voice.preview.wav" in the same folder.
std::filesystem::path PreviewPathFor(const std::filesystem::path& melodyFile);

// Reads the melody file `melodyFile` ("-": standard input), decodes its audio
// and writes it to `wavePath` ("-": `out`). The melody file is only read.
// Returns 0, kSkipped or one of the exit statuses above (kExitIoError when
// `out` fails); `text` says what was written or what went wrong.
int WriteDecodedWave(const std::string& melodyFile, const std::string& wavePath, std::ostream& out, std::string& text,
                     const WaveWriting& how = {});

}  // namespace quorbin::cli
