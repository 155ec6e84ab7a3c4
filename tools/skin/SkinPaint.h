#pragma once
// Drawing helpers shared by the skin bitmaps: the palette, the type, plates
// with hard pixel edges against the key colour, and anti-aliased content
// clipped to a plate's opaque interior so no blend ever touches the key.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>

#include <functional>

namespace skin {

namespace colours {
inline const QColor kKeyYellow(255, 255, 0);
inline const QColor kKeyRed(255, 0, 0);
inline const QColor kInk(12, 42, 92);          // navy text and outlines on light plates
inline const QColor kOffWhite(240, 240, 240);  // text straight on the background
inline const QColor kCyan(84, 200, 240);       // accents
inline const QColor kSuccessBlue(0, 36, 255);
inline const QColor kCautionYellow(255, 216, 0);
}  // namespace colours

// Which pixels of a frame belong to a plate.
using Shape = std::function<bool(int x, int y)>;

// The rectangle `r` with its four corners cut at 45 degrees by `cut` pixels and
// the bottom-right corner by `bottomRightCut`.
Shape CutRect(const QRect& r, int cut, int bottomRightCut);

struct PlateStyle {
    QColor top, bottom;  // vertical fill gradient
    QColor border;       // one-pixel outline
    QColor highlight;    // inner line along the top and left edges
    QColor shade;        // inner line along the bottom and right edges
};

// A frame of `w` x `h` filled with `key`, with the plate `shape` painted on it.
// At `scale` 2 every pixel is doubled, so the key pixels stay those of scale 1
// while content drawn afterwards gets the finer grid.
QImage PlateFrame(int w, int h, const QColor& key, const Shape& shape, const PlateStyle& style, int scale = 1);

// `image` with every pixel repeated `scale` times in each direction and its
// device pixel ratio set to `scale`: painters on it keep working in 1x units.
QImage Upscaled(const QImage& image, int scale);

// The part `r` (in 1x units) of `image`, keeping its device pixel ratio.
QImage CopyLogical(const QImage& image, const QRect& r);

// The plate's pixels minus its outline and bevel: where content may be drawn.
QRegion PlateInterior(int w, int h, const Shape& shape, int margin);

// Colour of a vertical gradient through (position, colour) stops at `y`.
QColor GradientAt(const QVector<QPair<int, QColor>>& stops, int y);

// Mix of `a` and `b`, t = 0 gives a.
QColor Mix(const QColor& a, const QColor& b, double t);

// Liberation Sans (or its narrow cut) at a pixel size, fully hinted.
QFont SkinFont(int pixelSize, bool bold, bool narrow = false);

// A painter set up for anti-aliased content, clipped to `clip` when not empty.
void BeginContent(QPainter& painter, QImage& image, const QRegion& clip = {});

// Draws `text` centred horizontally in `box`, its ascender-to-baseline height
// centred vertically, so that labels of one size share a baseline.
void DrawLabel(QPainter& painter, const QRect& box, const QString& text, const QFont& font, const QColor& colour,
               Qt::Alignment horizontal = Qt::AlignHCenter);

// Replaces exact key colour inside the plate with a neighbour shade, so that
// no interior pixel is cut out of the control's shape (`shape` in 1x units).
void ProtectPlateFromKey(QImage& frame, const QColor& key, const Shape& shape);

// Frames of equal size and device pixel ratio stacked from top to bottom.
QImage StackFrames(const QVector<QImage>& frames);

}  // namespace skin
