#include "ui/InfoDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolTip>
#include <QMessageBox>
#include <QPainter>
#include <QShowEvent>
#include <algorithm>

#include "platform/Cp932.h"
#include "ui/Layouts.h"
#include "ui/DialogUnits.h"
#include "ui/CheckBitmapButton.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

namespace quorbin {
namespace {

// The labels painted beside the fields and the box.
constexpr std::pair<SkinBitmap, SkinArea> kDecorations[] = {
    {SkinBitmap::TitleLabel, skin_place::kTitleLabel},
    {SkinBitmap::CopyrightLabel, skin_place::kCopyrightLabel},
    {SkinBitmap::ProtectionLabel, skin_place::kProtectionLabel},
};

std::size_t Cp932Size(const QString& text, bool* encodable)
{
    const auto bytes = Utf8ToCp932(text.toStdString());
    *encodable = bytes.has_value();
    return bytes ? bytes->size() : 0;
}

QString Decode(const std::string& cp932)
{
    return QString::fromStdString(Cp932ToUtf8(cp932));
}

}  // namespace

Cp932LimitValidator::Cp932LimitValidator(std::size_t limit, QObject* parent)
    : QValidator(parent),
      m_limit(limit),
      m_allowance(limit)
{}

QValidator::State Cp932LimitValidator::validate(QString& input, int& pos) const
{
    int refusals = 0;
    for (int i = pos - 1; i >= 0; --i) {
        // CP932 has no character outside the basic plane: surrogates never fit.
        bool encodable = false;
        if (!input[i].isSurrogate())
            Cp932Size(input.mid(i, 1), &encodable);
        if (!encodable) {
            input.remove(i, 1);
            --pos;
            refusals |= LeftOutUnencodable;
        }
    }
    bool encodable = false;
    std::size_t size = Cp932Size(input, &encodable);
    if (!encodable)
        return Invalid;  // the text after the cursor was not the user's doing
    while (size > m_allowance && pos > 0) {
        // Characters are one or two bytes: dropping whole ones never splits a pair.
        size -= Cp932Size(input.mid(pos - 1, 1), &encodable);
        input.remove(--pos, 1);
        refusals |= CutAtLimit;
    }
    if (refusals)
        emit Refused(refusals);
    if (size <= m_limit)
        return Acceptable;
    if (size > m_allowance)
        return Invalid;
    m_allowance = size;  // shortening an over-long text narrows what stays allowed
    return Intermediate;
}

void Cp932LimitValidator::AllowUpTo(std::size_t bytes)
{
    m_allowance = std::max(bytes, m_limit);
}

QString TextLimitWarning(const Language& language, std::size_t limit)
{
    return UiTr("Please enter no more than %1 characters.", language).arg(limit);
}

QString InputRefusedNote(const Language& language, int refusals, std::size_t limit)
{
    QStringList notes;
    if (refusals & Cp932LimitValidator::LeftOutUnencodable)
        notes << UiTr("Left out characters a melody file cannot hold.", language);
    if (refusals & Cp932LimitValidator::CutAtLimit)
        notes << UiTr("Only %1 bytes fit here (double-byte characters count twice).", language).arg(limit);
    return notes.join(QLatin1Char('\n'));
}

InfoDialog::InfoDialog(QWidget* owner, const Language& language) : SkinnedDialog(owner, language)
{
    setFont(FontOfLayout(LoadLayout(IDD_INFO, language)));
    setWindowTitle(UiTr("Quorbin - Melody file information", language));
    // The fields and the box are named after the labels painted beside them.
    // Tab follows the order of creation, the Power button last.
    m_titleField = MakeField(kTitleLimit, skin_place::kTitleField, UiTr("Title", language));
    m_copyrightField = MakeField(kCopyrightLimit, skin_place::kCopyrightField, UiTr("Copyright", language));
    m_protectionBox = new CheckBitmapButton(this);
    m_protectionBox->move(ToQPoint(skin_place::kProtectionBox));
    m_protectionBox->SetSkin(SkinBitmap::ProtectionBox);
    m_protectionBox->raise();
    m_protectionBox->setFocusPolicy(Qt::TabFocus);
    m_protectionBox->setAccessibleName(UiTr("Protection availability", language));
    m_clearButton = AddPushButton(SkinBitmap::ClearButton, skin_place::kLeftButton, UiTr("Clear", language));
    m_okButton = AddPushButton(SkinBitmap::OkButton, skin_place::kMiddleButton, UiTr("OK", language));
    m_cancelButton = AddPushButton(SkinBitmap::CancelButton, skin_place::kRightButton, UiTr("Cancel", language));
    InitialiseSkin();

    connect(m_clearButton, &QAbstractButton::clicked, this, &InfoDialog::OnClear);
    connect(m_okButton, &QAbstractButton::clicked, this, &InfoDialog::accept);
    connect(m_cancelButton, &QAbstractButton::clicked, this, &InfoDialog::reject);
}

QLineEdit* InfoDialog::MakeField(std::size_t limit, SkinArea place, const QString& accessibleName)
{
    auto* field = new QLineEdit(this);
    field->setAccessibleName(accessibleName);
    field->setFrame(false);
    auto* validator = new Cp932LimitValidator(limit, field);
    connect(validator, &Cp932LimitValidator::Refused, this,
            [this, field, limit](int refusals) { ShowRefusal(field, refusals, limit); });
    field->setValidator(validator);
    field->setGeometry(ToQRect(place));
    field->setFocusPolicy(Qt::StrongFocus);
    return field;
}

// A beep and a note under the field, so that a cut paste or a left-out
// character never passes unnoticed.
void InfoDialog::ShowRefusal(QLineEdit* field, int refusals, std::size_t limit)
{
    QApplication::beep();
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())),
                       InputRefusedNote(DialogLanguage(), refusals, limit), field, QRect(), 4000);
}

void InfoDialog::PutMembersIntoFields()
{
    for (auto [field, member] : {std::pair{m_copyrightField, &m_copyright}, std::pair{m_titleField, &m_title}}) {
        auto* validator = static_cast<Cp932LimitValidator*>(const_cast<QValidator*>(field->validator()));
        validator->AllowUpTo(member->size());
        field->setText(Decode(*member));
    }
}

void InfoDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        PutMembersIntoFields();
        m_titleField->setFocus();
    }
    SkinnedDialog::showEvent(event);
}

void InfoDialog::OnClear()
{
    m_copyright.clear();
    m_title.clear();
    m_protectionBox->SetState(0);
    PutMembersIntoFields();
}

bool InfoDialog::TakeField(QLineEdit* field, std::string& member)
{
    const auto* validator = static_cast<const Cp932LimitValidator*>(field->validator());
    // Every character typed has a CP932 form; only undecodable bytes the
    // caller handed in can lack one, and those become "?".
    std::string bytes = Utf8ToCp932Lossy(field->text().toStdString());
    if (bytes.size() > validator->Limit()) {
        WarnTooLong(field, validator->Limit());
        return false;
    }
    member = std::move(bytes);
    return true;
}

void InfoDialog::WarnTooLong(QLineEdit* field, std::size_t limit)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quorbin"), TextLimitWarning(DialogLanguage(), limit),
                    QMessageBox::Ok, this);
    box.exec();
    field->setFocus();
    field->selectAll();
}

void InfoDialog::accept()
{
    m_protection = m_protectionBox->GetState() != 0;  // any state but unticked
    m_lastRect = PlacedRect();
    if (!TakeField(m_copyrightField, m_copyright) || !TakeField(m_titleField, m_title))
        return;
    SkinnedDialog::accept();
}

void InfoDialog::PaintBackground(QPainter& painter)
{
    SkinnedDialog::PaintBackground(painter);
    for (const auto& [bitmap, place] : kDecorations)
        DrawSkinBitmap(painter, ToQRect(place).topLeft(), bitmap);
}

}  // namespace quorbin
