#include "ui/AboutDialog.h"

#include <QLabel>
#include <QPainter>

#include "res/Layouts.h"
#include "ui/DialogUnits.h"
#include "ui/SkinnedControls.h"

namespace quorbin {
namespace {

constexpr int kNameLineId = 1002;
constexpr int kCopyrightLineId = 1003;
constexpr int kMakerLineId = 1004;
constexpr int kWebLinkId = 1006;

constexpr QPoint kOkPos(130, 85);
constexpr int kOkBitmap = 138;
constexpr int kLogoBitmap = 132;
constexpr QPoint kLogoPos(6, 25);
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

// Places `label` where the layout puts control `id`, with its caption and alignment.
void PlaceFromLayout(QLabel* label, const DialogLayout& layout, int id, DialogBaseUnits units)
{
    const LayoutControl* control = layout.Find(id);
    if (!control)
        return;
    label->setGeometry(DialogUnitsToPixels(control->rect, units));
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

} // namespace

QString AboutDialog::NameLine()
{
    return QStringLiteral("Quorbin Ver." QUORBIN_VERSION);
}

AboutDialog::AboutDialog(QWidget* owner, Language language) : SkinnedDialog(owner)
{
    const DialogLayout& layout = LoadLayout(IDD_ABOUT, language);
    setFont(FontOfLayout(layout));
    setWindowTitle(language == Language::Japanese ? QStringLiteral("Quorbin について")
                                                  : QStringLiteral("About Quorbin"));
    const DialogBaseUnits units = BaseUnitsOf(font());

    m_nameLine = MakeTextLine(this);
    m_copyrightLine = MakeTextLine(this);
    m_makerLine = MakeTextLine(this);
    m_link = new LinkLabel(this);
    PlaceFromLayout(m_nameLine, layout, kNameLineId, units);
    PlaceFromLayout(m_copyrightLine, layout, kCopyrightLineId, units);
    PlaceFromLayout(m_makerLine, layout, kMakerLineId, units);
    PlaceFromLayout(m_link, layout, kWebLinkId, units);
    m_nameLine->setText(NameLine());

    m_okButton = AddPushButton(kOkBitmap, kOkPos, QStringLiteral("OK"));
    connect(m_okButton, &QAbstractButton::clicked, this, &AboutDialog::accept);
    InitialiseSkin();  // after OK, so that Tab reaches the Power button last
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
    DrawSkinBitmap(painter, kLogoPos, kLogoBitmap);
}

} // namespace quorbin
