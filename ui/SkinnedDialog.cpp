#include "ui/SkinnedDialog.h"

#include "ui/SkinnedControls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quorbin {

namespace {
constexpr QPoint kPowerPosition(182, 72);
constexpr QSize kDefaultSize(210, 100);
constexpr QRect kDragStripArea(0, 0, 210, 20);
} // namespace

ScreenRect ScreenRect::FromGeometry(const QRect& geometry)
{
    return ScreenRect{geometry.x(), geometry.y(), geometry.x() + geometry.width(),
                      geometry.y() + geometry.height()};
}

// ---------------------------------------------------------------------------

bool DragStrip::Contains(QPoint windowPoint)
{
    return kDragStripArea.contains(windowPoint);
}

bool DragStrip::Press(QWidget* window, QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !Contains(point))
        return false;
    window->grabMouse();
    m_dragOrigin = point;
    m_dragging = 1;
    return true;
}

bool DragStrip::Move(QWidget* window, QMouseEvent* event)
{
    if (!m_dragging)
        return false;
    window->move(event->globalPosition().toPoint() - m_dragOrigin);
    return true;
}

void DragStrip::Release(QWidget* window)
{
    if (QWidget::mouseGrabber() == window)
        window->releaseMouse();
    m_dragging = 0;
}

// ---------------------------------------------------------------------------

SkinnedDialog::SkinnedDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinnedDialog::InitialiseSkin()
{
    const QImage background = LoadSkinBitmap(kBackgroundBitmap);
    resize(background.isNull() ? kDefaultSize : background.size());
    if (!m_powerButton) {
        m_powerButton = AddPushButton(kPowerBitmap, kPowerPosition);
        connect(m_powerButton, &QAbstractButton::clicked, this, &SkinnedDialog::EndWithPower);
    }
    m_bringToFront = true;
    if (isVisible())
        BringToFront();
}

PushBitmapButton* SkinnedDialog::AddPushButton(int bitmapNumber, QPoint pos)
{
    auto* button = new PushBitmapButton(this);
    button->move(pos);
    button->SetSkin(bitmapNumber, 1);
    button->raise();
    return button;
}

void SkinnedDialog::BringToFront()
{
    raise();
    activateWindow();
}

void SkinnedDialog::accept()
{
    m_lastRect = ScreenRect::FromGeometry(geometry());
    done(ResultOk);
}

void SkinnedDialog::reject()
{
    m_lastRect = ScreenRect::FromGeometry(geometry());
    done(ResultCancel);
}

void SkinnedDialog::EndWithPower()
{
    if (auto* owner = qobject_cast<QDialog*>(parentWidget()))
        owner->done(ResultPower);
    done(ResultPower);
}

void SkinnedDialog::PaintBackground(QPainter& painter)
{
    const QImage background = LoadSkinBitmap(kBackgroundBitmap);
    if (background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        DrawSkinBitmap(painter, QPoint(0, 0), kBackgroundBitmap);
}

void SkinnedDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter);
}

void SkinnedDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_bringToFront)
        BringToFront();
}

void SkinnedDialog::keyPressEvent(QKeyEvent* event)
{
    // Without a default push button the dialog's own Enter handling does
    // nothing, so Enter is taken as OK here; Esc already goes to reject().
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event)
{
    m_drag.Press(this, event);
    QDialog::mousePressEvent(event);
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.Move(this, event);
    QDialog::mouseMoveEvent(event);
}

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.Release(this);
    QDialog::mouseReleaseEvent(event);
}

} // namespace quorbin
