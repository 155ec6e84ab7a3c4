#pragma once
// Which recordings the decoder module reads, told by their extension without
// loading it: the command line and the window point a refused file there.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

namespace quorbin::decode {

// The usual extensions of what libsndfile and FFmpeg read; raw samples are
// left out, as they need a format given by hand, which the preparation does not do.
inline constexpr std::array<std::string_view, 40> kDecodedExtensions = {
    "wav", "wave", "w64", "rf64", "aif",  "aiff", "aifc", "au",  "snd", "caf", "flac", "ogg", "oga",  "opus",
    "mp3", "mp2",  "m4a", "m4b",  "mp4",  "aac",  "amr",  "3gp", "3g2", "wma", "ac3",  "mka", "webm", "ape",
    "wv",  "voc",  "paf", "svx",  "nist", "sph",  "sf",   "mat", "pvf", "xi",  "htk",  "sds"};

// True when a file with this extension (without the dot, any case) is in a
// format the decoders read: "flac", "ogg", "m4a", ...
inline bool DecoderReadsExtension(std::string_view extension)
{
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kDecodedExtensions.begin(), kDecodedExtensions.end(), lower) != kDecodedExtensions.end();
}

}  // namespace quorbin::decode
