#pragma once
// The user interface's language, its texts and the fonts of the dialog layouts.
#include "res/StringTable.h"

#include <QFont>
#include <QString>

namespace quorbin {

// The language of the messages, decided by the same rule as the command line
// (LanguageFromEnvironment).
Language UiLanguage();

// String table entry `id` in the user interface's language.
QString UiString(int id);

// The layout font `family` ("Arial", "ＭＳ Ｐゴシック") at `pointSize` points,
// sized in pixels as at 96 dpi, falling back to installed look-alikes.
QFont LayoutFont(const QString& family, int pointSize);

// The pixel height of a font of `pointSize` points at 96 dpi (8 pt -> 11 px).
int PointsToPixels(int pointSize);

}  // namespace quorbin
