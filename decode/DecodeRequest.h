#pragma once
// What the decoder child is asked to do, handed over as its command-line
// arguments: the module to load, the preparation, and whether the libraries
// may speak.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "decode/Preparation.h"

namespace quorbin::decode {

// What the child decodes: the part of the recording that can reach a melody
// file, prepared as `options` ask; or all of it as mono samples at the
// options' target rate, block by block (for a waveform).
enum class DecodeWork { Prepare, Whole };

struct DecodeRequest {
    std::filesystem::path module;  // the decoder module the child loads
    std::string name;              // the recording's file name, a hint for its format; may be empty
    PreparationOptions options;
    bool verbose = false;  // the libraries' own messages reach standard error
    DecodeWork work = DecodeWork::Prepare;
};

// The arguments after the program's name; ParseDecodeRequest reads them back exactly.
std::vector<std::string> DecodeRequestArguments(const DecodeRequest& request);
std::optional<DecodeRequest> ParseDecodeRequest(const std::vector<std::string>& arguments);

}  // namespace quorbin::decode
