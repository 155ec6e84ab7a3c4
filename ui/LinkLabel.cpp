#include "ui/LinkLabel.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "ui/SkinAccessibility.h"

namespace quorbin {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent)
{
    InstallSkinAccessibility();
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    // Only the underline and the text colour are set here, so family, size and
    // the other colours still follow the parent dialog.
    QFont underlined;
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue;
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(blue);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : LinkLabel(parent)
{
    setText(text);
}

QString LinkLabel::Target() const
{
    QString address = text();
    address.remove(QLatin1Char('\r'));
    address.remove(QLatin1Char('\n'));
    return address;
}

void LinkLabel::Open()
{
    const QString address = Target();
    QDesktopServices::openUrl(QUrl(address));
    emit Opened(address);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Open();
    QLabel::mousePressEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace quorbin
