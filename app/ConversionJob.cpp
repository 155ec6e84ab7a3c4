#include "app/ConversionJob.h"

#include <QApplication>
#include <QFile>

#include "app/MainDialog.h"
#include "conversion/StepMessages.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"

namespace quorbin {
namespace {

// The busy cursor of one job: it shows while the job works and gives way to
// the normal pointer while a dialog waits for the user.
class BusyCursor {
public:
    ~BusyCursor() { End(); }
    void Begin()
    {
        if (m_on)
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_on = true;
    }
    void End()
    {
        if (!m_on)
            return;
        QApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = false;
};

}  // namespace

ConversionJob::ConversionJob(MainDialog& window, const QString& path, const ConversionOptions& options)
    : m_window(window),
      m_steps(QFile::encodeName(path).toStdString(), options)
{}

void ConversionJob::Run()
{
    BusyCursor busy;
    busy.Begin();
    if (const StepFailure failure = m_steps.Prepare(); failure != StepFailure::None) {
        busy.End();
        m_window.m_savedRect = m_window.PlacedRect();
        m_window.ShowMessage(FailureMessage(failure), m_window.m_savedRect);
        return;
    }

    InfoDialog info(&m_window, m_window.DialogLanguage());
    info.SetTitle(m_steps.DefaultTitle());
    busy.End();
    if (m_window.RunWithSavedRect(info) != SkinnedDialog::ResultOk)
        return;

    busy.Begin();
    ContentInfo content;
    content.title = info.Title();
    content.copyright = info.Copyright();
    content.protectionFlag = info.Protection() ? 1 : 0;
    const StepFailure failure = m_steps.Finish(content);
    busy.End();
    m_window.ShowMessage(failure == StepFailure::None ? ReportMessage() : FailureMessage(failure), info.m_lastRect);
}

JobMessage ConversionJob::FailureMessage(StepFailure failure) const
{
    const Language& language = m_window.DialogLanguage();
    return {MessageDialog::KindError, QString::fromUtf8(LoadString(MessageIdFor(failure), language)),
            QString::fromStdString(ReasonText(m_steps.Reason(), language))};
}

// The size report, with a second line when the melody file could not hold the whole recording.
JobMessage ConversionJob::ReportMessage() const
{
    const Language& language = m_window.DialogLanguage();
    QString text = QString::fromStdString(m_steps.ReportText(language));
    const std::string note = m_steps.CutNoteText(language);
    if (!note.empty())
        text += QLatin1Char('\n') + QString::fromStdString(note);
    return {MessageDialog::KindReport, text, {}};
}

}  // namespace quorbin
