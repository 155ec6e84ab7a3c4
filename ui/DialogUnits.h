#pragma once
// Dialog layouts give text rectangles in dialog units, which scale with the
// layout's font: a horizontal unit is a quarter of the font's average letter
// width, a vertical unit an eighth of its height.
#include <QFont>
#include <QRect>

#include "res/Layouts.h"

namespace quorbin {

struct DialogBaseUnits {
    int x = 0;  // average width of the 52 letters A-Z and a-z, rounded
    int y = 0;  // font height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);

// (a * b) / c, rounded half away from zero, as dialog managers round.
int MulDiv(int a, int b, int c);

QRect DialogUnitsToPixels(const DialogUnitRect& rect, DialogBaseUnits units);

// The font a layout is drawn in, with installed fallbacks for its family.
QFont FontOfLayout(const DialogLayout& layout);

} // namespace quorbin
