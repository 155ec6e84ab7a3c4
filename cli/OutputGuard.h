#pragma once
// Keeps one run of the command line from writing over one of its own inputs,
// or writing one output twice: every input is identified (device and inode,
// through links) before anything is written, and every output once written.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "conversion/StepFailure.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

class OutputGuard {
public:
    explicit OutputGuard(const std::vector<std::string>& inputs);

    // Why `output` may not be written in this run; kind None when it may.
    FailureReason Check(const std::filesystem::path& output) const;
    // Check for the melody file of a conversion and, when a preview follows,
    // for the WAVE file beside it, which may not be the melody file either.
    FailureReason CheckMelodyOutput(const std::filesystem::path& melody, bool preview) const;
    // Remembers that `input` was turned into `output`.
    void Written(const std::filesystem::path& output, const std::string& input);

private:
    using Entry = std::pair<FileIdentity, std::string>;
    static const Entry* Find(const std::vector<Entry>& entries, const FileIdentity& identity);

    std::vector<Entry> m_inputs;
    std::vector<Entry> m_written;
};

}  // namespace quorbin::cli
