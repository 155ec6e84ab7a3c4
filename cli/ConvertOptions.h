#pragma once
// The options of "convert" that shape the sound: preparation of other formats
// (--resample, --rate, --normalize, --fit) and the part that becomes the melody
// (--start, --length, --end, --trim-silence, --fade-in, --fade-out).
#include <optional>
#include <string>
#include <vector>

#include "audio/SampleEdit.h"
#include "cli/CommandLine.h"
#include "decode/AudioPreparation.h"

namespace quorbin::cli {

std::vector<OptionDefinition> SoundOptionDefinitions();

// Reads --resample, --rate HZ and --normalize. Returns nullopt when none was
// given, or, with `problem` set, when --rate is not a whole number from
// 4000 to 16000.
std::optional<decode::PreparationOptions> PreparationFromOptions(bool resample, const std::optional<std::string>& rate,
                                                                 bool normalize, std::string& problem);

struct SoundRequest {
    EditOptions edit;
    std::optional<decode::PreparationOptions> preparation;  // none: a native WAVE file only
};

// Reads every option of SoundOptionDefinitions(); nullopt with `problem` set on a usage error.
std::optional<SoundRequest> ReadSoundRequest(const ParsedArguments& arguments, std::string& problem);

}  // namespace quorbin::cli
