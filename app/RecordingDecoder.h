#pragma once
// How the ringtone editor has a recording decoded: the whole of it for the
// waveform, block by block as it is ready, and the selection as the melody
// file gets it, exactly as the command line's --resample prepares it. Free of Qt.
#include <memory>
#include <string>

#include "conversion/StepFailure.h"
#include "decode/Preparation.h"

namespace quorbin {

class RecordingDecoder {
public:
    virtual ~RecordingDecoder() = default;

    // Decodes all of `path` as mono samples at `rate`, giving each block to
    // `sink` as soon as it is ready; `sink` returns false to stop. Returns
    // StepFailure::None (also when stopped), CannotOpen or InvalidWave, with `reason`.
    virtual StepFailure DecodeWhole(const std::string& path, int rate, const decode::SampleBlockSink& sink,
                                    FailureReason& reason) = 0;

    // The part of `path` that `options` describe, prepared as the melody file
    // gets it; the same results as DecodeWhole.
    virtual StepFailure Prepare(const std::string& path, const decode::PreparationOptions& options,
                                decode::PreparedRecording& prepared, FailureReason& reason) = 0;
};

// Decodes in the confined decoder child, as the command line does.
std::unique_ptr<RecordingDecoder> MakeModuleDecoder();

}  // namespace quorbin
