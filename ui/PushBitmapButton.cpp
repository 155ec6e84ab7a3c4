#include "ui/PushBitmapButton.h"

namespace quorbin {

PushBitmapButton::PushBitmapButton(QWidget* parent) : BitmapButtonBase(parent) {}

int PushBitmapButton::SetSkin(SkinBitmap bitmap, bool makeShape)
{
    ApplySkin(bitmap, 2, makeShape);
    return 1;
}

int PushBitmapButton::Frame() const
{
    return isDown() ? 1 : 0;
}

}  // namespace quorbin
