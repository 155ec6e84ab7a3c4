#include "ui/DialogUnits.h"

#include <QFontMetricsF>
#include <QStringList>
#include <cmath>
#include <QDebug>
#include <cstdlib>

#include "ui/UiText.h"

namespace quorbin {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units)
{
    return QRect(MulDiv(rect.x, units.x, 4), MulDiv(rect.y, units.y, 8), MulDiv(rect.width, units.x, 4),
                 MulDiv(rect.height, units.y, 8));
}

QFont FontOfLayout(const DialogLayout& layout)
{
    return LayoutFont(QString::fromUtf8(layout.fontFamily), layout.pointSize);
}

DialogBaseUnits UnitsPlacing(const DialogLayout& layout, int controlId, QPoint pixels)
{
    const LayoutControl* control = layout.Find(controlId);
    if (!control || control->rect.x <= 0 || control->rect.y <= 0)
        return {};
    return {MulDiv(pixels.x(), 4, control->rect.x), MulDiv(pixels.y(), 8, control->rect.y)};
}

QRect TextInk(const QFont& font, const QRect& box, Qt::Alignment alignment, const QString& text)
{
    const QFontMetricsF metrics(font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const qreal lineHeight = metrics.height();
    qreal top = box.top();
    if (alignment & Qt::AlignVCenter)
        top += (box.height() - lineHeight * lines.size()) / 2;
    else if (alignment & Qt::AlignBottom)
        top += box.height() - lineHeight * lines.size();
    QRectF ink;
    for (const QString& line : lines) {
        const qreal advance = metrics.horizontalAdvance(line);
        qreal left = box.left();
        if (alignment & Qt::AlignHCenter)
            left += (box.width() - advance) / 2;
        else if (alignment & Qt::AlignRight)
            left += box.width() - advance;
        const QPointF origin(left, top + metrics.ascent());
        QRectF lineInk = metrics.tightBoundingRect(line).translated(origin);
        if (font.underline())
            lineInk |= QRectF(origin.x(), origin.y() + metrics.underlinePos(), advance, metrics.lineWidth());
        ink |= lineInk;
        top += lineHeight;
    }
    // Whole pixels that any part of a glyph may touch.
    return QRect(QPoint(int(std::floor(ink.left())), int(std::floor(ink.top()))),
                 QPoint(int(std::ceil(ink.right())) - 1, int(std::ceil(ink.bottom())) - 1));
}

namespace {

// The rectangles of `texts` in pixels when they fit, else an empty list. A
// text whose ink would come closer than `gap` clear pixel rows to an earlier
// text's ink moves down just far enough; it never moves up or sideways.
QList<QRect> PlaceTexts(const DialogLayout& layout, const QList<LayoutText>& texts, const QFont& font,
                        DialogBaseUnits units, int gap, const QRect& area, const QList<QRect>& obstacles)
{
    QList<QRect> boxes, inks;
    for (const LayoutText& text : texts) {
        const LayoutControl* control = layout.Find(text.controlId);
        QRect box = control ? DialogUnitsToPixels(control->rect, units) : QRect();
        QFont shown = font;
        shown.setUnderline(text.underlined);
        QRect ink = TextInk(shown, box, text.alignment, text.text);
        for (const QRect& earlier : inks) {
            const bool sideBySide = ink.right() < earlier.left() - 1 || ink.left() > earlier.right() + 1;
            const int drop = earlier.bottom() + 1 + gap - ink.top();
            if (!sideBySide && drop > 0) {
                box.translate(0, drop);
                ink.translate(0, drop);
            }
        }
        if (ink.left() < box.left() || ink.right() > box.right() || !area.contains(ink))
            return {};
        const QRect clearance = ink.adjusted(-1, -1, 1, 1);
        for (const QRect& obstacle : obstacles)
            if (clearance.intersects(obstacle))
                return {};
        boxes.append(box);
        inks.append(ink);
    }
    return boxes;
}

}  // namespace

TextFit FitTextsToLayout(const DialogLayout& layout, const QList<LayoutText>& texts, const QFont& font,
                         DialogBaseUnits units, const QRect& area, const QList<QRect>& obstacles)
{
    constexpr int kMostPixelsLess = 3;
    constexpr int kFurthestUnit = 3;
    for (int less = 0; less <= kMostPixelsLess && font.pixelSize() - less > 0; ++less) {
        QFont candidate = font;
        candidate.setPixelSize(font.pixelSize() - less);
        // Two clear rows between lines read best; one still keeps them apart
        // and is preferred to a smaller font.
        for (int gap : {2, 1}) {
            for (int step = 0; step <= 2 * kFurthestUnit; ++step) {
                // 0, -1, +1, -2, +2, ...: the unit nearest the starting one first.
                const int offset = (step + 1) / 2 * (step % 2 ? -1 : 1);
                const DialogBaseUnits tried{units.x, units.y + offset};
                if (tried.y <= 0)
                    continue;
                QList<QRect> boxes = PlaceTexts(layout, texts, candidate, tried, gap, area, obstacles);
                if (!boxes.isEmpty())
                    return {tried, candidate, std::move(boxes)};
            }
        }
    }
    QList<QRect> boxes;
    for (const LayoutText& text : texts) {
        const LayoutControl* control = layout.Find(text.controlId);
        boxes.append(control ? DialogUnitsToPixels(control->rect, units) : QRect());
    }
    return {units, font, std::move(boxes), false};
}

}  // namespace quorbin
