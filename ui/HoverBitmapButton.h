#pragma once
// A skinned control that lights up: frame 1 while the pointer is over it,
// frame 0 otherwise.
#include "ui/BitmapButtonBase.h"

namespace quorbin {

class HoverBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit HoverBitmapButton(QWidget* parent = nullptr);
    void SetSkin(SkinBitmap bitmap);
    bool IsHovered() const { return m_hover; }
    int Frame() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHover(bool hover);
    bool m_hover = false;
};

}  // namespace quorbin
