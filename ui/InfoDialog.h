#pragma once
// Asks for the title, the copyright text and the protection mark of the
// melody file. The texts are kept as CP932 bytes, the encoding the file uses.
#include <QValidator>
#include <cstddef>
#include <string>
#include <utility>

#include "mld/MldFormat.h"
#include "conversion/StringTable.h"
#include "ui/SkinnedDialog.h"
#include "ui/UiText.h"

class QLineEdit;

namespace quorbin {

class CheckBitmapButton;

// Accepts a text only while its CP932 form fits in `limit` bytes and every
// character has a CP932 form. A longer text that the program put into the
// field may be shortened but never lengthened. What was just typed, pasted or
// dropped (the characters before the cursor) is mended instead of refused
// whole: characters without a CP932 form are left out, and the end of the
// insertion is cut, a whole character at a time, until the text fits.
class Cp932LimitValidator : public QValidator {
    Q_OBJECT
public:
    enum Refusal { LeftOutUnencodable = 1, CutAtLimit = 2 };

    Cp932LimitValidator(std::size_t limit, QObject* parent);
    State validate(QString& input, int& pos) const override;
    // Allows texts up to `bytes` (when above the limit) as intermediate input.
    void AllowUpTo(std::size_t bytes);
    std::size_t Limit() const { return m_limit; }

signals:
    // Some of the input was left out: a combination of Refusal flags.
    void Refused(int refusals) const;

private:
    std::size_t m_limit;
    mutable std::size_t m_allowance;
};

class InfoDialog : public SkinnedDialog {
    Q_OBJECT
public:
    static constexpr std::size_t kTitleLimit = mld::kMaxTitleBytes;
    static constexpr std::size_t kCopyrightLimit = mld::kMaxCopyrightBytes;

    explicit InfoDialog(QWidget* owner, const Language& language = UserLanguage());

    // The texts as CP932 bytes: put into the fields when the dialog is shown,
    // taken from them by OK.
    const std::string& Title() const { return m_title; }
    void SetTitle(std::string cp932) { m_title = std::move(cp932); }
    const std::string& Copyright() const { return m_copyright; }
    void SetCopyright(std::string cp932) { m_copyright = std::move(cp932); }
    // Whether the box was ticked when OK closed the dialog.
    bool Protection() const { return m_protection; }

    // Takes the box state and both texts (copyright first); stays open with
    // a warning when a text is over its limit.
    void accept() override;
    void OnClear();

    QLineEdit* TitleField() const { return m_titleField; }
    QLineEdit* CopyrightField() const { return m_copyrightField; }
    CheckBitmapButton* ProtectionBox() const { return m_protectionBox; }
    PushBitmapButton* ClearButton() const { return m_clearButton; }
    PushBitmapButton* OkButton() const { return m_okButton; }
    PushBitmapButton* CancelButton() const { return m_cancelButton; }
    PushBitmapButton* PowerButton() const { return m_powerButton; }

protected:
    void showEvent(QShowEvent* event) override;
    void PaintBackground(QPainter& painter) override;

private:
    QLineEdit* MakeField(std::size_t limit, SkinArea place, const QString& accessibleName);
    void ShowRefusal(QLineEdit* field, int refusals, std::size_t limit);
    void PutMembersIntoFields();
    bool TakeField(QLineEdit* field, std::string& member);
    void WarnTooLong(QLineEdit* field, std::size_t limit);

    std::string m_copyright;
    std::string m_title;
    bool m_protection = false;
    QLineEdit* m_titleField = nullptr;
    QLineEdit* m_copyrightField = nullptr;
    CheckBitmapButton* m_protectionBox = nullptr;
    PushBitmapButton* m_clearButton = nullptr;
    PushBitmapButton* m_okButton = nullptr;
    PushBitmapButton* m_cancelButton = nullptr;
};

// The warning shown when a text is over its limit, `limit` in place of %1.
QString TextLimitWarning(const Language& language, std::size_t limit);

// The note shown at a field when part of an input was left out.
QString InputRefusedNote(const Language& language, int refusals, std::size_t limit);

}  // namespace quorbin
