#pragma once
// A skinned push button: frame 1 while held down over it, frame 0 otherwise;
// clicks as usual.
#include "ui/BitmapButtonBase.h"

namespace quorbin {

class PushBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit PushBitmapButton(QWidget* parent = nullptr);
    // Takes the two frames of `bitmap`; with `makeShape`, also its size and shape.
    void SetSkin(SkinBitmap bitmap, bool makeShape);
    int Frame() const override;
};

}  // namespace quorbin
