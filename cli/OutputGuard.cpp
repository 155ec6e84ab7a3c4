#include "cli/OutputGuard.h"

#include <algorithm>

#include "cli/MelodyCommands.h"
#include "cli/StandardStreams.h"

namespace quorbin::cli {

namespace {

// The entry of `entries` whose first member is `key`, or null.
template <typename Key>
const std::pair<Key, std::string>* Find(const std::vector<std::pair<Key, std::string>>& entries, const Key& key)
{
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.first == key; });
    return found == entries.end() ? nullptr : &*found;
}

FailureReason Naming(ReasonKind kind, const std::string& file)
{
    FailureReason reason = FailureReason::Of(kind);
    reason.file = file;
    return reason;
}

}  // namespace

OutputGuard::OutputGuard(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        if (IsStandardStream(input))
            continue;
        if (const auto identity = IdentifyFile(input))
            m_inputs.emplace_back(*identity, input);
    }
}

FailureReason OutputGuard::Check(const SaveTarget& output) const
{
    if (const auto* claimed = Find(m_claimed, output.Where()))
        return Naming(ReasonKind::AlreadyWritten, claimed->second);
    const auto identity = output.Identity();
    if (const auto* input = identity ? Find(m_inputs, *identity) : nullptr)
        return Naming(ReasonKind::ReplacesInput, input->second);
    return {};
}

FailureReason OutputGuard::CheckMelodyOutput(const SaveTarget& melody, bool preview) const
{
    FailureReason reason = Check(melody);
    SaveTarget wave;
    // A preview that cannot be resolved fails on its own, after the melody file.
    if (reason.Given() || !preview || !SaveTarget::Resolve(PreviewPathFor(melody.Requested()), wave))
        return reason;
    reason = Check(wave);
    const auto waveIdentity = wave.Identity();
    if (!reason.Given() && (wave.Where() == melody.Where() || (waveIdentity && waveIdentity == melody.Identity())))
        reason.kind = ReasonKind::ReplacesMelodyFile;
    return reason;
}

void OutputGuard::Claim(const SaveTarget::Place& output, const std::string& input)
{
    m_claimed.emplace_back(output, input);
}

void OutputGuard::Release(const SaveTarget::Place& output)
{
    std::erase_if(m_claimed, [&](const auto& entry) { return entry.first == output; });
}

}  // namespace quorbin::cli
