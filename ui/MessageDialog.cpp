#include "ui/MessageDialog.h"

#include <QFontInfo>
#include <QLabel>
#include <QShowEvent>

#include "ui/Layouts.h"
#include "ui/DialogUnits.h"
#include "ui/BitmapPanel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

namespace quorbin {
namespace {

// The dialog's font, made smaller (down to 8 pixels) until every line of
// `text`, centred in `box`, is inked inside it.
QFont FontFitting(QFont font, const QString& text, const QRect& box)
{
    if (font.pixelSize() <= 0)
        font.setPixelSize(QFontInfo(font).pixelSize());
    while (font.pixelSize() > 8 && !box.contains(TextInk(font, box, Qt::AlignCenter, text)))
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

}  // namespace

SkinBitmap MessageDialog::PanelBitmapFor(int kind)
{
    return kind == KindReport ? SkinBitmap::CompletedPanel : SkinBitmap::CautionPanel;
}

QColor MessageDialog::TextColourFor(int kind)
{
    // Blue on the white success panel, golden yellow on the black error panel.
    return kind == KindReport ? QColor(0, 36, 255) : QColor(255, 216, 0);
}

MessageDialog::MessageDialog(QWidget* owner, const Language& language) : SkinnedDialog(owner, language)
{
    setFont(FontOfLayout(LoadLayout(IDD_MESSAGE, language)));

    m_panel = new BitmapPanel(this);
    m_panel->move(ToQPoint(skin_place::kPanel));
    m_okButton = AddPushButton(SkinBitmap::CloseButton, skin_place::kRightButton, UiTr("Close", language));
    connect(m_okButton, &QAbstractButton::clicked, this, &MessageDialog::accept);
    InitialiseSkin();  // after OK, so that Tab reaches the Power button last

    // The line stands on the panel picture, so it goes above it, unfilled.
    m_line = new QLabel(this);
    m_line->setGeometry(ToQRect(skin_place::kMessageText));
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setTextFormat(Qt::PlainText);
    m_line->setAutoFillBackground(false);
    m_line->setAttribute(Qt::WA_TranslucentBackground);
    m_line->setAttribute(Qt::WA_TransparentForMouseEvents);

    ShowMessage();
}

void MessageDialog::SetMessage(int kind, const QString& text)
{
    m_kind = kind;
    m_text = text;
    ShowMessage();
}

void MessageDialog::SetMessage(int kind, std::string_view utf8)
{
    SetMessage(kind, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

void MessageDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        ShowMessage();
    SkinnedDialog::showEvent(event);
}

QString MessageDialog::TitleFor(int kind, const Language& language)
{
    return kind == KindReport ? UiTr("Quorbin - Saved", language) : UiTr("Quorbin - Error", language);
}

QString MessageDialog::HeadingFor(int kind, const Language& language)
{
    return kind == KindReport ? UiTr("Completed!", language) : UiTr("Caution!", language);
}

QString MessageDialog::ShownText() const
{
    return m_reason.isEmpty() ? m_text : m_text + QLatin1Char('\n') + m_reason;
}

void MessageDialog::SetReason(const QString& reason)
{
    m_reason = reason;
    ShowMessage();
}

void MessageDialog::ShowMessage()
{
    setWindowTitle(TitleFor(m_kind, DialogLanguage()));
    m_panel->SetSkin(PanelBitmapFor(m_kind), 1);
    m_panel->raise();
    m_okButton->raise();
    m_powerButton->raise();

    QPalette palette = m_line->palette();
    palette.setColor(QPalette::WindowText, TextColourFor(m_kind));
    m_line->setPalette(palette);
    const QString shown = ShownText();
    m_line->setFont(FontFitting(font(), shown, m_line->geometry()));
    m_line->setText(shown);
    // For screen readers the picture carries the message: its word and the
    // message as its name, the lines under the message as its description.
    const QString message = m_text.section(QLatin1Char('\n'), 0, 0);
    m_panel->setAccessibleName(HeadingFor(m_kind, DialogLanguage())
                               + (message.isEmpty() ? QString() : QStringLiteral(" ") + message));
    m_panel->setAccessibleDescription(shown.section(QLatin1Char('\n'), 1));
    m_line->raise();
}

}  // namespace quorbin
