#include "app/RecordingDecoder.h"

#include <filesystem>
#include <iostream>

#include "decode/DecoderProcess.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSource.h"
#include "platform/Translation.h"

namespace quorbin {
namespace {

// Said once on standard error, as the command line does.
void WarnWhenUnconfined(bool confined)
{
    static bool warned = false;
    if (confined || warned)
        return;
    warned = true;
    std::cerr << "quorbin: "
              << Tr("the kernel refused the decoder's system call filter; recordings are decoded in a child process "
                    "with limits, without the filter")
              << std::endl;
}

// Opens `path` and runs `decode` on it in the decoder child.
template <typename Decode>
StepFailure InChild(const std::string& path, FailureReason& reason, const Decode& decode)
{
    const Result<FileDescriptor> file = OpenRegularFile(path);
    if (!file) {
        reason = file.Reason();
        return StepFailure::CannotOpen;
    }
    bool confined = true;
    const Result<> decoded = decode(file->Get(), std::filesystem::path(path).filename().string(), confined);
    WarnWhenUnconfined(confined);
    reason = decoded.Reason();
    return decoded ? StepFailure::None : StepFailure::InvalidWave;
}

class ChildDecoder final : public RecordingDecoder {
public:
    StepFailure DecodeWhole(const std::string& path, int rate, const decode::SampleBlockSink& sink,
                            FailureReason& reason) override
    {
        return InChild(path, reason, [&](int fd, const std::string& name, bool& confined) {
            return decode::DecodeWholeRecording(fd, name, rate, {}, sink, confined);
        });
    }

    StepFailure Prepare(const std::string& path, const decode::PreparationOptions& options,
                        decode::PreparedRecording& prepared, FailureReason& reason) override
    {
        return InChild(path, reason, [&](int fd, const std::string& name, bool& confined) -> Result<> {
            Result<decode::PreparedRecording> decoded = decode::DecodeRecording(fd, name, options, {}, confined);
            if (!decoded)
                return decoded.Reason();
            prepared = std::move(*decoded);
            return {};
        });
    }
};

}  // namespace

std::unique_ptr<RecordingDecoder> MakeModuleDecoder()
{
    return std::make_unique<ChildDecoder>();
}

}  // namespace quorbin
