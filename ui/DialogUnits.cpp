#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <cstdlib>

#include "ui/UiText.h"

namespace quorbin {

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters + 26) / 52, metrics.height()};
}

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
    return QRect(MulDiv(rect.x, units.x, 4), MulDiv(rect.y, units.y, 8),
                 MulDiv(rect.width, units.x, 4), MulDiv(rect.height, units.y, 8));
}

QFont FontOfLayout(const DialogLayout& layout)
{
    return LayoutFont(QString::fromUtf8(layout.fontFamily), layout.pointSize);
}

} // namespace quorbin
