#pragma once
// Blue, underlined text under a hand pointer; a press (or Enter or Space when
// Tab has focused it) opens the address it shows, with any line break of the
// display removed. Screen readers see a link named by that address.
#include <QLabel>

namespace quorbin {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
    QString Target() const;
    void Open();

signals:
    void Opened(const QString& address);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quorbin
