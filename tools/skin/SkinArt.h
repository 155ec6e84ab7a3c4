#pragma once
// The skin's artwork: every numbered bitmap of the windows, drawn from code so
// that the files can be made again whenever the look changes.
#include <QImage>
#include <QVector>

#include "res/Skin.h"

namespace skin {

struct SkinArtwork {
    quorbin::SkinBitmap bitmap;
    QImage image;  // RGB32, frames stacked vertically
};

// Every skin bitmap of quorbin::kSkinBitmaps, in that order, at `scale` (1 or
// 2) times its size in pixels. At scale 2 the key pixels are those of scale 1
// doubled; outlines and plates are doubled too, while text and drawn glyphs use
// the finer grid.
QVector<SkinArtwork> DrawSkinBitmaps(int scale = 1);

// The application icon at `size` x `size` pixels, with alpha.
QImage DrawIcon(int size);

// The same icon in colours of the standard 16-colour palette, without blends.
QImage DrawIcon16Colours(int size);

}  // namespace skin
