#pragma once
// The program's only main window: a skinned 210 x 100 window with a drop
// space, an about button and a Power button. Each file dropped anywhere on it
// is converted by a ConversionJob, one after another; a click on the drop
// space opens a file chooser, a right click a menu. Every dialog is shown in
// the window's place (RunInPlace).
#include <QDialog>
#include <QKeySequence>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <functional>

#include "app/ConversionJob.h"
#include "conversion/ConversionSteps.h"
#include "ui/SkinnedDialog.h"

class QAction;
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

// Top-left corner of a window of `size` beside `other`, with a small gap: to
// its right or left (top edges aligned), else below or above it (left edges
// aligned), whichever fits first in `workArea`; else centred in the work area.
QPoint PlaceBeside(const QRect& other, QSize size, const QRect& workArea);

// The local file paths of a drop, in its order; empty when it carries none.
QStringList DroppedFiles(const QMimeData* mime);
// The first of them, or an empty text.
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

    // One conversion job for each of `paths`, in order; drops are off meanwhile.
    void ConvertDroppedFiles(const QStringList& paths);

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
    // A file chooser for WAVE files (Ctrl+O, a click on the drop space, or
    // Enter or Space on it); the chosen file is converted as if dropped.
    void ChooseFile();

    // Whether the ringtone editor can be asked for (EditorRequested). Without
    // it the menu leaves it out, Ctrl+E does nothing and refused recordings
    // get no way out; off until set.
    void SetEditorAvailable(bool available);
    bool HasEditor() const { return m_editorAvailable; }
    // Ctrl+E: the editor with the last refused recording it would take, or empty.
    void OpenEditor();

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
    void contextMenuEvent(QContextMenuEvent* event) override;
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
    void Convert(const QString& path);
    void OpenEditorWith(const QString& file);
    // An entry of the right-click menu; its key works without the menu.
    QAction* AddAction(const char* text, const QKeySequence& key, std::function<void()> run);

    // Counts the jobs, about boxes and file choosers running now.
    class BusyScope;
    int m_busy = 0;
    QStringList m_waitingFiles;

    PushBitmapButton* m_aboutButton = nullptr;
    HoverBitmapButton* m_dropSpace = nullptr;
    QAction* m_editorAction = nullptr;

    bool m_editorAvailable = false;
    QString m_editableFile;  // the last refused recording the editor would take

    ConversionOptions m_options;
    QPoint m_collapsePoint;
    bool m_collapsed = false;
    bool m_ending = false;
};

}  // namespace quorbin
