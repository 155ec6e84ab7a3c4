// Draws the skin bitmaps and the application icon and writes them below the
// folder given on the command line (normally the source tree's res/):
//   skin/<number>.bmp, skin/<number>@2x.bmp (for a device pixel ratio of 2),
//   icon/128.ico, icon/hicolor/<n>x<n>/apps/quorbin.png
#include "ImageFiles.h"
#include "SkinArt.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

bool WriteSkin(const QDir& out)
{
    if (!out.mkpath(QStringLiteral("skin")))
        return false;
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        for (const skin::SkinBitmap& bitmap : skin::DrawSkinBitmaps(scale)) {
            const QString path = out.filePath(QStringLiteral("skin/%1%2.bmp").arg(bitmap.number).arg(suffix));
            if (!skin::WriteBmp24(bitmap.image, path)) {
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
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("icon/hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder)
            || !skin::DrawIcon(size).save(out.filePath(folder + QStringLiteral("/quorbin.png")), "PNG"))
            return false;
    }
    return true;
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
    if (!WriteSkin(out) || !WriteIcons(out)) {
        std::fprintf(stderr, "writing below %s failed\n", argv[1]);
        return 1;
    }
    return 0;
}
