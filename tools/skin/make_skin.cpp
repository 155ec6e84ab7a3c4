// Draws the skin bitmaps and the application icon and writes them below the
// folder given on the command line (normally the source tree's res/):
//   skin/<number>.bmp, skin/<number>@2x.bmp (for a device pixel ratio of 2),
//   icon/128.ico, icon/hicolor/<n>x<n>/apps/quorbin.png,
//   skin.qrc, the list of them all that the windows compile in.
#include "ImageFiles.h"
#include "SkinArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

bool WriteSkin(const QDir& out)
{
    if (!out.mkpath(QStringLiteral("skin")))
        return false;
    for (int scale : {1, 2}) {
        for (const skin::SkinArtwork& artwork : skin::DrawSkinBitmaps(scale)) {
            const QString name = QString::fromStdString(quorbin::SkinFileName(artwork.bitmap, scale));
            const QString path = out.filePath(QStringLiteral("skin/") + name);
            if (!skin::WriteBmp24(artwork.image, path)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return false;
            }
        }
    }
    return true;
}

bool WriteIcons(const QDir& out)
{
    const QVector<skin::IconEntry> entries{{skin::DrawIcon16Colours(32), 4},
                                           {skin::DrawIcon16Colours(16), 4},
                                           {skin::DrawIcon(32), 8},
                                           {skin::DrawIcon(16), 8},
                                           {skin::DrawIcon(48), 8}};
    if (!out.mkpath(QStringLiteral("icon")) || !skin::WriteIco(entries, out.filePath(QStringLiteral("icon/128.ico"))))
        return false;
    for (int size : kIconSizes) {
        const QString folder = QStringLiteral("icon/hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder)
            || !skin::DrawIcon(size).save(out.filePath(folder + QStringLiteral("/quorbin.png")), "PNG"))
            return false;
    }
    return true;
}

// The resource list of everything above, as the windows compile it in.
bool WriteResourceList(const QDir& out)
{
    QString text = QStringLiteral("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/skin\">\n");
    for (quorbin::SkinBitmap bitmap : quorbin::kSkinBitmaps) {
        for (int scale : {1, 2}) {
            const QString name = QString::fromStdString(quorbin::SkinFileName(bitmap, scale));
            text += QStringLiteral("    <file alias=\"%1\">skin/%1</file>\n").arg(name);
        }
    }
    text += QStringLiteral("  </qresource>\n  <qresource prefix=\"/icon\">\n"
                           "    <file alias=\"128.ico\">icon/128.ico</file>\n");
    for (int size : kIconSizes)
        text +=
            QStringLiteral("    <file alias=\"quorbin-%1.png\">icon/hicolor/%1x%1/apps/quorbin.png</file>\n").arg(size);
    text += QStringLiteral("  </qresource>\n</RCC>\n");
    QFile file(out.filePath(QStringLiteral("skin.qrc")));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!WriteSkin(out) || !WriteIcons(out) || !WriteResourceList(out)) {
        std::fprintf(stderr, "writing below %s failed\n", argv[1]);
        return 1;
    }
    return 0;
}
