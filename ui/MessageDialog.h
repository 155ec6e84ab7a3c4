#pragma once
// One line of text on the success or the error panel.
#include <QString>
#include <string_view>

#include "res/StringTable.h"
#include "ui/SkinnedDialog.h"
#include "ui/UiText.h"

class QLabel;

namespace quorbin {

class BitmapPanel;

class MessageDialog : public SkinnedDialog {
    Q_OBJECT
public:
    enum Kind { KindError = 0, KindReport = 1 };

    explicit MessageDialog(QWidget* owner, const Language& language = UserLanguage());

    // Kind 1 is the success report; every other value is an error.
    void SetMessage(int kind, const QString& text);
    void SetMessage(int kind, std::string_view utf8);
    void SetMessage(int kind, const char* utf8) { SetMessage(kind, std::string_view(utf8)); }

    QString m_text;
    int m_kind = KindError;

    // Why the step failed, carried with the message; empty when it did not say.
    void SetReason(const QString& reason) { m_reason = reason; }
    const QString& Reason() const { return m_reason; }

    BitmapPanel* Panel() const { return m_panel; }
    QLabel* MessageLine() const { return m_line; }
    PushBitmapButton* OkButton() const { return m_okButton; }
    PushBitmapButton* PowerButton() const { return m_powerButton; }

    static SkinBitmap PanelBitmapFor(int kind);
    static QColor TextColourFor(int kind);
    static QString TitleFor(int kind, const Language& language);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowMessage();

    QString m_reason;
    BitmapPanel* m_panel = nullptr;
    QLabel* m_line = nullptr;
    PushBitmapButton* m_okButton = nullptr;
};

}  // namespace quorbin
