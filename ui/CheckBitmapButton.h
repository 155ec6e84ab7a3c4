#pragma once
// A skinned check box. States 0 unchecked, 1 checked, 2 disabled; the frame
// equals the state. A click or Space toggles 0 <-> 1 by itself (state 2
// ignores them) and is not reported. The button is checkable, so screen
// readers see a check box.
#include "ui/BitmapButtonBase.h"

namespace quorbin {

class CheckBitmapButton : public BitmapButtonBase {
    Q_OBJECT
public:
    explicit CheckBitmapButton(QWidget* parent = nullptr);
    void SetSkin(SkinBitmap bitmap);
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

}  // namespace quorbin
