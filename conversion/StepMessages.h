#pragma once
// What the front-ends show for a step's outcome: the string-table message of a
// failure and the wording of its reason, in the language asked for.
#include <string>

#include "conversion/ConversionSteps.h"
#include "conversion/StepFailure.h"
#include "conversion/StringTable.h"

namespace quorbin {

// The string id of the message the user sees; IDS_OUTPUT_SIZE for StepFailure::None.
int MessageIdFor(StepFailure failure);

// The reason as a short phrase to add after the message ("Permission denied",
// "it would replace the recording itself"); empty when none is given.
std::string ReasonText(const FailureReason& reason, const Language& language = Language::English());

// The system's reason for a failure with errno `error` ("No such file or directory").
std::string ErrorText(int error, const Language& language = Language::English());

// "Output File Size : 0.18KB": the report text for a melody file of `size` bytes.
std::string FormatSizeReport(std::uint32_t size, const Language& language);

// "Kept the first 16.4 s of 35.5 s." for an extent that was cut, otherwise empty.
std::string FormatCutNote(const AudioExtent& extent, const Language& language);

}  // namespace quorbin
