#include "ui/UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include "ui/Layouts.h"

namespace quorbin {

QString UiTr(const char* english, const Language& language)
{
    return QString::fromUtf8(Tr(english, language));
}

QTranslator* InstallQtTranslations(const Language& language)
{
    if (language == Language::English())
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    // "qtbase_pt_BR" falls back to "qtbase_pt" by itself.
    const QString name = QStringLiteral("qtbase_") + QString::fromStdString(language.Code());
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
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
