#pragma once
// One conversion job of the main window: it reads the dropped recording, asks
// for the melody file's information, saves the file and reports the outcome,
// every dialog in the window's place. The message box gets the step's reason
// along with the message.
#include <QString>

#include "conversion/ConversionSteps.h"

namespace quorbin {

class MainDialog;

// What the message box of a job shows.
struct JobMessage {
    int kind = 0;    // MessageDialog::Kind
    QString text;    // the string-table message, or the size report with its cut note
    QString reason;  // why the step failed ("Permission denied"); empty when it did not say
};

class ConversionJob {
public:
    ConversionJob(MainDialog& window, const QString& path, const ConversionOptions& options);

    // Runs the job to its end: a message, or the information dialog and then a message.
    void Run();

private:
    JobMessage FailureMessage(StepFailure failure) const;
    JobMessage ReportMessage() const;

    MainDialog& m_window;
    ConversionSteps m_steps;
};

}  // namespace quorbin
