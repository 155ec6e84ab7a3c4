#include "ui/SkinnedDialog.h"

#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/UiText.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QMoveEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quorbin {

ScreenRect ScreenRect::FromGeometry(const QRect& geometry)
{
    return At(geometry.topLeft(), geometry.size());
}

ScreenRect ScreenRect::At(QPoint topLeft, QSize size)
{
    return ScreenRect{topLeft.x(), topLeft.y(), topLeft.x() + size.width(), topLeft.y() + size.height()};
}

// ---------------------------------------------------------------------------

bool DragStrip::Contains(QPoint windowPoint)
{
    return ToQRect(skin_place::kDragStrip).contains(windowPoint);
}

bool DragStrip::Press(QWidget* window, QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const bool inside = m_area.isEmpty() ? Contains(point) : m_area.contains(point);
    if (event->button() != Qt::LeftButton || !inside)
        return false;
    window->grabMouse();
    m_dragOrigin = point;
    m_dragging = true;
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
    m_dragging = false;
}

// ---------------------------------------------------------------------------

namespace {

bool IsEnter(const QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

SkinnedWindow::SkinnedWindow(QWidget* parent, Qt::WindowFlags flags, const Language& language)
    : QDialog(parent, flags),
      m_language(language)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ScreenRect SkinnedWindow::PlacedRect() const
{
    return ScreenRect::At(m_placement, size());
}

void SkinnedWindow::BringToFront()
{
    raise();
    activateWindow();
}

void SkinnedWindow::CentreOnScreen()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

int SkinnedWindow::RunOwnLoop()
{
    QEventLoop loop;
    m_ownLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_ownLoop = nullptr;
    return result();
}

void SkinnedWindow::EndOwnLoop(int result)
{
    if (m_ownLoop)
        m_ownLoop->exit(result);
}

void SkinnedWindow::SetBackground(SkinBitmap bitmap, SkinArea window, SkinArea dragStrip)
{
    m_background = bitmap;
    m_windowSize = ToQRect(window).size();
    m_drag.SetArea(ToQRect(dragStrip));
}

void SkinnedWindow::ResizeToBackground()
{
    const QImage background = LoadSkinBitmap(m_background);
    resize(background.isNull() ? m_windowSize : background.size());
}

PushBitmapButton* SkinnedWindow::AddPushButton(SkinBitmap bitmap, SkinPoint place, const QString& accessibleName)
{
    auto* button = new PushBitmapButton(this);
    button->move(ToQPoint(place));
    button->SetSkin(bitmap, true);
    button->raise();
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleName(accessibleName);
    return button;
}

PushBitmapButton* SkinnedWindow::AddPowerButton()
{
    m_powerButton = AddPushButton(SkinBitmap::PowerButton, skin_place::kPowerButton, UiTr("Power (quit)", m_language));
    return m_powerButton;
}

void SkinnedWindow::PaintBackground(QPainter& painter)
{
    const QImage background = LoadSkinBitmap(m_background);
    if (background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        DrawSkinBitmap(painter, QPoint(0, 0), m_background);
}

void SkinnedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintBackground(painter);
}

void SkinnedWindow::moveEvent(QMoveEvent* event)
{
    // Moves the program makes (its own and the drag strip's) arrive as
    // non-spontaneous events; the window system's reports are left out.
    if (!event->spontaneous())
        m_placement = event->pos();
    QDialog::moveEvent(event);
}

void SkinnedWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!focusWidget())
        setFocus(Qt::OtherFocusReason);
}

void SkinnedWindow::keyPressEvent(QKeyEvent* event)
{
    if (IsEnter(event)) {
        if (auto* button = qobject_cast<PushBitmapButton*>(focusWidget())) {
            button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event)
{
    m_drag.Press(this, event);
    QDialog::mousePressEvent(event);
}

void SkinnedWindow::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.Move(this, event);
    QDialog::mouseMoveEvent(event);
}

void SkinnedWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.Release(this);
    QDialog::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------

SkinnedDialog::SkinnedDialog(QWidget* owner, const Language& language)
    : SkinnedWindow(owner, Qt::Dialog | Qt::FramelessWindowHint, language)
{}

void SkinnedDialog::InitialiseSkin()
{
    ResizeToBackground();
    if (!m_powerButton)
        connect(AddPowerButton(), &QAbstractButton::clicked, this, &SkinnedDialog::EndWithPower);
    m_bringToFront = true;
    if (isVisible())
        BringToFront();
}

void SkinnedDialog::accept()
{
    m_lastRect = PlacedRect();
    done(ResultOk);
}

void SkinnedDialog::reject()
{
    m_lastRect = PlacedRect();
    done(ResultCancel);
}

void SkinnedDialog::EndWithPower()
{
    if (auto* owner = qobject_cast<QDialog*>(parentWidget()))
        owner->done(ResultPower);
    done(ResultPower);
}

void SkinnedDialog::showEvent(QShowEvent* event)
{
    SkinnedWindow::showEvent(event);
    if (m_bringToFront)
        BringToFront();
}

void SkinnedDialog::keyPressEvent(QKeyEvent* event)
{
    // Without a default push button the dialog's own Enter handling does
    // nothing, so Enter is taken as OK here unless a focused button takes it;
    // Esc already goes to reject().
    if (IsEnter(event) && !qobject_cast<PushBitmapButton*>(focusWidget())) {
        accept();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

}  // namespace quorbin
