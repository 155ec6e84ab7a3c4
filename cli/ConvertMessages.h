#pragma once
// What "convert" says about one file beyond the string table's message: the
// reason and the way out of a failure, the notes on what was kept, the line
// of a dry run. In the user's language.
#include <cstdint>
#include <string>

#include "conversion/ConversionSteps.h"
#include "conversion/StepFailure.h"

namespace quorbin::cli {

struct ConvertRequest;

// "message: reason (melody file)" for a failure of the steps, with the way out
// where there is one: --resample for a file the decoders read, the times of a
// selection too short to play.
std::string FailureText(StepFailure failure, const FailureReason& reason, const std::string& source,
                        const std::string& shownOutput, const AudioExtent& extent, const ConvertRequest& request);

// "note: kept the first 16.4 s of 35.5 s (...)" when the melody file could not
// hold the whole selection, with the options that would keep more; empty otherwise.
std::string CutNote(const AudioExtent& extent, const ConvertRequest& request);

// "note: the recording ends at 0:40.0, ..." when the recording ends before the
// length asked for with --length or --end; empty otherwise.
std::string ShortSelectionNote(const AudioExtent& extent, const ConvertRequest& request);

// "would write OUT.mld: 8000 Hz, 16.4 s of 35.5 s, 65730 bytes (Output File Size : 64.19KB)"
std::string DryRunText(const AudioExtent& extent, std::uint32_t size, const std::string& shownOutput);

}  // namespace quorbin::cli
