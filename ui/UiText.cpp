#include "ui/UiText.h"

#include <QStringList>

#include "res/Layouts.h"

namespace quorbin {

Language UiLanguage()
{
    return LanguageFromEnvironment();
}

QString UiString(int id)
{
    return QString::fromUtf8(LoadString(id, UiLanguage()));
}

int PointsToPixels(int pointSize)
{
    // Rounded to nearest, as the layouts' fonts are on a 96 dpi desktop.
    return (pointSize * 96 + 36) / 72;
}

QFont LayoutFont(const QString& family, int pointSize)
{
    QStringList families{family};
    if (family == QString::fromUtf8(kJapaneseFont))
        // A Japanese face first, so kanji never get a Chinese-style fallback.
        families << QStringLiteral("IPAPGothic") << QStringLiteral("IPAGothic");
    else
        families << QStringLiteral("Liberation Sans") << QStringLiteral("DejaVu Sans");
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(PointsToPixels(pointSize));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace quorbin
