#include "ui/CheckBitmapButton.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace quorbin {

CheckBitmapButton::CheckBitmapButton(QWidget* parent) : BitmapButtonBase(parent)
{
    setCheckable(true);
}

void CheckBitmapButton::SetSkin(SkinBitmap bitmap)
{
    ApplySkin(bitmap, 3, true);
}

void CheckBitmapButton::SetState(int state)
{
    m_state = state;
    setChecked(state == 1);
    update();
}

void CheckBitmapButton::nextCheckState()
{
    if (m_state == 0)
        SetState(1);
    else if (m_state == 1)
        SetState(0);
}

void CheckBitmapButton::keyPressEvent(QKeyEvent* event)
{
    // Space toggles on release, like a click; no pressed look in between.
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    BitmapButtonBase::keyPressEvent(event);
}

void CheckBitmapButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat())
            nextCheckState();
        return;
    }
    BitmapButtonBase::keyReleaseEvent(event);
}

int CheckBitmapButton::Frame() const
{
    return m_state >= 0 && m_state <= 2 ? m_state : -1;
}

// The check box tracks its own press so that neither the pressed look of a
// button nor a clicked() signal ever reaches the dialog.
void CheckBitmapButton::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton && hitButton(event->position().toPoint());
    event->accept();
}

void CheckBitmapButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (hitButton(event->position().toPoint()))
        nextCheckState();
}

void CheckBitmapButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click is a second press of the same box.
    mousePressEvent(event);
}

void CheckBitmapButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

}  // namespace quorbin
