#pragma once
// The skin's pictures: the numbered bitmaps compiled into the program, their
// doubled artwork for high-density screens, replacements for tests and
// previews, and the shapes cut from their key colour.
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>

#include "res/Skin.h"

namespace quorbin {

// `point` and `area` of the skin's places as Qt types.
constexpr QPoint ToQPoint(SkinPoint point)
{
    return QPoint(point.x, point.y);
}
constexpr QRect ToQRect(SkinArea area)
{
    return QRect(area.x, area.y, area.width, area.height);
}

// `bitmap` from the compiled-in resources, as Format_RGB32; a null image when
// there is no such bitmap.
QImage LoadSkinBitmap(SkinBitmap bitmap);

// The picture of `bitmap` for a device of `devicePixelRatio`: above ratio 1
// the artwork drawn at twice the size (device pixel ratio 2), when there is
// one and the bitmap is not replaced; else LoadSkinBitmap(bitmap). Sizes,
// shapes and hit areas always come from LoadSkinBitmap.
QImage LoadSkinPicture(SkinBitmap bitmap, qreal devicePixelRatio);

// Paints frame `frame` of the `frameCount` frames of `bitmap` with its
// top-left corner at `at`, as sharp as the painter's device allows.
void DrawSkinBitmap(QPainter& painter, QPoint at, SkinBitmap bitmap, int frame = 0, int frameCount = 1);

// The keyboard focus frame of the skinned controls: dots over a white line, so
// that it shows on any colour of the skin.
void DrawFocusFrame(QPainter& painter, const QRect& frame);

// Makes LoadSkinBitmap(bitmap) return `image` instead of the compiled-in
// bitmap (tests, previews); a null image removes the replacement.
void SetSkinBitmapOverride(SkinBitmap bitmap, const QImage& image);

// The height of one of `frameCount` frames stacked in `bitmap`; 0 for frameCount < 1.
int FrameHeight(const QImage& bitmap, int frameCount);

// The shape of frame 0 of `bitmap` (frame height = height / frameCount): one
// rectangle per run of non-key pixels in each row. Empty for frameCount < 1.
QRegion ShapeFromBitmap(const QImage& bitmap, int frameCount);

}  // namespace quorbin
