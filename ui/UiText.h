#pragma once
// The user interface's texts, Qt's own translations and the fonts of the dialog layouts.
#include "conversion/StringTable.h"

#include <QFont>
#include <QString>

class QTranslator;

namespace quorbin {

// `english` in `language`, through the same catalogues as every other text.
QString UiTr(const char* english, const Language& language);

// Loads Qt's own texts (the file chooser, standard buttons) in `language` from
// Qt's translations folder. Returns the installed translator, which the
// application owns, or nullptr for English or when Qt has none for it.
QTranslator* InstallQtTranslations(const Language& language);

// The layout font `family` ("Arial", "ＭＳ Ｐゴシック") at `pointSize` points,
// sized in pixels as at 96 dpi, falling back to installed look-alikes.
QFont LayoutFont(const QString& family, int pointSize);

// The pixel height of a font of `pointSize` points at 96 dpi (8 pt -> 11 px).
int PointsToPixels(int pointSize);

}  // namespace quorbin
