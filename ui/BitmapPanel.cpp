#include "ui/BitmapPanel.h"

#include <QMouseEvent>

#include "ui/SkinAccessibility.h"

namespace quorbin {

BitmapPanel::BitmapPanel(QWidget* parent) : BitmapButtonBase(parent)
{
    InstallSkinAccessibility();
}

void BitmapPanel::SetSkin(SkinBitmap bitmap, int frameCount)
{
    ApplySkin(bitmap, frameCount, true);
}

void BitmapPanel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void BitmapPanel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void BitmapPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

}  // namespace quorbin
