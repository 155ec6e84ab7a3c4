#pragma once
// The outcome lines of a batch of files ("FILE: text"), its closing summary and
// its exit status. Output is checked as it goes: a failed write to standard
// output (a closed pipe, a full disk) does not stop the batch but ends it with
// kExitIoError.
#include <cstddef>
#include <set>
#include <string>

#include "cli/CommandLine.h"

namespace quorbin::cli {

// What a batch does to each file, as its summary says it.
enum class BatchWork { Convert, Decode };

// What became of one file of a batch.
enum class FileOutcome { Done, Failed, Skipped };

class BatchReport {
public:
    BatchReport(Streams streams, BatchWork work, bool quiet);

    // Success lines go to standard error while standard output carries a file.
    void SendSuccessToErrors() { m_successOnErr = true; }

    // "FILE: text" (UTF-8) on standard output unless quiet. Control characters
    // in the name and the text are shown as \xNN.
    void Success(const std::string& file, std::string_view text);
    // "FILE: text" on standard error; the first failure's status becomes the batch's.
    void Failure(const std::string& file, std::string_view text, int status);
    // "FILE: text" on standard error, quiet or not, without a failure.
    void Note(const std::string& file, std::string_view text);
    // "FILE: skipped: OUT exists" on standard error unless quiet.
    void Skipped(const std::string& file, const std::string& output);
    // "quorbin-cli: warning: text" on standard error, once in the batch.
    void WarnOnce(std::string_view text);
    // Counts one file of the batch for the summary.
    void Tally(FileOutcome outcome);
    // Records kExitIoError (unless a failure came first) when standard output
    // has failed since the last check; true when it is still fine.
    bool CheckOutput();

    // With more than one file, "converted 2 of 3 files, 1 failed" (and how
    // many were skipped, when some were) on standard error, left out when quiet
    // and nothing failed. Returns the exit status: skipped files do not fail it.
    int Finish();

private:
    Streams m_streams;
    BatchWork m_work;
    bool m_quiet;
    bool m_successOnErr = false;
    std::set<std::string, std::less<>> m_warned;
    std::size_t m_files = 0;
    std::size_t m_failed = 0;
    std::size_t m_skipped = 0;
    int m_status = 0;
};

}  // namespace quorbin::cli
