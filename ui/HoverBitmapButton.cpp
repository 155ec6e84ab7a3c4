#include "ui/HoverBitmapButton.h"

#include <QEnterEvent>
#include <QMouseEvent>

namespace quorbin {

HoverBitmapButton::HoverBitmapButton(QWidget* parent) : BitmapButtonBase(parent)
{
    setMouseTracking(true);
}

void HoverBitmapButton::SetSkin(SkinBitmap bitmap)
{
    ApplySkin(bitmap, 2, true);
}

int HoverBitmapButton::Frame() const
{
    return m_hover ? 1 : 0;
}

void HoverBitmapButton::SetHover(bool hover)
{
    if (m_hover == hover)
        return;
    m_hover = hover;
    update();
}

void HoverBitmapButton::enterEvent(QEnterEvent* event)
{
    SetHover(true);
    BitmapButtonBase::enterEvent(event);
}

void HoverBitmapButton::mouseMoveEvent(QMouseEvent* event)
{
    SetHover(true);
    BitmapButtonBase::mouseMoveEvent(event);
}

void HoverBitmapButton::leaveEvent(QEvent* event)
{
    SetHover(false);
    BitmapButtonBase::leaveEvent(event);
}

}  // namespace quorbin
