#pragma once
// The outcome of a job on the success or the error panel: the message, and
// under it, on further lines, why it failed or what was cut.
#include <QString>
#include <string_view>

#include "conversion/StringTable.h"
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

    // Why the step failed, and the way out where there is one, shown under the
    // message on one or two lines ('\n' between them); empty when there is none.
    void SetReason(const QString& reason);
    const QString& Reason() const { return m_reason; }
    // What the dialog shows: the message, then the reason's lines.
    QString ShownText() const;

    BitmapPanel* Panel() const { return m_panel; }
    QLabel* MessageLine() const { return m_line; }
    PushBitmapButton* OkButton() const { return m_okButton; }
    PushBitmapButton* PowerButton() const { return m_powerButton; }

    static SkinBitmap PanelBitmapFor(int kind);
    static QColor TextColourFor(int kind);
    static QString TitleFor(int kind, const Language& language);
    // The word the panel shows ("Completed!", "Caution!"), for screen readers.
    static QString HeadingFor(int kind, const Language& language);

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
