#include "ui/AboutDialog.h"

#include <QLabel>
#include <QPainter>

#include "ui/Layouts.h"
#include "ui/DialogUnits.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"

namespace quorbin {
namespace {

constexpr int kNameLineId = 1002;
constexpr int kCopyrightLineId = 1003;
constexpr int kMakerLineId = 1004;
constexpr int kWebLinkId = 1006;

constexpr int kCloseButtonId = 1;
const QColor kTextColour(240, 240, 240);

Qt::Alignment AlignmentOf(const LayoutControl& control)
{
    Qt::Alignment alignment = control.Has(kStyleCentre) ? Qt::AlignHCenter : Qt::AlignLeft;
    if (control.Has(kStyleCentreImage))
        alignment |= Qt::AlignVCenter;
    else
        alignment |= Qt::AlignTop;
    return alignment;
}

// Gives `label` the caption and alignment of layout control `id`.
void TakeFromLayout(QLabel* label, const DialogLayout& layout, int id)
{
    const LayoutControl* control = layout.Find(id);
    if (!control)
        return;
    label->setAlignment(AlignmentOf(*control));
    label->setText(QString::fromUtf8(control->caption));
}

QLabel* MakeTextLine(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kTextColour);
    label->setPalette(palette);
    return label;
}

}  // namespace

QString AboutDialog::NameLine()
{
    return QStringLiteral("Quorbin Ver." QUORBIN_VERSION);
}

AboutDialog::AboutDialog(QWidget* owner, const Language& language) : SkinnedDialog(owner, language)
{
    const DialogLayout& layout = LoadLayout(IDD_ABOUT, language);
    setFont(FontOfLayout(layout));
    setWindowTitle(UiTr("About Quorbin", language));

    m_nameLine = MakeTextLine(this);
    m_copyrightLine = MakeTextLine(this);
    m_makerLine = MakeTextLine(this);
    m_link = new LinkLabel(this);
    TakeFromLayout(m_nameLine, layout, kNameLineId);
    TakeFromLayout(m_copyrightLine, layout, kCopyrightLineId);
    TakeFromLayout(m_makerLine, layout, kMakerLineId);
    TakeFromLayout(m_link, layout, kWebLinkId);
    m_nameLine->setText(NameLine());

    m_okButton = AddPushButton(SkinBitmap::CloseButton, skin_place::kRightButton, UiTr("OK", language));
    connect(m_okButton, &QAbstractButton::clicked, this, &AboutDialog::accept);
    InitialiseSkin();  // after OK, so that Tab reaches the Power button last
    PlaceTexts(layout);
}

// The layout's units stand for its own font, which the installed stand-in
// differs from in size and width. They are derived from where the skin puts
// the close button; then units, font size and small downward moves are found
// that keep every text clear of the others, the logo, the top strip and the buttons.
void AboutDialog::PlaceTexts(const DialogLayout& layout)
{
    const std::pair<int, QLabel*> labels[] = {{kNameLineId, m_nameLine},
                                              {kCopyrightLineId, m_copyrightLine},
                                              {kMakerLineId, m_makerLine},
                                              {kWebLinkId, m_link}};
    QList<LayoutText> texts;
    for (const auto& [id, label] : labels)
        texts.append({id, label->text(), label->alignment(), label == m_link});
    const QList<QRect> obstacles{ToQRect(skin_place::kDragStrip), ToQRect(skin_place::kAboutLogo),
                                 m_okButton->geometry(), m_powerButton->geometry()};
    const TextFit fit =
        FitTextsToLayout(layout, texts, font(),
                         UnitsPlacing(layout, kCloseButtonId, ToQPoint(skin_place::kRightButton)), rect(), obstacles);
    setFont(fit.font);
    for (int i = 0; i < int(std::size(labels)); ++i)
        labels[i].second->setGeometry(fit.boxes[i]);
}

QLabel* AboutDialog::TextLine(int controlId) const
{
    switch (controlId) {
    case kNameLineId: return m_nameLine;
    case kCopyrightLineId: return m_copyrightLine;
    case kMakerLineId: return m_makerLine;
    default: return nullptr;
    }
}

void AboutDialog::PaintBackground(QPainter& painter)
{
    SkinnedDialog::PaintBackground(painter);
    DrawSkinBitmap(painter, ToQRect(skin_place::kAboutLogo).topLeft(), SkinBitmap::AboutLogo);
}

}  // namespace quorbin
