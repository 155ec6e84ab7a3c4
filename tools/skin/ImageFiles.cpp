#include "ImageFiles.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>

#include "core/ByteOrder.h"

namespace skin {
namespace {

using quorbin::AppendLe16;
using quorbin::AppendLe32;

int PaddedRowBytes(int width, int bitsPerPixel)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// BITMAPINFOHEADER; `storedHeight` is doubled inside icons (colour + mask).
void PutInfoHeader(QByteArray& out, int width, int storedHeight, int bitsPerPixel, uint32_t imageBytes,
                   uint32_t coloursUsed)
{
    AppendLe32(out, 40);
    AppendLe32(out, uint32_t(width));
    AppendLe32(out, uint32_t(storedHeight));
    AppendLe16(out, 1);
    AppendLe16(out, uint16_t(bitsPerPixel));
    AppendLe32(out, 0);  // uncompressed
    AppendLe32(out, imageBytes);
    AppendLe32(out, 2835);  // 72 dpi
    AppendLe32(out, 2835);
    AppendLe32(out, coloursUsed);
    AppendLe32(out, 0);
}

bool WriteFile(const QByteArray& bytes, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

int ColourDistance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

int NearestIndex(const QVector<QRgb>& palette, QRgb colour)
{
    int best = 0;
    for (int i = 1; i < palette.size(); ++i)
        if (ColourDistance(palette[i], colour) < ColourDistance(palette[best], colour))
            best = i;
    return best;
}

bool IsOpaque(QRgb argb)
{
    return qAlpha(argb) >= 128;
}

QByteArray IconImageData(const QImage& picture, const QVector<QRgb>& palette, int bitsPerPixel)
{
    const int w = picture.width(), h = picture.height();
    const int colourRow = PaddedRowBytes(w, bitsPerPixel);
    const int maskRow = PaddedRowBytes(w, 1);
    const int paletteSize = 1 << bitsPerPixel;
    QByteArray out;
    PutInfoHeader(out, w, 2 * h, bitsPerPixel, uint32_t((colourRow + maskRow) * h), 0);
    for (int i = 0; i < paletteSize; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(colourRow, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb p = picture.pixel(x, y);
            // Transparent pixels use palette entry 0, black, as the mask requires.
            const int index = IsOpaque(p) ? NearestIndex(palette, p) : 0;
            if (bitsPerPixel == 8)
                row[x] = char(index);
            else
                row[x / 2] = char(uchar(row[x / 2]) | (x % 2 ? index : index << 4));
        }
        out.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < w; ++x)
            if (!IsOpaque(picture.pixel(x, y)))
                row[x / 8] = char(uchar(row[x / 8]) | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

using Colour = std::array<int, 3>;

struct Box {
    std::vector<Colour> colours;
    int widestChannel = 0;
    int range = 0;
};

Box MakeBox(std::vector<Colour> colours)
{
    Box box{std::move(colours), 0, -1};
    for (int c = 0; c < 3; ++c) {
        const auto [lo, hi] = std::minmax_element(box.colours.begin(), box.colours.end(),
                                                  [c](const Colour& a, const Colour& b) { return a[c] < b[c]; });
        if (hi->at(c) - lo->at(c) > box.range) {
            box.range = hi->at(c) - lo->at(c);
            box.widestChannel = c;
        }
    }
    return box;
}

QRgb AverageColour(const Box& box)
{
    long sum[3] = {0, 0, 0};
    for (const Colour& c : box.colours)
        for (int i = 0; i < 3; ++i)
            sum[i] += c[i];
    const long n = long(box.colours.size());
    return qRgb(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n));
}

}  // namespace

bool WriteBmp24(const QImage& image, const QString& path)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    const int rowBytes = PaddedRowBytes(w, 24);
    const uint32_t imageBytes = uint32_t(rowBytes * h);
    QByteArray out;
    out.append("BM");
    AppendLe32(out, 14 + 40 + imageBytes);
    AppendLe32(out, 0);
    AppendLe32(out, 14 + 40);
    PutInfoHeader(out, w, h, 24, imageBytes, 0);
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb p = rgb.pixel(x, y);
            row[3 * x] = char(qBlue(p));
            row[3 * x + 1] = char(qGreen(p));
            row[3 * x + 2] = char(qRed(p));
        }
        out.append(row);
    }
    return WriteFile(out, path);
}

bool WriteIco(const QVector<IconEntry>& entries, const QString& path)
{
    QVector<QByteArray> images;
    for (const IconEntry& entry : entries) {
        const QImage picture = entry.picture.convertToFormat(QImage::Format_ARGB32);
        const QVector<QRgb> palette = entry.bitsPerPixel == 4 ? StandardPalette16() : MedianCutPalette(picture, 256);
        images.append(IconImageData(picture, palette, entry.bitsPerPixel));
    }
    QByteArray out;
    AppendLe16(out, 0);
    AppendLe16(out, 1);  // icon
    AppendLe16(out, uint16_t(entries.size()));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const IconEntry& entry = entries[i];
        out.append(char(entry.picture.width() & 0xFF));  // 256 would be stored as 0
        out.append(char(entry.picture.height() & 0xFF));
        out.append(char(entry.bitsPerPixel == 4 ? 16 : 0));  // 0 means 256 colours
        out.append(char(0));
        AppendLe16(out, 1);
        AppendLe16(out, uint16_t(entry.bitsPerPixel));
        AppendLe32(out, uint32_t(images[i].size()));
        AppendLe32(out, offset);
        offset += uint32_t(images[i].size());
    }
    for (const QByteArray& image : images)
        out.append(image);
    return WriteFile(out, path);
}

QVector<QRgb> StandardPalette16()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

QVector<QRgb> MedianCutPalette(const QImage& picture, int count)
{
    std::vector<Colour> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (IsOpaque(p))
                colours.push_back({qRed(p), qGreen(p), qBlue(p)});
        }
    QVector<QRgb> palette{qRgb(0, 0, 0)};  // entry 0 stays black for the transparent pixels
    if (colours.empty())
        return palette;
    std::vector<Box> boxes{MakeBox(std::move(colours))};
    while (int(boxes.size()) < count - 1) {
        auto widest =
            std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.range < b.range; });
        if (widest->range <= 0)
            break;
        const int c = widest->widestChannel;
        std::vector<Colour> all = std::move(widest->colours);
        std::sort(all.begin(), all.end(),
                  [c](const Colour& a, const Colour& b) { return a[c] != b[c] ? a[c] < b[c] : a < b; });
        auto middle = all.begin() + std::ptrdiff_t(all.size() / 2);
        // Never split a run of equal values: move the cut to where the value changes.
        while (middle != all.end() && middle != all.begin() && (*middle)[c] == (*(middle - 1))[c])
            ++middle;
        if (middle == all.end())
            middle = all.begin() + std::ptrdiff_t(all.size() / 2);
        std::vector<Colour> upper(middle, all.end());
        all.erase(middle, all.end());
        *widest = MakeBox(std::move(all));
        boxes.push_back(MakeBox(std::move(upper)));
    }
    for (const Box& box : boxes)
        palette.append(AverageColour(box));
    return palette;
}

}  // namespace skin
