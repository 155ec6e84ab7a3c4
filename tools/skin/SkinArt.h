#pragma once
// The skin's artwork: every numbered bitmap of the windows, drawn from code so
// that the files can be made again whenever the look changes.
#include <QImage>
#include <QVector>

namespace skin {

struct SkinBitmap {
    int number;
    QImage image; // RGB32, frames stacked vertically
};

// Every skin bitmap, in number order.
QVector<SkinBitmap> DrawSkinBitmaps();

// The application icon at `size` x `size` pixels, with alpha.
QImage DrawIcon(int size);

// The same icon in colours of the standard 16-colour palette, without blends.
QImage DrawIcon16Colours(int size);

} // namespace skin
