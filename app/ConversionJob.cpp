#include "app/ConversionJob.h"

#include <QApplication>
#include <QFile>

#include "app/MainDialog.h"
#include "conversion/StepMessages.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"

namespace quorbin {

void BusyCursor::Begin()
{
    if (m_on)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_on = true;
}

void BusyCursor::End()
{
    if (!m_on)
        return;
    QApplication::restoreOverrideCursor();
    m_on = false;
}

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
        m_window.ShowMessage(FailureMessage(m_steps, failure, m_window.DialogLanguage()), m_window.m_savedRect);
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
    const Language& language = m_window.DialogLanguage();
    m_window.ShowMessage(failure == StepFailure::None ? ReportMessage(m_steps, language)
                                                      : FailureMessage(m_steps, failure, language),
                         info.m_lastRect);
}

JobMessage FailureMessage(const ConversionSteps& steps, StepFailure failure, const Language& language)
{
    return {MessageDialog::KindError, QString::fromUtf8(LoadString(MessageIdFor(failure), language)),
            QString::fromStdString(ReasonText(steps.Reason(), language))};
}

JobMessage ReportMessage(const ConversionSteps& steps, const Language& language)
{
    QString text = QString::fromStdString(steps.ReportText(language));
    const std::string note = steps.CutNoteText(language);
    if (!note.empty())
        text += QLatin1Char('\n') + QString::fromStdString(note);
    return {MessageDialog::KindReport, text, {}};
}

}  // namespace quorbin
