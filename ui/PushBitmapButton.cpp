#include "ui/PushBitmapButton.h"

namespace quorbin {

PushBitmapButton::PushBitmapButton(QWidget* parent) : BitmapButtonBase(parent) {}

void PushBitmapButton::SetSkin(SkinBitmap bitmap, bool makeShape)
{
    ApplySkin(bitmap, 2, makeShape);
}

int PushBitmapButton::Frame() const
{
    return isDown() ? 1 : 0;
}

}  // namespace quorbin
