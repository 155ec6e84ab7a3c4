#pragma once
// Writers for the two file formats the skin ships in: uncompressed 24-bit BMP
// and ICO with paletted, BMP-encoded entries (colour bitmap plus AND mask).
#include <QImage>
#include <QString>
#include <QVector>

namespace skin {

// Writes `image` as a bottom-up, uncompressed 24-bit BMP; false on any I/O error.
bool WriteBmp24(const QImage& image, const QString& path);

// One icon entry: a picture with alpha, stored with 16 or 256 colours.
struct IconEntry {
    QImage picture;    // ARGB32; pixels with alpha < 128 become transparent
    int bitsPerPixel;  // 4 or 8
};

bool WriteIco(const QVector<IconEntry>& entries, const QString& path);

// The 16 colours of the standard 4-bit display palette.
QVector<QRgb> StandardPalette16();

// Up to `count` colours chosen by median cut over the opaque pixels of `picture`.
QVector<QRgb> MedianCutPalette(const QImage& picture, int count);

}  // namespace skin
