#include "cli/OutputGuard.h"

#include "cli/MelodyCommands.h"
#include "cli/StandardStreams.h"

namespace quorbin::cli {

OutputGuard::OutputGuard(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        if (IsStandardStream(input))
            continue;
        if (const auto identity = IdentifyFile(input))
            m_inputs.emplace_back(*identity, input);
    }
}

const OutputGuard::Entry* OutputGuard::Find(const std::vector<Entry>& entries, const FileIdentity& identity)
{
    for (const Entry& entry : entries) {
        if (entry.first == identity)
            return &entry;
    }
    return nullptr;
}

FailureReason OutputGuard::Check(const std::filesystem::path& output) const
{
    const auto identity = IdentifyFile(output);
    if (!identity)
        return {};
    FailureReason reason;
    if (const Entry* written = Find(m_written, *identity)) {
        reason = FailureReason::Of(ReasonKind::AlreadyWritten);
        reason.file = written->second;
    } else if (const Entry* input = Find(m_inputs, *identity)) {
        reason = FailureReason::Of(ReasonKind::ReplacesInput);
        reason.file = input->second;
    }
    return reason;
}

FailureReason OutputGuard::CheckMelodyOutput(const std::filesystem::path& melody, bool preview) const
{
    FailureReason reason = Check(melody);
    if (reason.Given() || !preview)
        return reason;
    const std::filesystem::path wave = PreviewPathFor(melody);
    reason = Check(wave);
    const auto waveIdentity = IdentifyFile(wave);
    if (!reason.Given() && waveIdentity && waveIdentity == IdentifyFile(melody)) {
        reason.kind = ReasonKind::ReplacesMelodyFile;
    }
    return reason;
}

void OutputGuard::Written(const std::filesystem::path& output, const std::string& input)
{
    if (const auto identity = IdentifyFile(output))
        m_written.emplace_back(*identity, input);
}

}  // namespace quorbin::cli
