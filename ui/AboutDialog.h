#pragma once
// The program's name and version, copyright, maker and web link over the logo.
#include <QString>

#include "ui/Layouts.h"
#include "conversion/StringTable.h"
#include "ui/SkinnedDialog.h"
#include "ui/UiText.h"

class QLabel;

namespace quorbin {

class LinkLabel;

class AboutDialog : public SkinnedDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* owner, const Language& language = UserLanguage());

    // The name line's text, whatever the layout gives it.
    static QString NameLine();

    QLabel* TextLine(int controlId) const;  // 1002 name, 1003 copyright, 1004 maker
    LinkLabel* WebLink() const { return m_link; }
    PushBitmapButton* OkButton() const { return m_okButton; }
    PushBitmapButton* PowerButton() const { return m_powerButton; }

protected:
    void PaintBackground(QPainter& painter) override;

private:
    void PlaceTexts(const DialogLayout& layout);

    QLabel* m_nameLine = nullptr;
    QLabel* m_copyrightLine = nullptr;
    QLabel* m_makerLine = nullptr;
    LinkLabel* m_link = nullptr;
    PushBitmapButton* m_okButton = nullptr;
};

}  // namespace quorbin
