#include "cli/BatchReport.h"

#include <ostream>

#include "cli/TerminalText.h"

namespace quorbin::cli {

BatchReport::BatchReport(Streams streams, Text verb, bool quiet) : m_streams(streams), m_verb(verb), m_quiet(quiet) {}

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
        const std::string done = std::to_string(m_files - m_failed);
        const std::string all = std::to_string(m_files);
        const std::string failed = std::to_string(m_failed);
        const std::string verb = Tr(m_verb);
        Say(m_streams.err,
            UserLanguage() == Language::Japanese
                ? all + " 個のうち " + done + " 個のファイルを" + verb + "しました（" + failed + " 個失敗）\n"
                : verb + " " + done + " of " + all + " files, " + failed + " failed\n");
        m_streams.err.flush();
    }
    return m_status;
}

}  // namespace quorbin::cli
