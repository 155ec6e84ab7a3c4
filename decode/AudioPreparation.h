#pragma once
// Turns a recording in any format FFmpeg or libsndfile reads (WAVE of any
// sample format, FLAC, Ogg Vorbis and Opus, MP3, AAC in .m4a/.mp4, AMR-NB,
// AIFF, ...) into what the converter accepts: one channel, 4000 to 16000
// samples per second, 16-bit samples, cut to what a melody file holds. Only
// the part of the recording that can reach a melody file is decoded.
#include <filesystem>

#include "core/Result.h"

#include "decode/FrameReader.h"
#include "decode/Preparation.h"

namespace quorbin::decode {

// Prepares the recording `input`, or says why not: NotAudioFile (a playlist,
// a network description, a picture, ...), Undecodable (no decoder makes sound
// of it), StreamTooLongForFit (--fit would have to read a stream again further
// back than is kept). Throws std::bad_alloc when memory runs out.
Result<PreparedRecording> PrepareRecording(const RecordingInput& input, const PreparationOptions& options);
// The same for the regular file at `source`; also the reason it cannot be opened.
Result<PreparedRecording> PrepareRecording(const std::filesystem::path& source, const PreparationOptions& options);

// Decodes the whole recording `input` as mono 16-bit samples at `rate`,
// handing each block to `sink` as soon as it is ready: for a waveform of hours
// of sound. Fails as PrepareRecording does; throws std::bad_alloc when memory runs out.
Result<> DecodeWhole(const RecordingInput& input, int rate, const SampleBlockSink& sink);

}  // namespace quorbin::decode
