#pragma once
// The decoders (FFmpeg, libsndfile, libsoxr) load about 140 shared libraries.
// They live in a module of their own that only the decoder child
// (quorbin-decoder, installed beside it) loads, after limiting itself and
// before confining itself; these are the entries it looks up there.
#include "decode/DecodeRequest.h"
#include "decode/FrameReader.h"

namespace quorbin::decode {

struct DecodeJob {
    RecordingInput input;
    const DecodeRequest* request;
    int output;  // where the records go
};

// Makes the libraries do, before the child is confined, what they do on first
// use (reading processor features, starting helpers), and sets how much they say.
using InitialiseFunction = void (*)(bool verbose);
// Decodes the job's recording and sends the records, the last one Done or Failed.
using RunFunction = void (*)(const DecodeJob& job);

inline constexpr const char* kHelperFileName = "quorbin-decoder";
inline constexpr const char* kModuleFileName = "quorbin-decoders.so";
inline constexpr const char* kInitialiseEntry = "quorbin_decoder_initialise";
inline constexpr const char* kRunEntry = "quorbin_decoder_run";

}  // namespace quorbin::decode
