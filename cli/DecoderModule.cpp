#include "cli/DecoderModule.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "audio/WaveWriter.h"
#include "decode/PreparationModule.h"

namespace quorbin::cli {
namespace {

// The module lies at a fixed place relative to the program: in the build tree
// as after installing, every program sits one folder below the top.
std::filesystem::path ModulePath()
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return program.parent_path() / QUORBIN_MODULE_RELATIVE_DIR / decode::kModuleFileName;
}

// Loaded once and kept for the life of the process.
decode::PrepareRecordingFunction LoadEntry(std::string& problem)
{
    static std::string failure;
    static const decode::PrepareRecordingFunction entry = [] {
        const std::filesystem::path path = ModulePath();
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        void* symbol = module ? ::dlsym(module, decode::kModuleEntry) : nullptr;
        if (!symbol)
            failure = "cannot load the decoders: " + std::string(::dlerror());
        return reinterpret_cast<decode::PrepareRecordingFunction>(symbol);
    }();
    problem = failure;
    return entry;
}

// The usual extensions of what libsndfile and FFmpeg read; raw samples are
// left out, as they need a format given by hand, which the preparation does not do.
constexpr std::array<std::string_view, 40> kDecodedExtensions = {
    "wav", "wave", "w64", "rf64", "aif",  "aiff", "aifc", "au",  "snd", "caf", "flac", "ogg", "oga",  "opus",
    "mp3", "mp2",  "m4a", "m4b",  "mp4",  "aac",  "amr",  "3gp", "3g2", "wma", "ac3",  "mka", "webm", "ape",
    "wv",  "voc",  "paf", "svx",  "nist", "sph",  "sf",   "mat", "pvf", "xi",  "htk",  "sds"};

}  // namespace

bool DecoderReadsExtension(std::string_view extension)
{
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kDecodedExtensions.begin(), kDecodedExtensions.end(), lower) != kDecodedExtensions.end();
}

StepFailure PrepareWaveBytes(const std::filesystem::path& source, const decode::PreparationOptions& options,
                             ByteBuffer& wave, decode::PreparedRecording& details, std::string& problem)
{
    const decode::PrepareRecordingFunction prepareRecording = LoadEntry(problem);
    if (!prepareRecording)
        return StepFailure::InvalidWave;
    switch (prepareRecording(source, options, details)) {
    case decode::PreparationStatus::Ok: break;
    case decode::PreparationStatus::CannotOpen: return StepFailure::CannotOpen;
    case decode::PreparationStatus::Unreadable: return StepFailure::InvalidWave;
    }
    wave.Clear();
    const auto rate = static_cast<std::uint32_t>(details.sampleRate);
    return WriteMonoWave(details.samples, rate, wave) ? StepFailure::None : StepFailure::InvalidWave;
}

}  // namespace quorbin::cli
