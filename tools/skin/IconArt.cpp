#include "SkinArt.h"
#include "SkinPaint.h"

#include <cmath>

namespace skin {
namespace {

// Colours of one rendering of the icon. The 16-colour look uses only colours
// of the standard 16-colour palette and hard edges, so nothing is lost when
// the icon file stores it with 4 bits per pixel.
struct IconLook {
    bool smooth;
    QColor tileTop, tileBottom, outline;
    QColor innerWave, outerWave;
    QColor shell, screenTop, screenBottom, ink;
};

const IconLook kFullColour{true,
                           QColor(44, 110, 206),
                           QColor(10, 38, 100),
                           QColor(6, 22, 60),
                           QColor(84, 200, 240),
                           QColor(255, 216, 0),
                           QColor(244, 248, 255),
                           QColor(150, 236, 255),
                           QColor(30, 150, 214),
                           QColor(10, 38, 100)};
const IconLook kSixteenColour{false,
                              QColor(0, 0, 128),
                              QColor(0, 0, 128),
                              QColor(0, 0, 0),
                              QColor(0, 255, 255),
                              QColor(255, 255, 0),
                              QColor(255, 255, 255),
                              QColor(0, 255, 255),
                              QColor(0, 255, 255),
                              QColor(0, 0, 128)};

// The icon is laid out in fractions of its size; every size is drawn afresh, never scaled.
void DrawTile(QPainter& p, double s, const IconLook& look)
{
    const double inset = s <= 16 ? 0.0 : s * 0.03;
    const QRectF tile(inset + 0.5, inset + 0.5, s - 2 * inset - 1, s - 2 * inset - 1);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, look.tileTop);
    fill.setColorAt(1, look.tileBottom);
    p.setPen(QPen(look.outline, s <= 32 ? 1.0 : s / 32.0));
    p.setBrush(fill);
    p.drawRoundedRect(tile, s * 0.18, s * 0.18);
}

void DrawKeypadAndNote(QPainter& p, double s, const QRectF& screen, const IconLook& look)
{
    p.setPen(Qt::NoPen);
    p.setBrush(look.ink);
    const double dot = s * 0.028;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(
                QPointF(screen.left() + screen.width() * (0.17 + 0.33 * col), screen.bottom() + s * (0.09 + 0.1 * row)),
                dot, dot);
    // A note on the screen: the melody the recording becomes.
    const QPointF head(screen.center().x() - s * 0.025, screen.bottom() - s * 0.07);
    p.drawEllipse(head, s * 0.045, s * 0.035);
    p.setPen(QPen(look.ink, std::max(1.0, s * 0.025), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(head + QPointF(s * 0.04, 0), head + QPointF(s * 0.04, -s * 0.17));
}

void DrawPhone(QPainter& p, double s, const IconLook& look)
{
    const QRectF body(std::floor(s * 0.50) + 0.5, std::floor(s * 0.13) + 0.5, std::round(s * 0.33),
                      std::round(s * 0.74));
    p.setPen(QPen(look.outline, std::max(1.0, s / 40.0)));
    p.setBrush(look.shell);
    p.drawRoundedRect(body, s * 0.07, s * 0.07);
    const double margin = std::max(2.0, std::round(s * 0.06));
    const QRectF screen(body.left() + margin - 0.5, body.top() + margin - 0.5, body.width() - 2 * margin + 1,
                        std::round(s * 0.30));
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, look.screenTop);
    glass.setColorAt(1, look.screenBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawRect(screen);
    if (s >= 32)
        DrawKeypadAndNote(p, s, screen, look);
}

void DrawWaves(QPainter& p, double s, const IconLook& look)
{
    const QPointF centre(s * 0.46, s * 0.45);
    const double pen = std::max(1.3, s * 0.065);
    const int count = s < 24 ? 2 : 3;
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= count; ++i) {
        const double r = s < 24 ? 3.0 * i + 0.5 : s * (0.04 + 0.095 * i);
        p.setPen(QPen(i == count ? look.outerWave : look.innerWave, pen, Qt::SolidLine,
                      look.smooth ? Qt::RoundCap : Qt::FlatCap));
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 135 * 16, 90 * 16);
    }
}

QImage DrawIconWith(int size, const IconLook& look)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, look.smooth);
    const double s = size;
    DrawTile(p, s, look);
    DrawWaves(p, s, look);
    DrawPhone(p, s, look);
    p.end();
    return icon.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

QImage DrawIcon(int size)
{
    return DrawIconWith(size, kFullColour);
}

QImage DrawIcon16Colours(int size)
{
    return DrawIconWith(size, kSixteenColour);
}

}  // namespace skin
