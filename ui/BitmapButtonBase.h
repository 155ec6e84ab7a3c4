#pragma once
// The base of the skinned buttons: a bitmap button cut to the outline of its
// picture. Frames of the bitmap are stacked vertically; the key colour is the
// colour of pixel (0, 0) and marks what lies outside the control's shape.
#include <QAbstractButton>
#include <QColor>
#include <QRegion>

#include "res/Skin.h"

namespace quorbin {

// Resizes to one frame, masks to the shape, paints frame Frame().
class BitmapButtonBase : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButtonBase(QWidget* parent = nullptr);
    SkinBitmap Bitmap() const { return m_bitmap; }
    int FrameCount() const { return m_frameCount; }
    // Key colour of the bitmap and shape of the control, as the last skin made them.
    QColor KeyColour() const { return m_keyColour; }
    QRegion Shape() const { return m_shape; }
    // The frame painted now; -1 paints nothing.
    virtual int Frame() const = 0;

protected:
    void ApplySkin(SkinBitmap bitmap, int frameCount, bool makeShape);
    void paintEvent(QPaintEvent* event) override;
    // Paints the control, then the focus frame over it while it has the focus.
    bool event(QEvent* event) override;
    // Only pixels inside the shape count as the button.
    bool hitButton(const QPoint& pos) const override;

private:
    void PaintFocusFrame();

    SkinBitmap m_bitmap{};
    int m_frameCount = 2;
    QColor m_keyColour;
    QRegion m_shape;
};

}  // namespace quorbin
