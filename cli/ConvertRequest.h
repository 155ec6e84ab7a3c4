#pragma once
// What "quorbin-cli convert" is asked to do: its options read and checked
// before any file is touched.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "audio/AdpcmSearchEncoder.h"
#include "cli/CommandLine.h"
#include "cli/ConvertOptions.h"
#include "cli/StandardStreams.h"
#include "decode/DecoderProcess.h"

namespace quorbin::cli {

// What the options ask for, checked before any file is touched.
struct ConvertRequest {
    std::optional<std::string> title;  // CP932; none: the file name
    std::string copyright;             // CP932
    bool protect = false;
    std::string date;                    // empty: today
    std::string output;                  // -o FILE ("-": standard output); empty: named after the source
    std::filesystem::path outputFolder;  // --output-dir or -o DIR; empty: beside the source
    bool noClobber = false;              // keep an existing melody file, failing
    bool skipExisting = false;           // keep an existing melody file, skipping the input
    bool quiet = false;
    bool preview = false;  // also write NAME.preview.wav beside the melody file
    EncoderQuality quality = EncoderQuality::Standard;
    SoundRequest sound;   // preparation of other formats, the part that is kept
    bool dryRun = false;  // report what would be written, write nothing
    decode::DecodeSettings decoding;
    std::vector<std::string> notes;  // said once before the files: what --cut-texts kept

    bool ToStandardOutput() const { return IsStandardStream(output); }
};

// The request of `arguments`; none, with `problem` set, on a usage error.
std::optional<ConvertRequest> ReadRequest(const ParsedArguments& arguments, const Streams& streams,
                                          std::string& problem);

}  // namespace quorbin::cli
