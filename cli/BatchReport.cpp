#include "cli/BatchReport.h"

#include <ostream>

#include "cli/TerminalText.h"

namespace quorbin::cli {

BatchReport::BatchReport(Streams streams, BatchWork work, bool quiet) : m_streams(streams), m_work(work), m_quiet(quiet)
{}

void BatchReport::Tally(FileOutcome outcome)
{
    ++m_files;
    m_failed += outcome == FileOutcome::Failed;
    m_skipped += outcome == FileOutcome::Skipped;
}

void BatchReport::Success(const std::string& file, std::string_view text)
{
    if (m_quiet)
        return;
    std::ostream& out = m_successOnErr ? m_streams.err : m_streams.out;
    out << ShownName(file) << ": ";
    Say(out, EscapeControls(text));
    out << std::endl;
    CheckOutput();
}

void BatchReport::Failure(const std::string& file, std::string_view text, int status)
{
    if (m_status == 0)
        m_status = status;
    m_streams.err << ShownName(file) << ": ";
    Say(m_streams.err, EscapeControls(text));
    m_streams.err << std::endl;
}

void BatchReport::Note(const std::string& file, std::string_view text)
{
    m_streams.err << ShownName(file) << ": ";
    Say(m_streams.err, EscapeControls(text));
    m_streams.err << std::endl;
}

void BatchReport::Skipped(const std::string& file, const std::string& output)
{
    if (m_quiet)
        return;
    m_streams.err << ShownName(file) << ": ";
    Say(m_streams.err, Substitute(Tr("skipped: %1 exists"), {EscapeControls(output)}));
    m_streams.err << std::endl;
}

void BatchReport::WarnOnce(std::string_view text)
{
    if (!m_warned.emplace(text).second)
        return;
    Say(m_streams.err, Substitute(Tr("quorbin-cli: warning: %1"), {text}) + "\n");
}

bool BatchReport::CheckOutput()
{
    if (m_streams.out.flush())
        return true;
    m_streams.out.clear();  // so that the next write is tried again
    if (m_status == 0)
        m_status = kExitIoError;
    return false;
}

int BatchReport::Finish()
{
    CheckOutput();
    if (m_files > 1 && !(m_quiet && m_failed == 0)) {
        const bool convert = m_work == BatchWork::Convert;
        const char* summary =
            m_skipped == 0
                ? (convert ? TrN("converted %1 of %2 file, %3 failed", "converted %1 of %2 files, %3 failed", m_files)
                           : TrN("decoded %1 of %2 file, %3 failed", "decoded %1 of %2 files, %3 failed", m_files))
            : convert ? TrN("converted %1 of %2 file, %4 skipped, %3 failed",
                            "converted %1 of %2 files, %4 skipped, %3 failed", m_files)
                      : TrN("decoded %1 of %2 file, %4 skipped, %3 failed",
                            "decoded %1 of %2 files, %4 skipped, %3 failed", m_files);
        const std::size_t done = m_files - m_failed - m_skipped;
        Say(m_streams.err, Substitute(summary, {std::to_string(done), std::to_string(m_files), std::to_string(m_failed),
                                                std::to_string(m_skipped)})
                               + '\n');
        m_streams.err.flush();
    }
    return m_status;
}

}  // namespace quorbin::cli
