#include "SkinArt.h"

#include "SkinPaint.h"

#include <QPainterPath>

namespace skin {
namespace {

using namespace colours;

constexpr int kWindowWidth = 210, kWindowHeight = 100;
constexpr int kBandHeight = 19;  // rows 0..18 dark band, row 19 its bright edge

// The dark band with its bright edge, then blue growing lighter toward the bottom
// edge at `height` - 1; the lower part keeps its proportions in taller windows.
QColor BackgroundAt(int y, int height)
{
    const int bottom = height - 1;
    const auto lower = [bottom](int y100) { return 20 + (y100 - 20) * (bottom - 20) / (99 - 20); };
    const QVector<QPair<int, QColor>> stops{
        {0, QColor(8, 30, 74)},         {18, QColor(20, 58, 128)},         {19, QColor(78, 164, 226)},
        {20, QColor(24, 76, 164)},      {lower(44), QColor(40, 102, 188)}, {lower(60), QColor(116, 172, 228)},
        {bottom, QColor(212, 234, 252)}};
    return GradientAt(stops, y);
}

void DrawMakerMark(QPainter& p)
{
    p.setPen(QPen(kCyan, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(6.5, 3.5, 11, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QRectF(13.0, 2.5, 5, 5));
    DrawLabel(p, QRect(23, 0, 60, kBandHeight), QStringLiteral("norrlab"), SkinFont(10, true), QColor(160, 196, 240),
              Qt::AlignLeft);
}

void DrawProductName(QPainter& p, int windowWidth)
{
    const QFont font = SkinFont(15, true);
    const QFontMetrics metrics(font);
    const QString rest = QStringLiteral("uorbin");
    const int right = windowWidth - 7;
    const int restLeft = right + 1 - metrics.horizontalAdvance(rest);
    const int qLeft = restLeft - metrics.horizontalAdvance(QLatin1Char('Q'));
    const QRect band(0, 0, windowWidth, kBandHeight);
    DrawLabel(p, band.adjusted(qLeft, 0, 0, 0), QStringLiteral("Q"), font, kCyan, Qt::AlignLeft);
    DrawLabel(p, band.adjusted(restLeft, 0, 0, 0), rest, font, QColor(255, 255, 255), Qt::AlignLeft);
}

// The gradient with the maker's mark and the product's name in its band.
QImage WindowBackground(int width, int height, int scale)
{
    QImage gradient(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gradient.setPixel(x, y, BackgroundAt(y, height).rgb());
    QImage image = Upscaled(gradient, scale);
    QPainter p;
    BeginContent(p, image);
    DrawMakerMark(p);
    DrawProductName(p, width);
    return image;
}

QImage Background(int scale)
{
    return WindowBackground(kWindowWidth, kWindowHeight, scale);
}

// ---- push buttons: light-blue plates with cut corners -------------------------

constexpr int kButtonWidth = 51, kButtonHeight = 13;

const PlateStyle kButtonUp{QColor(236, 247, 255), QColor(160, 204, 242), QColor(20, 62, 128), QColor(255, 255, 255),
                           QColor(126, 176, 224)};
const PlateStyle kButtonDown{QColor(128, 180, 230), QColor(170, 212, 246), QColor(20, 62, 128), QColor(96, 148, 204),
                             QColor(190, 224, 250)};

QImage ButtonFrame(const QString& label, bool pressed, int scale)
{
    const Shape shape = CutRect(QRect(0, 0, kButtonWidth, kButtonHeight), 3, 3);
    QImage frame = PlateFrame(kButtonWidth, kButtonHeight, kKeyYellow, shape, pressed ? kButtonDown : kButtonUp, scale);
    QPainter p;
    BeginContent(p, frame, PlateInterior(kButtonWidth, kButtonHeight, shape, 1));
    const int shift = pressed ? 1 : 0;
    DrawLabel(p, QRect(shift, shift, kButtonWidth, kButtonHeight), label, SkinFont(10, true), kInk);
    p.end();
    ProtectPlateFromKey(frame, kKeyYellow, shape);
    return frame;
}

QImage PushButton(const QString& label, int scale)
{
    return StackFrames({ButtonFrame(label, false, scale), ButtonFrame(label, true, scale)});
}

// ---- the Power button: lower-right triangle, key red above the diagonal -------

constexpr int kPowerSize = 28;

void DrawPowerSymbol(QPainter& p, QPointF centre, const QColor& colour)
{
    QPen pen(colour, 1.9, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double r = 5.0;
    p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 125 * 16, 290 * 16);
    p.drawLine(QPointF(centre.x(), centre.y() - r - 1.0), QPointF(centre.x(), centre.y() - 0.5));
}

QImage PowerFrame(bool pressed, int scale)
{
    const Shape shape = [](int x, int y) {
        return x >= 0 && y >= 0 && x < kPowerSize && y < kPowerSize && x + y >= kPowerSize - 1;
    };
    const PlateStyle up{QColor(46, 84, 146), QColor(14, 40, 88), QColor(6, 20, 46), QColor(92, 138, 204),
                        QColor(10, 30, 68)};
    const PlateStyle down{QColor(12, 32, 70), QColor(30, 62, 116), QColor(6, 20, 46), QColor(8, 24, 54),
                          QColor(46, 84, 146)};
    QImage frame = PlateFrame(kPowerSize, kPowerSize, kKeyRed, shape, pressed ? down : up, scale);
    QPainter p;
    BeginContent(p, frame, PlateInterior(kPowerSize, kPowerSize, shape, 2));
    const double at = pressed ? 19.5 : 18.5;
    DrawPowerSymbol(p, QPointF(at, at), pressed ? QColor(70, 190, 240) : QColor(140, 230, 255));
    p.end();
    ProtectPlateFromKey(frame, kKeyRed, shape);
    return frame;
}

// ---- the check box --------------------------------------------------------------

constexpr int kBoxSize = 13;

QImage CheckFrame(int state, int scale)
{
    const Shape shape = CutRect(QRect(0, 0, kBoxSize, kBoxSize), 1, 1);
    const PlateStyle white{QColor(255, 255, 255), QColor(236, 242, 248), kInk, QColor(196, 208, 222),
                           QColor(255, 255, 255)};
    const PlateStyle grey{QColor(198, 203, 210), QColor(186, 192, 200), QColor(128, 136, 148), QColor(168, 175, 184),
                          QColor(210, 214, 220)};
    QImage frame = PlateFrame(kBoxSize, kBoxSize, kKeyYellow, shape, state == 2 ? grey : white, scale);
    if (state == 1) {
        QPainter p;
        BeginContent(p, frame, PlateInterior(kBoxSize, kBoxSize, shape, 1));
        p.setPen(QPen(QColor(16, 70, 170), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(3.2, 6.4), QPointF(5.6, 9.0), QPointF(9.9, 3.6)});
    }
    ProtectPlateFromKey(frame, kKeyYellow, shape);
    return frame;
}

// ---- the 210 x 60 plates: drop space and message panels -------------------------

constexpr int kPlateHeight = 60;

// Inset to line up with the buttons below; the bottom-right corner is cut
// along the Power button's diagonal so the two never overlap.
Shape WidePlateShape()
{
    return CutRect(QRect(6, 0, kWindowWidth - 12, kPlateHeight), 5, 10);
}

QImage WidePlate(const PlateStyle& style, int scale)
{
    return PlateFrame(kWindowWidth, kPlateHeight, kKeyYellow, WidePlateShape(), style, scale);
}

void DrawWaveGlyph(QPainter& p, QPointF left, double height, const QColor& colour)
{
    static const double bars[] = {0.35, 0.7, 1.0, 0.55, 0.85, 0.4, 0.2};
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 7; ++i) {
        const double h = height * bars[i] / 2;
        p.drawLine(QPointF(left.x() + 3 * i, left.y() - h), QPointF(left.x() + 3 * i, left.y() + h));
    }
}

void DrawNoteGlyph(QPainter& p, QPointF head, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.save();
    p.translate(head);
    p.rotate(-20);
    p.drawEllipse(QRectF(-3.4, -2.4, 6.8, 4.8));
    p.restore();
    p.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(head.x() + 2.8, head.y() - 0.5), QPointF(head.x() + 2.8, head.y() - 11));
    p.drawLine(QPointF(head.x() + 2.8, head.y() - 11), QPointF(head.x() + 6.5, head.y() - 8));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, QPointF(to.x() - 4, to.y()));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{to, QPointF(to.x() - 6, to.y() - 4.5), QPointF(to.x() - 6, to.y() + 4.5)});
}

QImage DropFrame(bool hover, int scale)
{
    const PlateStyle normal{QColor(110, 216, 242), QColor(44, 160, 210), QColor(10, 52, 106), QColor(184, 242, 255),
                            QColor(30, 128, 182)};
    const PlateStyle bright{QColor(190, 252, 255), QColor(96, 230, 250), QColor(10, 52, 106), QColor(255, 255, 255),
                            QColor(56, 196, 232)};
    QImage frame = WidePlate(hover ? bright : normal, scale);
    QPainter p;
    BeginContent(p, frame, PlateInterior(kWindowWidth, kPlateHeight, WidePlateShape(), 2));
    DrawLabel(p, QRect(6, 4, 198, 20), QStringLiteral("drop wave file here!"), SkinFont(15, true), kInk);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, hover ? 150 : 90));
    p.drawRoundedRect(QRectF(38.5, 29.5, 133, 21), 10.5, 10.5);
    const QFont font = SkinFont(13, true);
    const QColor ink(10, 52, 106);
    DrawWaveGlyph(p, QPointF(49, 40), 11, ink);
    DrawLabel(p, QRect(70, 30, 30, 20), QStringLiteral(".wav"), font, ink, Qt::AlignRight);
    DrawArrow(p, QPointF(103, 40), QPointF(119, 40), ink);
    DrawLabel(p, QRect(122, 30, 40, 20), QStringLiteral(".mld"), font, ink, Qt::AlignLeft);
    DrawNoteGlyph(p, QPointF(155, 44), ink);
    p.end();
    ProtectPlateFromKey(frame, kKeyYellow, WidePlateShape());
    return frame;
}

void DrawCheckBadge(QPainter& p, QPointF centre, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, 9.5, 9.5);
    p.setPen(QPen(QColor(255, 255, 255), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{centre + QPointF(-4.5, 0.2), centre + QPointF(-1.3, 3.6), centre + QPointF(4.6, -3.4)});
}

void DrawWarningBadge(QPainter& p, QPointF centre, const QColor& colour)
{
    p.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{centre + QPointF(0, -9.5), centre + QPointF(10.5, 8.5), centre + QPointF(-10.5, 8.5)});
    p.setPen(QPen(QColor(0, 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(0, -3.5), centre + QPointF(0, 2.5));
    p.drawPoint(centre + QPointF(0, 6.0));
}

// A heading with its badge, centred as a group above a rule; the message's
// lines go below the rule, in skin_place::kMessageText.
QImage MessagePanel(const PlateStyle& style, const QString& word, const QColor& colour, const QColor& rule,
                    bool success, int scale)
{
    QImage frame = WidePlate(style, scale);
    QPainter p;
    BeginContent(p, frame, PlateInterior(kWindowWidth, kPlateHeight, WidePlateShape(), 2));
    // Kept low, so that a message, its reason and a way out fit as three lines.
    const QFont font = SkinFont(15, true);
    constexpr double kBadgeScale = 0.72;
    const int textWidth = QFontMetrics(font).horizontalAdvance(word);
    const int groupLeft = (kWindowWidth - (textWidth + 20)) / 2;
    const double ruleY = quorbin::skin_place::kMessageText.y - quorbin::skin_place::kPanel.y - 2.5;
    p.save();
    p.translate(groupLeft + 7.5, 12.5);
    p.scale(kBadgeScale, kBadgeScale);
    if (success)
        DrawCheckBadge(p, QPointF(0, 0), colour);
    else
        DrawWarningBadge(p, QPointF(0, 0), colour);
    p.restore();
    DrawLabel(p, QRect(groupLeft + 19, 3, textWidth + 2, 19), word, font, colour, Qt::AlignLeft);
    p.setPen(QPen(rule, 1.0));
    p.drawLine(QPointF(24, ruleY), QPointF(186, ruleY));
    p.end();
    ProtectPlateFromKey(frame, kKeyYellow, WidePlateShape());
    return frame;
}

QImage SuccessPanel(int scale)
{
    const PlateStyle white{QColor(255, 255, 255), QColor(226, 238, 250), QColor(20, 62, 128), QColor(255, 255, 255),
                           QColor(190, 212, 236)};
    return MessagePanel(white, QStringLiteral("completed!"), kSuccessBlue, QColor(190, 210, 236), true, scale);
}

QImage CautionPanel(int scale)
{
    const PlateStyle black{QColor(34, 34, 36), QColor(4, 4, 6), QColor(84, 84, 90), QColor(52, 52, 56),
                           QColor(0, 0, 0)};
    return MessagePanel(black, QStringLiteral("caution!"), kCautionYellow, QColor(70, 70, 74), false, scale);
}

// ---- pieces laid straight on the background (no key) -----------------------------

QImage FieldStrip(const QImage& background, quorbin::SkinArea area, const QString& word)
{
    QImage strip = CopyLogical(background, QRect(area.x, area.y, area.width, area.height));
    QPainter p;
    BeginContent(p, strip);
    p.fillRect(QRect(0, 0, kWindowWidth, 17), QColor(6, 22, 60, 80));
    p.fillRect(QRect(0, 16, kWindowWidth, 1), QColor(255, 255, 255, 40));
    DrawLabel(p, QRect(12, 0, 60, 17), word, SkinFont(11, true), kOffWhite, Qt::AlignLeft);
    // The edit field sits on the white at x 77..191, y 2..15.
    p.fillRect(QRect(75, 0, 119, 17), QColor(20, 62, 128));
    p.fillRect(QRect(76, 1, 117, 15), QColor(255, 255, 255));
    p.fillRect(QRect(76, 1, 117, 1), QColor(214, 224, 236));
    p.fillRect(QRect(76, 1, 1, 15), QColor(214, 224, 236));
    return strip;
}

QImage ProtectionLabel(const QImage& background)
{
    constexpr quorbin::SkinArea area = quorbin::skin_place::kProtectionLabel;
    QImage label = CopyLogical(background, QRect(area.x, area.y, area.width, area.height));
    QPainter p;
    BeginContent(p, label);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(6, 22, 60, 110));
    p.drawRoundedRect(QRectF(0, 0, 106, 12), 3, 3);
    DrawLabel(p, QRect(3, 0, 103, 12), QStringLiteral("protection availability"), SkinFont(11, true, true), kOffWhite,
              Qt::AlignLeft);
    return label;
}

void DrawHandset(QPainter& p, const QRectF& body)
{
    p.setPen(QPen(kInk, 1.0));
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0, QColor(250, 252, 255));
    shell.setColorAt(1, QColor(196, 212, 232));
    p.setBrush(shell);
    p.drawRoundedRect(body, 3.5, 3.5);
    const QRectF screen(body.left() + 2.5, body.top() + 4, body.width() - 5, 10);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(150, 236, 255));
    glass.setColorAt(1, QColor(40, 150, 210));
    p.setBrush(glass);
    p.drawRect(screen);
    p.setPen(QPen(kInk, 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(body.center().x() - 2.5, body.top() + 2), QPointF(body.center().x() + 2.5, body.top() + 2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 120));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QPointF(body.left() + 4.0 + col * 3.5, screen.bottom() + 4.0 + row * 3.6), 1.0, 1.0);
}

void DrawSoundArcs(QPainter& p, QPointF centre, bool left)
{
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        p.setPen(QPen(kCyan, 1.5, Qt::SolidLine, Qt::RoundCap));
        const double r = 2.5 + 3.5 * i;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), (left ? 140 : -40) * 16, 80 * 16);
    }
}

QImage AboutLogo(const QImage& background)
{
    constexpr quorbin::SkinArea area = quorbin::skin_place::kAboutLogo;
    QImage logo = CopyLogical(background, QRect(area.x, area.y, area.width, area.height));
    QPainter p;
    BeginContent(p, logo);
    const QFont font = SkinFont(12, true);
    const QFontMetrics metrics(font);
    const int left = (48 - metrics.horizontalAdvance(QStringLiteral("Quorbin"))) / 2;
    DrawLabel(p, QRect(left, 0, 10, 12), QStringLiteral("Q"), font, kCyan, Qt::AlignLeft);
    DrawLabel(p, QRect(left + metrics.horizontalAdvance(QLatin1Char('Q')), 0, 40, 12), QStringLiteral("uorbin"), font,
              QColor(255, 255, 255), Qt::AlignLeft);
    const QRectF body(16.5, 15.5, 15, 31);
    DrawHandset(p, body);
    DrawSoundArcs(p, QPointF(body.left() - 1, 26), true);
    DrawSoundArcs(p, QPointF(body.right() + 1, 26), false);
    return logo;
}

// ---- the ringtone editor's window ---------------------------------------------------

QRect ToRect(quorbin::SkinArea area)
{
    return QRect(area.x, area.y, area.width, area.height);
}

// A white well for a value field, with a navy rim and a shaded top-left edge.
void DrawFieldWell(QPainter& p, const QRect& field)
{
    p.fillRect(field.adjusted(-2, -2, 2, 2), QColor(20, 62, 128));
    p.fillRect(field.adjusted(-1, -1, 1, 1), QColor(255, 255, 255));
    p.fillRect(QRect(field.left() - 1, field.top() - 1, field.width() + 2, 1), QColor(214, 224, 236));
    p.fillRect(QRect(field.left() - 1, field.top() - 1, 1, field.height() + 2), QColor(214, 224, 236));
}

// The dark well the waveform is drawn in: a navy rim, a bevel and a black-blue floor.
void DrawWaveWell(QPainter& p, const QRect& wave)
{
    p.fillRect(wave.adjusted(-2, -2, 2, 2), QColor(6, 20, 46));
    p.fillRect(QRect(wave.left() - 2, wave.bottom() + 2, wave.width() + 4, 1), QColor(120, 180, 236));
    p.fillRect(QRect(wave.right() + 2, wave.top() - 2, 1, wave.height() + 5), QColor(120, 180, 236));
    p.fillRect(wave.adjusted(-1, -1, 1, 1), QColor(14, 40, 88));
    p.fillRect(wave, QColor(4, 14, 34));
}

QImage EditorBackground(int scale)
{
    namespace place = quorbin::editor_place;
    QImage image = WindowBackground(place::kWindow.width, place::kWindow.height, scale);
    QPainter p;
    BeginContent(p, image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(6, 22, 60, 130));
    p.drawRoundedRect(QRectF(ToRect(place::kControlPanel)), 5, 5);
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawWaveWell(p, ToRect(place::kWave));
    for (const quorbin::SkinArea& field : place::kFields)
        DrawFieldWell(p, ToRect(field));
    return image;
}

}  // namespace

namespace {

using quorbin::SkinBitmap;

QImage Draw(SkinBitmap bitmap, const QImage& background, int scale)
{
    switch (bitmap) {
    case SkinBitmap::AboutLogo: return AboutLogo(background);
    case SkinBitmap::Background: return background;
    case SkinBitmap::CancelButton: return PushButton(QStringLiteral("cancel"), scale);
    case SkinBitmap::CautionPanel: return CautionPanel(scale);
    case SkinBitmap::ProtectionBox:
        return StackFrames({CheckFrame(0, scale), CheckFrame(1, scale), CheckFrame(2, scale)});
    case SkinBitmap::ClearButton: return PushButton(QStringLiteral("clear"), scale);
    case SkinBitmap::CloseButton: return PushButton(QStringLiteral("close"), scale);
    case SkinBitmap::CompletedPanel: return SuccessPanel(scale);
    case SkinBitmap::CopyrightLabel:
        return FieldStrip(background, quorbin::skin_place::kCopyrightLabel, QStringLiteral("copyright"));
    case SkinBitmap::ProtectionLabel: return ProtectionLabel(background);
    case SkinBitmap::OkButton: return PushButton(QStringLiteral("ok"), scale);
    case SkinBitmap::PowerButton: return StackFrames({PowerFrame(false, scale), PowerFrame(true, scale)});
    case SkinBitmap::TitleLabel:
        return FieldStrip(background, quorbin::skin_place::kTitleLabel, QStringLiteral("title"));
    case SkinBitmap::DropSpace: return StackFrames({DropFrame(false, scale), DropFrame(true, scale)});
    case SkinBitmap::AboutButton: return PushButton(QStringLiteral("about"), scale);
    case SkinBitmap::EditorBackground: return EditorBackground(scale);
    case SkinBitmap::OpenButton: return PushButton(QStringLiteral("open"), scale);
    case SkinBitmap::PlayButton: return PushButton(QStringLiteral("play"), scale);
    case SkinBitmap::StopButton: return PushButton(QStringLiteral("stop"), scale);
    case SkinBitmap::NextButton: return PushButton(QStringLiteral("next"), scale);
    }
    return {};
}

}  // namespace

QVector<SkinArtwork> DrawSkinBitmaps(int scale)
{
    const QImage background = Background(scale);
    QVector<SkinArtwork> artwork;
    for (SkinBitmap bitmap : quorbin::kSkinBitmaps)
        artwork.append({bitmap, Draw(bitmap, background, scale)});
    return artwork;
}

}  // namespace skin
