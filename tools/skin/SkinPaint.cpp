#include "SkinPaint.h"

#include <QFontInfo>

#include <cstdio>

namespace skin {

Shape CutRect(const QRect& r, int cut, int bottomRightCut)
{
    return [r, cut, bottomRightCut](int x, int y) {
        if (!r.contains(x, y))
            return false;
        const int dl = x - r.left(), dr = r.right() - x, dt = y - r.top(), db = r.bottom() - y;
        return dl + dt >= cut && dr + dt >= cut && dl + db >= cut && dr + db >= bottomRightCut;
    };
}

QColor Mix(const QColor& a, const QColor& b, double t)
{
    auto channel = [t](int x, int y) { return int(x + (y - x) * t + 0.5); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

QColor GradientAt(const QVector<QPair<int, QColor>>& stops, int y)
{
    if (y <= stops.front().first)
        return stops.front().second;
    for (int i = 1; i < stops.size(); ++i)
        if (y <= stops[i].first) {
            const auto& [y0, c0] = stops[i - 1];
            const auto& [y1, c1] = stops[i];
            return Mix(c0, c1, double(y - y0) / double(y1 - y0));
        }
    return stops.back().second;
}

namespace {

enum class Edge { Interior, Outline, Highlight, Shade };

Edge Classify(int w, int h, const Shape& shape, int x, int y)
{
    auto in = [&](int px, int py) { return px >= 0 && py >= 0 && px < w && py < h && shape(px, py); };
    if (!in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1))
        return Edge::Outline;
    if (!in(x - 2, y) || !in(x, y - 2) || !in(x - 1, y - 1))
        return Edge::Highlight;
    if (!in(x + 2, y) || !in(x, y + 2) || !in(x + 1, y + 1))
        return Edge::Shade;
    return Edge::Interior;
}

}  // namespace

QImage PlateFrame(int w, int h, const QColor& key, const Shape& shape, const PlateStyle& style, int scale)
{
    QImage frame(w, h, QImage::Format_RGB32);
    frame.fill(key);
    int top = h, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (shape(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    for (int y = top; y <= bottom; ++y) {
        const double t = bottom > top ? double(y - top) / double(bottom - top) : 0.0;
        const QColor fill = Mix(style.top, style.bottom, t);
        for (int x = 0; x < w; ++x) {
            if (!shape(x, y))
                continue;
            QColor c = fill;
            switch (Classify(w, h, shape, x, y)) {
            case Edge::Outline: c = style.border; break;
            case Edge::Highlight: c = style.highlight; break;
            case Edge::Shade: c = style.shade; break;
            case Edge::Interior: break;
            }
            frame.setPixel(x, y, c.rgb());
        }
    }
    return Upscaled(frame, scale);
}

QImage Upscaled(const QImage& image, int scale)
{
    QImage out =
        image.scaled(image.width() * scale, image.height() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.setDevicePixelRatio(scale);
    return out;
}

QImage CopyLogical(const QImage& image, const QRect& r)
{
    const int scale = int(image.devicePixelRatio());
    QImage out = image.copy(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale);
    out.setDevicePixelRatio(scale);
    return out;
}

QRegion PlateInterior(int w, int h, const Shape& shape, int margin)
{
    QRegion region;
    for (int y = 0; y < h; ++y) {
        int start = -1;
        for (int x = 0; x <= w; ++x) {
            bool inside = x < w;
            for (int d = -margin; inside && d <= margin; ++d)
                inside = shape(x + d, y) && shape(x, y + d) && shape(x + d, y + d) && shape(x + d, y - d);
            if (inside && start < 0)
                start = x;
            if (!inside && start >= 0) {
                region += QRect(start, y, x - start, 1);
                start = -1;
            }
        }
    }
    return region;
}

QFont SkinFont(int pixelSize, bool bold, bool narrow)
{
    const QString family = narrow ? QStringLiteral("Liberation Sans Narrow") : QStringLiteral("Liberation Sans");
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (QFontInfo(font).family() != family)
        std::fprintf(stderr, "warning: font %s is missing; the artwork will differ\n", qPrintable(family));
    return font;
}

void BeginContent(QPainter& painter, QImage& image, const QRegion& clip)
{
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    if (!clip.isEmpty())
        painter.setClipRegion(clip);
}

void DrawLabel(QPainter& painter, const QRect& box, const QString& text, const QFont& font, const QColor& colour,
               Qt::Alignment horizontal)
{
    const QFontMetrics metrics(font);
    const QRect ascender = metrics.tightBoundingRect(QStringLiteral("lbdk"));
    const int baseline = box.top() + (box.height() - ascender.height()) / 2 - ascender.top();
    const int width = metrics.horizontalAdvance(text);
    int x = box.left();
    if (horizontal & Qt::AlignHCenter)
        x = box.left() + (box.width() - width) / 2;
    else if (horizontal & Qt::AlignRight)
        x = box.right() + 1 - width;
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPoint(x, baseline), text);
}

void ProtectPlateFromKey(QImage& frame, const QColor& key, const Shape& shape)
{
    const QRgb keyRgb = key.rgb();
    const QRgb nudged = qRgb(qRed(keyRgb) == 255 ? 254 : qRed(keyRgb) + 1, qGreen(keyRgb), qBlue(keyRgb));
    const int scale = int(frame.devicePixelRatio());
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (shape(x / scale, y / scale) && frame.pixel(x, y) == keyRgb)
                frame.setPixel(x, y, nudged);
}

QImage StackFrames(const QVector<QImage>& frames)
{
    const int scale = int(frames.front().devicePixelRatio());
    const int w = frames.front().width(), h = frames.front().height();
    QImage out(w, h * int(frames.size()), QImage::Format_RGB32);
    out.setDevicePixelRatio(scale);
    QPainter painter(&out);
    for (int i = 0; i < frames.size(); ++i)
        painter.drawImage(0, i * h / scale, frames[i]);
    return out;
}

}  // namespace skin
