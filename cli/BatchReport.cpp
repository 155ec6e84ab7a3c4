#include "cli/BatchReport.h"

#include <ostream>

#include "cli/TerminalText.h"

namespace quorbin::cli {

BatchReport::BatchReport(Streams streams, BatchWork work, bool quiet) : m_streams(streams), m_work(work), m_quiet(quiet)
{}

void BatchReport::Tally(bool done)
{
    ++m_files;
    if (!done)
        ++m_failed;
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
    m_streams.err << file << ": ";
    Say(m_streams.err, text);
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
        const char* summary =
            m_work == BatchWork::Convert
                ? TrN("converted %1 of %2 file, %3 failed", "converted %1 of %2 files, %3 failed", m_files)
                : TrN("decoded %1 of %2 file, %3 failed", "decoded %1 of %2 files, %3 failed", m_files);
        Say(m_streams.err,
            Substitute(summary, {std::to_string(m_files - m_failed), std::to_string(m_files), std::to_string(m_failed)})
                + '\n');
        m_streams.err.flush();
    }
    return m_status;
}

}  // namespace quorbin::cli
