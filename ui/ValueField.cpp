#include "ui/ValueField.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include "ui/SkinImages.h"

namespace quorbin {

ValueField::ValueField(QWidget* parent, QWidget* home) : QLineEdit(parent), m_home(home)
{
    setFrame(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFocusPolicy(Qt::StrongFocus);
}

void ValueField::Show(const QString& text)
{
    m_shown = text;
    if (!hasFocus() || !isModified())
        setText(text);
}

void ValueField::Offer()
{
    if (isModified()) {
        setModified(false);
        emit Offered(text());
    }
    setText(m_shown);
}

void ValueField::keyPressEvent(QKeyEvent* event)
{
    const bool fine = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Offer();
        m_home->setFocus(Qt::OtherFocusReason);
        return;
    case Qt::Key_Escape:
        setModified(false);
        setText(m_shown);
        m_home->setFocus(Qt::OtherFocusReason);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        setModified(false);  // a step starts from the value, not from what was typed
        emit Stepped(event->key() == Qt::Key_Up ? +1 : -1, fine);
        return;
    default: QLineEdit::keyPressEvent(event);
    }
}

void ValueField::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0) {
        setModified(false);
        emit Stepped(notches > 0 ? +1 : -1, event->modifiers() & Qt::ShiftModifier);
    }
    event->accept();
}

void ValueField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    Offer();
}

void ValueField::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        DrawFocusFrame(painter, rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace quorbin
