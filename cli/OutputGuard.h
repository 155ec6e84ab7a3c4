#pragma once
// Keeps one run of the command line from writing over one of its own inputs,
// or writing one output twice: every input is identified (device and inode,
// through links) before anything is written, and every output is claimed when
// its file is written. Outputs are looked at where they are resolved to, so
// the check and the save see the same file.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "conversion/StepFailure.h"
#include "platform/FileSave.h"

namespace quorbin::cli {

class OutputGuard {
public:
    explicit OutputGuard(const std::vector<std::string>& inputs);

    // Why `output` may not be written in this run; kind None when it may.
    FailureReason Check(const SaveTarget& output) const;
    // Check for the melody file of a conversion and, when a preview follows,
    // for the WAVE file beside it, which may not be the melody file either.
    FailureReason CheckMelodyOutput(const SaveTarget& melody, bool preview) const;
    // Remembers that `input` is written to `output`; Release forgets it again
    // when that save failed after all.
    void Claim(const SaveTarget::Place& output, const std::string& input);
    void Release(const SaveTarget::Place& output);

private:
    std::vector<std::pair<FileIdentity, std::string>> m_inputs;
    std::vector<std::pair<SaveTarget::Place, std::string>> m_claimed;
};

}  // namespace quorbin::cli
