#pragma once
// A value field of the ringtone editor: a frameless line on a white well of
// the skin. Typing and Enter (or leaving the field) offer the text; Up and Down
// or the mouse wheel step the value (with Shift, a finer step); Esc gives the
// shown value back. Enter and Esc hand the keyboard back to `home`.
#include <QLineEdit>

namespace quorbin {

class ValueField : public QLineEdit {
    Q_OBJECT
public:
    ValueField(QWidget* parent, QWidget* home);

    // Shows `text` unless the user is typing in the field.
    void Show(const QString& text);

signals:
    void Offered(const QString& text);
    // +1 up, -1 down; `fine` with Shift.
    void Stepped(int direction, bool fine);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Offer();

    QWidget* m_home;
    QString m_shown;
};

}  // namespace quorbin
