#include "ui/MessageDialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QShowEvent>
#include <algorithm>

#include "res/Layouts.h"
#include "ui/DialogUnits.h"
#include "ui/BitmapPanel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

namespace quorbin {
namespace {

constexpr QRect kLineRect(15, 60, 180, 16);  // tall enough for the tallest Japanese glyphs
// A report with a second line (what was kept of a long recording) uses the
// panel's whole width and starts higher, so both lines clear the button.
constexpr QRect kTwoLineRect(8, 59, 194, 22);

// The dialog's font, made smaller until every line of `text` fits `box`.
QFont FontFitting(QFont font, const QString& text, QSize box)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto fits = [&] {
        const QFontMetrics metrics(font);
        if (metrics.height() * lines.size() > box.height())
            return false;
        return std::all_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return metrics.horizontalAdvance(line) <= box.width(); });
    };
    const bool inPixels = font.pixelSize() > 0;
    while (!fits()) {
        if (inPixels ? font.pixelSize() <= 8 : font.pointSizeF() <= 6)
            break;
        if (inPixels)
            font.setPixelSize(font.pixelSize() - 1);
        else
            font.setPointSizeF(font.pointSizeF() - 0.5);
    }
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
    m_okButton = AddPushButton(SkinBitmap::CloseButton, skin_place::kRightButton, UiTr("OK", language));
    connect(m_okButton, &QAbstractButton::clicked, this, &MessageDialog::accept);
    InitialiseSkin();  // after OK, so that Tab reaches the Power button last

    // The line stands on the panel picture, so it goes above it, unfilled.
    m_line = new QLabel(this);
    m_line->setGeometry(kLineRect);
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
    const bool twoLines = m_text.contains(QLatin1Char('\n'));
    m_line->setGeometry(twoLines ? kTwoLineRect : kLineRect);
    m_line->setFont(twoLines ? FontFitting(font(), m_text, kTwoLineRect.size()) : font());
    m_line->setText(m_text);
    m_line->raise();
}

}  // namespace quorbin
