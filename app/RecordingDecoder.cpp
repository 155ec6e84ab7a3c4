#include "app/RecordingDecoder.h"

#include <dlfcn.h>

#include <cerrno>

#include "decode/PreparationModule.h"

namespace quorbin {
namespace {

// The module lies at a fixed place relative to the program, in the build tree
// as after installing.
void* LoadModuleEntry(const char* name)
{
    static void* const module = [] {
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        const auto path = program.parent_path() / QUORBIN_MODULE_RELATIVE_DIR / decode::kModuleFileName;
        return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }();
    return module ? ::dlsym(module, name) : nullptr;
}

StepFailure FailureOf(decode::PreparationStatus status, FailureReason& reason)
{
    switch (status) {
    case decode::PreparationStatus::Ok: return StepFailure::None;
    case decode::PreparationStatus::CannotOpen:
        reason = errno != 0 ? FailureReason::System(errno) : FailureReason{};
        return StepFailure::CannotOpen;
    case decode::PreparationStatus::Unreadable: break;
    }
    reason = FailureReason::Of(ReasonKind::Undecodable);
    return StepFailure::InvalidWave;
}

class ModuleDecoder final : public RecordingDecoder {
public:
    StepFailure DecodeWhole(const std::string& path, int rate, const decode::SampleBlockSink& sink,
                            FailureReason& reason) override
    {
        const auto decodeWhole = reinterpret_cast<decode::DecodeWholeFunction>(LoadModuleEntry(decode::kWholeEntry));
        if (!decodeWhole)
            return FailureOf(decode::PreparationStatus::Unreadable, reason);
        errno = 0;
        return FailureOf(decodeWhole(path, rate, sink), reason);
    }

    StepFailure Prepare(const std::string& path, const decode::PreparationOptions& options,
                        decode::PreparedRecording& prepared, FailureReason& reason) override
    {
        const auto prepare = reinterpret_cast<decode::PrepareRecordingFunction>(LoadModuleEntry(decode::kModuleEntry));
        if (!prepare)
            return FailureOf(decode::PreparationStatus::Unreadable, reason);
        errno = 0;
        return FailureOf(prepare(path, options, prepared), reason);
    }
};

}  // namespace

std::unique_ptr<RecordingDecoder> MakeModuleDecoder()
{
    return std::make_unique<ModuleDecoder>();
}

}  // namespace quorbin
