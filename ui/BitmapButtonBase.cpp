#include "ui/BitmapButtonBase.h"

#include <QEvent>
#include <QPainter>

#include "ui/SkinImages.h"

namespace quorbin {

BitmapButtonBase::BitmapButtonBase(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BitmapButtonBase::ApplySkin(SkinBitmap bitmap, int frameCount, bool makeShape)
{
    m_bitmap = bitmap;
    m_frameCount = frameCount;
    if (!makeShape)
        return;
    const QImage picture = LoadSkinBitmap(bitmap);
    m_keyColour = picture.isNull() ? QColor() : QColor(picture.pixel(0, 0));
    resize(picture.width(), FrameHeight(picture, frameCount));
    raise();
    m_shape = ShapeFromBitmap(picture, frameCount);
    if (m_shape.isEmpty())
        clearMask();
    else
        setMask(m_shape);
    update();
}

bool BitmapButtonBase::hitButton(const QPoint& pos) const
{
    if (!rect().contains(pos))
        return false;
    return m_shape.isEmpty() || m_shape.contains(pos);
}

void BitmapButtonBase::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_shape.isEmpty())
        painter.setClipRegion(m_shape);
    DrawSkinBitmap(painter, QPoint(0, 0), m_bitmap, Frame(), m_frameCount);
}

bool BitmapButtonBase::event(QEvent* event)
{
    const bool handled = QAbstractButton::event(event);
    if (event->type() == QEvent::Paint && hasFocus())
        PaintFocusFrame();
    return handled;
}

void BitmapButtonBase::PaintFocusFrame()
{
    QPainter painter(this);
    if (!m_shape.isEmpty())
        painter.setClipRegion(m_shape);
    DrawFocusFrame(painter, rect().adjusted(2, 2, -3, -3));
}

}  // namespace quorbin
