#pragma once
// What "quorbin-cli convert" is: its name, its help texts (English; translated
// when shown) and its options, the sound's among them.
#include "cli/CommandLine.h"

namespace quorbin::cli {

// The subcommand without the function that runs it.
Subcommand ConvertDefinition();

}  // namespace quorbin::cli
