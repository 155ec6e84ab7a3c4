#pragma once
// Recordings in other formats, prepared through the decoder module, which is
// loaded on first use only.
#include <filesystem>
#include <string>
#include <string_view>

#include "decode/AudioPreparation.h"
#include "conversion/StepFailure.h"
#include "core/ByteBuffer.h"

namespace quorbin::cli {

// The prepared recording as a canonical 16-bit mono PCM WAVE in `wave`, its
// details in `details`. Returns StepFailure::None, CannotOpen or InvalidWave;
// when the module cannot be loaded, InvalidWave with `problem` saying why.
StepFailure PrepareWaveBytes(const std::filesystem::path& source, const decode::PreparationOptions& options,
                             ByteBuffer& wave, decode::PreparedRecording& details, std::string& problem);

// True when a file with this extension (without the dot, any case) is in a
// format the decoders read: "flac", "ogg", "m4a", ... Answered without loading them.
bool DecoderReadsExtension(std::string_view extension);

}  // namespace quorbin::cli
