#pragma once
// Bitmap buttons cut to the outline of their pictures, the picture panel and
// the link label. Frames of a bitmap are stacked vertically; the key colour is
// the colour of pixel (0, 0) and marks what lies outside a control's shape.
#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegion>

namespace quorbin {

// The skin bitmap `number` from the compiled-in resources, as Format_RGB32;
// a null image when there is no such bitmap.
QImage LoadSkinBitmap(int number);

// The picture of skin bitmap `number` for a device of `devicePixelRatio`:
// above ratio 1 the artwork drawn at twice the size (device pixel ratio 2),
// when there is one and the bitmap is not replaced; else LoadSkinBitmap(number).
// Sizes, shapes and hit areas always come from LoadSkinBitmap.
QImage LoadSkinPicture(int number, qreal devicePixelRatio);

// Paints frame `frame` of the `frameCount` frames of skin bitmap `number` with
// its top-left corner at `at`, as sharp as the painter's device allows.
void DrawSkinBitmap(QPainter& painter, QPoint at, int number, int frame = 0, int frameCount = 1);

// Makes LoadSkinBitmap(number) return `image` instead of the compiled-in
// bitmap (tests, previews); a null image removes the replacement.
void SetSkinBitmapOverride(int number, const QImage& image);

// The shape of frame 0 of `bitmap` (frame height = height / frameCount): one
// rectangle per run of non-key pixels in each row. Empty for frameCount < 1.
QRegion ShapeFromBitmap(const QImage& bitmap, int frameCount);

// Common base: resizes to one frame, masks to the shape, paints frame Frame().
class BitmapButtonBase : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButtonBase(QWidget* parent = nullptr);
    int BitmapNumber() const { return m_bitmapNumber; }
    int FrameCount() const { return m_frameCount; }
    // Key colour of the bitmap and shape of the control, as the last skin made them.
    QColor KeyColour() const { return m_keyColour; }
    QRegion Shape() const { return m_shape; }
    // The frame painted now; -1 paints nothing.
    virtual int Frame() const = 0;

protected:
    void ApplySkin(int bitmapNumber, int frameCount, bool makeShape);
    void paintEvent(QPaintEvent* event) override;
    // Paints the control, then the focus frame over it while it has the focus.
    bool event(QEvent* event) override;
    // Only pixels inside the shape count as the button.
    bool hitButton(const QPoint& pos) const override;

private:
    void PaintFocusFrame();

    int m_bitmapNumber = 0;
    int m_frameCount = 2;
    QColor m_keyColour;
    QRegion m_shape;
};

// Frame 1 while held down over the button, frame 0 otherwise; clicks as usual.
class PushBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit PushBitmapButton(QWidget* parent = nullptr);
    int SetSkin(int bitmapNumber, int makeShape);
    int Frame() const override;
};

// States 0 unchecked, 1 checked, 2 disabled; the frame equals the state. A
// click or Space toggles 0 <-> 1 by itself (state 2 ignores them) and is not
// reported. The button is checkable, so screen readers see a check box.
class CheckBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit CheckBitmapButton(QWidget* parent = nullptr);
    int SetSkin(int bitmapNumber);
    void SetState(int state);
    int GetState() const { return m_state; }
    int Frame() const override;

protected:
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int m_state = 0;
    bool m_pressed = false;
};

// Frame 1 while the pointer is over the control, frame 0 otherwise.
class HoverBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit HoverBitmapButton(QWidget* parent = nullptr);
    int SetSkin(int bitmapNumber);
    bool IsHovered() const { return m_hover != 0; }
    int Frame() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHover(int hover);
    int m_hover = 0;
};

// A picture that swallows presses: it never looks pressed, takes no focus, reports nothing.
class BitmapPanel : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit BitmapPanel(QWidget* parent = nullptr);
    void SetSkin(int bitmapNumber, int frameCount);
    int Frame() const override { return 0; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Blue, underlined text under a hand pointer; a press (or Enter or Space when
// Tab has focused it) opens the address it shows, with any line break of the
// display removed. Screen readers see a link named by that address.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
    QString Target() const;
    void Open();

signals:
    void Opened(const QString& address);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quorbin
