#pragma once
// The program's only main window: a skinned 210 x 100 window with a drop
// space, an about button and a Power button. A file dropped anywhere on it is
// converted by a ConversionJob; every dialog is shown in the window's place
// (RunInPlace).
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

#include "app/ConversionJob.h"
#include "conversion/ConversionSteps.h"
#include "ui/SkinnedDialog.h"

class QEventLoop;
class QMimeData;

namespace quorbin {

class HoverBitmapButton;
class PushBitmapButton;

// The point a window collapses to: the centre of `rect`, halves truncated toward zero.
QPoint CollapsePoint(const ScreenRect& rect);

// Top-left corner of a dialog of `size` centred on `centre` and then kept inside
// `workArea`: pushed right if it sticks out left, else left if it sticks out
// right; the same for top and bottom.
QPoint PlaceCentredInside(QPoint centre, QSize size, const QRect& workArea);

// The first local file path of a drop, or an empty text when it carries none.
QString FirstDroppedFile(const QMimeData* mime);

class MainDialog : public SkinnedWindow {
    Q_OBJECT
public:
    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // Shows the window centred in the primary screen's work area and brings it
    // to the front; done() closes it again.
    void Open();
    // Open() and run until done() ends the window; returns that result.
    int exec() override;
    void done(int result) override;
    void reject() override;

    // One conversion job for the first of `paths`; drops are off while it runs.
    void ConvertDroppedFile(const QStringList& paths);

    // Brings the program to the front and converts `path` as if dropped; a
    // file that comes while the window is busy waits for the current job.
    void OpenFile(const QString& path);

    // Shows `dialog` in this window's place: the window collapses to the
    // centre of `collapseRect`, the dialog runs there, and the window comes
    // back with `restoreSize` where the dialog's top-left corner was left.
    int RunInPlace(SkinnedDialog& dialog, const ScreenRect& collapseRect, QSize restoreSize);
    // RunInPlace from the window's rectangle now, which m_savedRect keeps.
    int RunWithSavedRect(SkinnedDialog& dialog);
    // The message box of a job, collapsing to the centre of `collapseRect`;
    // the window comes back with the size of m_savedRect.
    void ShowMessage(const JobMessage& message, const ScreenRect& collapseRect);

    void ShowAbout();
    // A file chooser for WAVE files (Ctrl+O, or Enter or Space on the focused
    // drop space); the chosen file is converted as if dropped.
    void ChooseFile();

    // Options given to every conversion; the free-space query can be replaced.
    ConversionOptions& Options() { return m_options; }

    bool IsEnding() const { return m_ending; }

signals:
    // Asks for the ringtone editor with `path` (empty: without a recording).
    void EditorRequested(const QString& path);

public:
    bool IsCollapsed() const { return m_collapsed; }
    QPoint CollapsedAt() const { return m_collapsePoint; }

    HoverBitmapButton* DropSpace() const { return m_dropSpace; }
    PushBitmapButton* AboutButton() const { return m_aboutButton; }
    PushBitmapButton* PowerButton() const { return m_powerButton; }

    ScreenRect m_savedRect;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A drag is welcome when drops are on and it carries a local file.
    bool AcceptsDrag(const QMimeData* mime) const;
    void ShowDropInvitation(bool on);
    void Collapse(QPoint point);
    void Restore(QPoint topLeft, QSize size);
    void ConvertWaitingFiles();

    // Counts the jobs, about boxes and file choosers running now.
    class BusyScope;
    int m_busy = 0;
    QStringList m_waitingFiles;

    PushBitmapButton* m_aboutButton = nullptr;
    HoverBitmapButton* m_dropSpace = nullptr;

    ConversionOptions m_options;
    QPoint m_collapsePoint;
    bool m_collapsed = false;
    bool m_ending = false;
};

}  // namespace quorbin
