#include "app/ConversionJob.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "app/MainDialog.h"
#include "conversion/StepMessages.h"
#include "decode/DecodedExtensions.h"
#include "ui/InfoDialog.h"
#include "ui/MessageDialog.h"
#include "ui/UiText.h"

namespace quorbin {
namespace {

// A recording the window refused that the decoders would read.
bool DecodersRead(StepFailure failure, const QString& path)
{
    if (failure == StepFailure::Unsupported)
        return true;
    return failure == StepFailure::NotWave && decode::DecoderReadsExtension(QFileInfo(path).suffix().toStdString());
}

}  // namespace

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
      m_path(path),
      m_steps(QFile::encodeName(path).toStdString(), options)
{}

void ConversionJob::Run()
{
    BusyCursor busy;
    busy.Begin();
    if (const StepFailure failure = m_steps.Prepare(); failure != StepFailure::None) {
        busy.End();
        m_window.m_savedRect = m_window.PlacedRect();
        m_window.ShowMessage(WindowFailureMessage(failure), m_window.m_savedRect);
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
                                                      : WindowFailureMessage(failure),
                         info.m_lastRect);
}

JobMessage ConversionJob::WindowFailureMessage(StepFailure failure) const
{
    const WayOut wayOut = m_window.HasEditor() ? WayOut::Editor : WayOut::None;
    return FailureMessageFor(failure, m_steps.Reason(), m_path, wayOut, m_window.DialogLanguage());
}

JobMessage FailureMessageFor(StepFailure failure, const FailureReason& reason, const QString& path, WayOut wayOut,
                             const Language& language)
{
    JobMessage message{
        MessageDialog::KindError, QString::fromUtf8(LoadString(MessageIdFor(failure), language)), {}, {}};
    QStringList lines;
    if (reason.Given())
        lines << QString::fromStdString(ReasonText(reason, language));
    if (wayOut == WayOut::Editor && DecodersRead(failure, path)) {
        lines << UiTr("open it in the ringtone editor (Ctrl+E)", language);
        message.editable = path;
    }
    message.reason = lines.join(QLatin1Char('\n'));
    return message;
}

JobMessage FailureMessage(const ConversionSteps& steps, StepFailure failure, const Language& language)
{
    return FailureMessageFor(failure, steps.Reason(), QString(), WayOut::None, language);
}

JobMessage ReportMessage(const ConversionSteps& steps, const Language& language)
{
    QString text = QString::fromStdString(FormatSizeReport(steps.OutputSize(), language));
    const std::string note = FormatCutNote(steps.Extent(), language);
    if (!note.empty())
        text += QLatin1Char('\n') + QString::fromStdString(note);
    return {MessageDialog::KindReport, text, {}, {}};
}

}  // namespace quorbin
