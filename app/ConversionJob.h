#pragma once
// One conversion job of the main window: it reads the dropped recording, asks
// for the melody file's information, saves the file and reports the outcome,
// every dialog in the window's place. The message box gets the step's reason
// along with the message, and the way out for a recording the decoders read.
#include <QString>

#include "conversion/ConversionSteps.h"
#include "platform/Translation.h"

namespace quorbin {

class MainDialog;

// What the message box of a job shows.
struct JobMessage {
    int kind = 0;  // MessageDialog::Kind
    QString text;  // the string-table message, or the size report with its cut note
    // Why the step failed ("Permission denied") and the way out, one a line;
    // empty when there is nothing to add.
    QString reason;
    QString editable;  // the refused recording, when the ringtone editor would take it
};

// Where a refused recording that the decoders read can be taken instead: the
// ringtone editor, when the program has one.
enum class WayOut { None, Editor };

// The message box of a failed step for the recording at `path`: the message,
// the step's reason and, for a recording in a format the decoders read, the
// way out named by `wayOut`.
JobMessage FailureMessageFor(StepFailure failure, const FailureReason& reason, const QString& path, WayOut wayOut,
                             const Language& language);

// The message box of a failed step, with the step's reason and no way out.
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
    // The failure's message with the way out the window offers.
    JobMessage WindowFailureMessage(StepFailure failure) const;

    MainDialog& m_window;
    QString m_path;
    ConversionSteps m_steps;
};

}  // namespace quorbin
