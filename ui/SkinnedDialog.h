#pragma once
// What every skinned window shares: the 210 x 100 background bitmap, a drag
// strip along the top (skin_place::kDragStrip) and the Power button; for the
// dialogs, the rectangle recorded when OK or Cancel closes them.
#include <QDialog>
#include <QEventLoop>
#include <QPoint>
#include <QRect>

#include "platform/Translation.h"
#include "res/Skin.h"

namespace quorbin {

class PushBitmapButton;

// A window rectangle in screen pixels, right and bottom exclusive.
struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    static ScreenRect FromGeometry(const QRect& geometry);
    static ScreenRect At(QPoint topLeft, QSize size);
};

// Moves a window by its top strip; used by the dialogs and the main window.
class DragStrip {
public:
    // Whether `windowPoint` lies in the strip of the 210 x 100 windows.
    static bool Contains(QPoint windowPoint);
    // The strip of a window of another size.
    void SetArea(const QRect& area) { m_area = area; }
    // Each returns true when it handled the event.
    bool Press(QWidget* window, QMouseEvent* event);
    bool Move(QWidget* window, QMouseEvent* event);
    void Release(QWidget* window);
    bool IsDragging() const { return m_dragging; }

    QPoint m_dragOrigin;
    bool m_dragging = false;

private:
    QRect m_area;  // empty: that of the 210 x 100 windows
};

// The base of the main window and the dialogs: it paints the skin, moves the
// window by its drag strip, offers the Power button and the result codes, and
// keeps the window's place as the program set it or the strip dragged it.
// Buttons take focus by Tab only, so the window itself holds the focus until
// the keyboard is used; Enter on a focused push button presses it.
class SkinnedWindow : public QDialog {
    Q_OBJECT
public:
    enum Result { ResultPower = 0, ResultOk = 1, ResultCancel = 2 };

    // The window's place as last set by the program (move) or the drag strip.
    // Never read back from the window system, which may report another place
    // once a window manager has framed the window.
    QPoint Placement() const { return m_placement; }
    ScreenRect PlacedRect() const;
    // The language of the window's texts and accessible names.
    const Language& DialogLanguage() const { return m_language; }
    // raise() and activateWindow().
    void BringToFront();

protected:
    SkinnedWindow(QWidget* parent, Qt::WindowFlags flags, const Language& language);

    // Paints `bitmap` (the size of `window`) as the background instead of the
    // 210 x 100 one, with the drag strip along its top in `dragStrip`.
    void SetBackground(SkinBitmap bitmap, SkinArea window, SkinArea dragStrip);
    // Resizes to the background bitmap (to the window's size without one).
    void ResizeToBackground();
    // Puts a skinned push button at `place`, raised to the top.
    PushBitmapButton* AddPushButton(SkinBitmap bitmap, SkinPoint place, const QString& accessibleName = {});
    // The Power button at its place; the caller connects what it ends.
    PushBitmapButton* AddPowerButton();
    // For windows of their own (not dialogs): moves the window to the middle of
    // the primary screen's work area.
    void CentreOnScreen();
    // Runs a loop of its own until EndOwnLoop(): QDialog's run ends whenever
    // the window is hidden, which the main window's hand-over does. Returns result().
    int RunOwnLoop();
    void EndOwnLoop(int result);
    // Paints the background; subclasses paint their extra bitmaps after it.
    virtual void PaintBackground(QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    PushBitmapButton* m_powerButton = nullptr;
    DragStrip m_drag;

private:
    QPoint m_placement;
    Language m_language;
    SkinBitmap m_background = SkinBitmap::Background;
    QSize m_windowSize{skin_place::kWindow.width, skin_place::kWindow.height};
    QEventLoop* m_ownLoop = nullptr;
};

class SkinnedDialog : public SkinnedWindow {
    Q_OBJECT
public:
    // `owner` is the main window; its modal run is ended by the Power button.
    explicit SkinnedDialog(QWidget* owner = nullptr, const Language& language = UserLanguage());

    ScreenRect m_lastRect;

    // Records m_lastRect, then ends with 1 (OK, Enter) or 2 (Cancel, Esc).
    void accept() override;
    void reject() override;
    // Ends the owner's modal run with 0, then this dialog's, recording nothing.
    void EndWithPower();

protected:
    // Resizes to the background, adds the Power button and
    // brings the window to the front; subclasses call it from their set-up.
    void InitialiseSkin();
    void showEvent(QShowEvent* event) override;
    // Enter is OK and Esc is Cancel, whatever control the pointer was on.
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_bringToFront = false;
};

}  // namespace quorbin
