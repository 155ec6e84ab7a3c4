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

// The message box of a failed step, with the step's reason.
JobMessage FailureMessage(const ConversionSteps& steps, StepFailure failure, const Language& language);
// The size report, with a second line when the melody file could not hold the whole recording.
JobMessage ReportMessage(const ConversionSteps& steps, const Language& language);

// The busy cursor of a piece of work: it shows while the work goes on and
// gives way to the normal pointer while a dialog waits for the user.
class BusyCursor {
public:
    ~BusyCursor() { End(); }
    void Begin();
    void End();

private:
    bool m_on = false;
};

class ConversionJob {
public:
    ConversionJob(MainDialog& window, const QString& path, const ConversionOptions& options);

    // Runs the job to its end: a message, or the information dialog and then a message.
    void Run();

private:
    MainDialog& m_window;
    ConversionSteps m_steps;
};

}  // namespace quorbin
