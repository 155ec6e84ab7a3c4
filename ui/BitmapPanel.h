#pragma once
// A skinned picture that swallows presses: it never looks pressed, takes no
// focus and reports nothing. Screen readers see a picture.
#include "ui/BitmapButtonBase.h"

namespace quorbin {

class BitmapPanel : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit BitmapPanel(QWidget* parent = nullptr);
    void SetSkin(SkinBitmap bitmap, int frameCount);
    int Frame() const override { return 0; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace quorbin
