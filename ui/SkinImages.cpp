#include "ui/SkinImages.h"

#include <QHash>

#include <cmath>

// Q_INIT_RESOURCE must be used outside any namespace. The skin is compiled into
// a static library, so nothing else would keep its registration from being dropped.
static void RegisterSkinResources()
{
    Q_INIT_RESOURCE(skin);
}

namespace quorbin {
namespace {

QHash<int, QImage>& SkinOverrides()
{
    static QHash<int, QImage> overrides;
    return overrides;
}

QImage LoadSkinFile(SkinBitmap bitmap, int scale)
{
    static const bool registered = (RegisterSkinResources(), true);
    Q_UNUSED(registered);
    const QImage image(QStringLiteral(":/skin/") + QString::fromStdString(SkinFileName(bitmap, scale)));
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

int FrameHeight(const QImage& bitmap, int frameCount)
{
    return frameCount < 1 ? 0 : bitmap.height() / frameCount;
}

void SetSkinBitmapOverride(SkinBitmap bitmap, const QImage& image)
{
    if (image.isNull())
        SkinOverrides().remove(SkinNumber(bitmap));
    else
        SkinOverrides().insert(SkinNumber(bitmap), image.convertToFormat(QImage::Format_RGB32));
}

QImage LoadSkinBitmap(SkinBitmap bitmap)
{
    const auto overridden = SkinOverrides().constFind(SkinNumber(bitmap));
    if (overridden != SkinOverrides().constEnd())
        return *overridden;
    return LoadSkinFile(bitmap, 1);
}

QImage LoadSkinPicture(SkinBitmap bitmap, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0 && !SkinOverrides().contains(SkinNumber(bitmap))) {
        QImage doubled = LoadSkinFile(bitmap, 2);
        if (!doubled.isNull()) {
            doubled.setDevicePixelRatio(2.0);
            return doubled;
        }
    }
    return LoadSkinBitmap(bitmap);
}

void DrawSkinBitmap(QPainter& painter, QPoint at, SkinBitmap bitmap, int frame, int frameCount)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QImage picture = LoadSkinPicture(bitmap, ratio);
    const int h = FrameHeight(picture, frameCount);
    if (picture.isNull() || h < 1 || frame < 0 || frame >= frameCount)
        return;
    // Whole multiples repeat pixels; any other ratio (1.5) is scaled smoothly.
    const qreal times = ratio / picture.devicePixelRatio();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, times != std::floor(times));
    painter.drawImage(at, picture, QRect(0, frame * h, picture.width(), h));
    painter.restore();
}

QRegion ShapeFromBitmap(const QImage& source, int frameCount)
{
    QRegion shape;
    const int h = FrameHeight(source, frameCount);
    if (source.isNull() || h < 1)
        return shape;
    const QImage bitmap = source.convertToFormat(QImage::Format_RGB32);
    const int w = bitmap.width();
    const QRgb key = bitmap.pixel(0, 0);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
        int runStart = 0;
        for (int x = 0; x < w; ++x) {
            if (row[x] != key)
                continue;
            if (runStart != x)
                shape += QRect(runStart, y, x - runStart, 1);
            runStart = x + 1;
        }
        if (runStart != w)
            shape += QRect(runStart, y, w - runStart, 1);
    }
    return shape;
}

void DrawFocusFrame(QPainter& painter, const QRect& frame)
{
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(frame);
}

}  // namespace quorbin
