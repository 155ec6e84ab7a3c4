#include "cli/prepare/PreparationModule.h"

extern "C" __attribute__((visibility("default"))) quorbin::prepare::PreparationStatus
quorbin_prepare_recording(const std::filesystem::path& source, const quorbin::prepare::PreparationOptions& options,
                          quorbin::prepare::PreparedRecording& out)
{
    return quorbin::prepare::PrepareRecording(source, options, out);
}

// Checked here so that a change of either side fails to build rather than to run.
static_assert(std::is_same_v<decltype(&quorbin_prepare_recording), quorbin::prepare::PrepareRecordingFunction>);
