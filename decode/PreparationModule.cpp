#include "decode/PreparationModule.h"

extern "C" __attribute__((visibility("default"))) quorbin::decode::PreparationStatus
quorbin_prepare_recording(const std::filesystem::path& source, const quorbin::decode::PreparationOptions& options,
                          quorbin::decode::PreparedRecording& out)
{
    return quorbin::decode::PrepareRecording(source, options, out);
}

extern "C" __attribute__((visibility("default"))) quorbin::decode::PreparationStatus
quorbin_decode_whole(const std::filesystem::path& source, int rate, const quorbin::decode::SampleBlockSink& sink)
{
    return quorbin::decode::DecodeWhole(source, rate, sink);
}

// Checked here so that a change of either side fails to build rather than to run.
static_assert(std::is_same_v<decltype(&quorbin_prepare_recording), quorbin::decode::PrepareRecordingFunction>);
static_assert(std::is_same_v<decltype(&quorbin_decode_whole), quorbin::decode::DecodeWholeFunction>);
