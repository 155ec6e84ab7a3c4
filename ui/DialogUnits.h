#pragma once
// Dialog layouts give text rectangles in dialog units, which scale with the
// layout's font: a horizontal unit is a quarter of the font's average letter
// width, a vertical unit an eighth of its height.
#include <QFont>
#include <QList>
#include <QRect>

#include "ui/Layouts.h"

namespace quorbin {

struct DialogBaseUnits {
    int x = 0;  // average width of the 52 letters A-Z and a-z, rounded
    int y = 0;  // font height in pixels
};

// (a * b) / c, rounded half away from zero, as dialog managers round.
int MulDiv(int a, int b, int c);

QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units);

// The font a layout is drawn in, with installed fallbacks for its family.
QFont FontOfLayout(const DialogLayout& layout);

// The units that put control `controlId` of `layout` at `pixels`, the place
// the skin gives it: they stand for the layout's own font, whose metrics the
// installed stand-in fonts do not share.
DialogBaseUnits UnitsPlacing(const DialogLayout& layout, int controlId, QPoint pixels);

// Where text is inked when a label with `alignment` shows it in `box`: the
// union of its lines' glyph boxes, and of the underline when `font` has one.
QRect TextInk(const QFont& font, const QRect& box, Qt::Alignment alignment, const QString& text);

// A text control of a layout and what it shows.
struct LayoutText {
    int controlId = 0;
    QString text;
    Qt::Alignment alignment;
    bool underlined = false;
};

struct TextFit {
    DialogBaseUnits units;
    QFont font;
    QList<QRect> boxes;  // where each text goes, in the order given
    bool fits = true;    // false: nothing fitted; the starting units and font, unmoved
};

// Units, font and rectangles for showing `texts` (top to bottom) in `layout`'s
// rectangles. Tries the starting font size and up to three pixels less, and
// for each the vertical unit nearest `units.y` (within 3), first with two clear
// pixel rows between texts, then with one: a text whose ink would come closer
// to an earlier text's moves down just far enough.
// The first candidate wins where every text's ink stays inside its rectangle's
// width and inside `area`, and keeps a pixel clear of every rectangle in `obstacles`.
TextFit FitTextsToLayout(const DialogLayout& layout, const QList<LayoutText>& texts, const QFont& font,
                         DialogBaseUnits units, const QRect& area, const QList<QRect>& obstacles);

}  // namespace quorbin
