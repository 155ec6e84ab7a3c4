#pragma once
// What the front-ends show for a step's outcome: the string-table message of a
// failure and the wording of its reason.
#include <string>

#include "conversion/StepFailure.h"

namespace quorbin {

// The string id of the message the user sees; IDS_OUTPUT_SIZE for StepFailure::None.
int MessageIdFor(StepFailure failure);

// The reason as a short English phrase to add after the message ("Permission
// denied", "it would replace the recording itself"); empty when none is given.
std::string ReasonText(const FailureReason& reason);

} // namespace quorbin
