#pragma once
// "quorbin-cli convert": each WAVE file goes through the same conversion steps
// as a file dropped on the window.
#include "cli/CommandLine.h"

namespace quorbin::cli {

Subcommand ConvertSubcommand();

}  // namespace quorbin::cli
