// Window tests of the skinned controls and the shared skinned-dialog behaviour.
// Bitmaps are synthetic: each test puts its own pictures in place of skin numbers.
#include "ui/SkinnedControls.h"
#include "ui/SkinnedDialog.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace quorbin;

namespace {

const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kFrameColours[] = {qRgb(0, 160, 0), qRgb(0, 0, 200), qRgb(120, 120, 120)};

// Synthetic skin numbers, well away from the real ones.
constexpr int kButtonBitmap = 9001;
constexpr int kCheckBitmap = 9002;
constexpr int kHoverBitmap = 9003;
constexpr int kPanelBitmap = 9004;

// Rows of 'K' (key colour, taken from pixel (0, 0)) and '.' (opaque) pixels.
QImage ImageFromRows(const QStringList& rows, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixel(x, y, rows[y][x] == QLatin1Char('K') ? kYellow : qRgb(10, 20, 30));
    return image.convertToFormat(format);
}

// A w x (h * frames) bitmap; frame k is filled with kFrameColours[k], and
// every frame has the key colour in its top-left t x t triangle and in a
// 2 x 2 hole at (hole, hole).
QImage FramedBitmap(int w, int h, int frames, QRgb key, int t, int hole)
{
    QImage image(w, h * frames, QImage::Format_RGB32);
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool cut = x + y < t
                                 || (x >= hole && x < hole + 2 && y >= hole && y < hole + 2);
                image.setPixel(x, k * h + y, cut ? key : kFrameColours[k]);
            }
    return image;
}

QRegion RegionOf(const QList<QRect>& rects)
{
    QRegion region;
    for (const QRect& r : rects)
        region += r;
    return region;
}

// A plain window under the controls that counts the presses reaching it.
class Backdrop : public QWidget {
public:
    Backdrop() { resize(240, 160); }
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        event->accept();
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

QRgb PixelOf(QWidget* widget, QPoint at)
{
    return widget->grab().toImage().pixel(at);
}

// Runs `dialog` modally; `step` runs once the dialog is the active modal
// window. A watchdog ends any modal window left open so a failed step
// cannot hang the test; it reports -99 through `timedOut`.
int RunModal(QDialog* dialog, const std::function<void(QDialog*)>& step, bool* timedOut)
{
    *timedOut = false;
    QTimer::singleShot(0, dialog, [step] {
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 2000);
        step(qobject_cast<QDialog*>(QApplication::activeModalWidget()));
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [timedOut] {
        *timedOut = true;
        while (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            open->done(-99);
    });
    watchdog.start(5000);
    return dialog->exec();
}

class TestDialog : public SkinnedDialog {
public:
    explicit TestDialog(QWidget* owner) : SkinnedDialog(owner) { InitialiseSkin(); }
    PushBitmapButton* Power() const { return m_powerButton; }
    using SkinnedDialog::AddPushButton;
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shapeFollowsKeyRuns_data();
    void shapeFollowsKeyRuns();
    void shapeEmptyWithoutFrames();
    void skinBitmapsAreCompiledIn_data();
    void skinBitmapsAreCompiledIn();

    void cutOutPixelsReachWindowBeneath_data();
    void cutOutPixelsReachWindowBeneath();
    void pushButtonPressedOnlyWhileHeldOver();

    void checkBoxClicks_data();
    void checkBoxClicks();
    void checkBoxReleaseOutsideKeepsState();

    void hoverButtonFrames();
    void panelSwallowsPresses_data();
    void panelSwallowsPresses();

    void linkTargetDropsLineBreaks_data();
    void linkTargetDropsLineBreaks();
    void linkOpensItsTarget();
    void linkLooksLikeALink();

    void dragStripArea_data();
    void dragStripArea();
    void dragMovesWindowOnlyFromStrip_data();
    void dragMovesWindowOnlyFromStrip();

    void dialogResults_data();
    void dialogResults();
    void powerEndsOwnerRunToo();
    void missingBitmapIsHarmless();

    void layoutFontSizes_data();
    void layoutFontSizes();
    void japaneseFontFallsBackToJapaneseFace();

private:
    std::unique_ptr<Backdrop> m_backdrop;
};

void ControlsTest::init()
{
    SetSkinBitmapOverride(kButtonBitmap, FramedBitmap(30, 20, 2, kYellow, 6, 14));
    SetSkinBitmapOverride(kCheckBitmap, FramedBitmap(13, 13, 3, kYellow, 2, 6));
    SetSkinBitmapOverride(kHoverBitmap, FramedBitmap(60, 30, 2, kYellow, 4, 20));
    SetSkinBitmapOverride(kPanelBitmap, FramedBitmap(60, 30, 1, kYellow, 4, 20));
    SetSkinBitmapOverride(kBackgroundBitmap, FramedBitmap(210, 100, 1, qRgb(1, 2, 3), 0, -5));
    SetSkinBitmapOverride(kPowerBitmap, FramedBitmap(28, 28, 2, kRed, 28, -5));
    m_backdrop = std::make_unique<Backdrop>();
    m_backdrop->move(20, 20);
}

void ControlsTest::cleanup()
{
    m_backdrop.reset();
    for (int n : {kButtonBitmap, kCheckBitmap, kHoverBitmap, kPanelBitmap, kBackgroundBitmap,
                  kPowerBitmap})
        SetSkinBitmapOverride(n, QImage());
}

// --- Shapes -----------------------------------------------------------------

void ControlsTest::shapeFollowsKeyRuns_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<QRect>>("expected");

    QTest::newRow("row all key adds nothing")
        << QStringList{"K..K", "KKKK", "...."} << 1 << int(QImage::Format_RGB32)
        << QList<QRect>{{1, 0, 2, 1}, {0, 2, 4, 1}};
    QTest::newRow("row without key is one full-width run")
        << QStringList{"K...", "...."} << 1 << int(QImage::Format_RGB32)
        << QList<QRect>{{1, 0, 3, 1}, {0, 1, 4, 1}};
    QTest::newRow("run reaching the right edge")
        << QStringList{"KK...", "K..K."} << 1 << int(QImage::Format_RGB32)
        << QList<QRect>{{2, 0, 3, 1}, {1, 1, 2, 1}, {4, 1, 1, 1}};
    QTest::newRow("single opaque pixel") << QStringList{"K.K"} << 1
                                         << int(QImage::Format_RGB32) << QList<QRect>{{1, 0, 1, 1}};
    QTest::newRow("hole inside the picture")
        << QStringList{"K....", ".K.K.", "....."} << 1 << int(QImage::Format_RGB32)
        << QList<QRect>{{1, 0, 4, 1}, {0, 1, 1, 1}, {2, 1, 1, 1}, {4, 1, 1, 1}, {0, 2, 5, 1}};
    QTest::newRow("only frame 0 rows, height rounded down")
        << QStringList{"K..", "..K", "KKK", "...", "..."} << 2 << int(QImage::Format_RGB32)
        << QList<QRect>{{1, 0, 2, 1}, {0, 1, 2, 1}};
    QTest::newRow("24-bit pixels compare like 32-bit ones")
        << QStringList{"K.K.", "KK.."} << 1 << int(QImage::Format_RGB888)
        << QList<QRect>{{1, 0, 1, 1}, {3, 0, 1, 1}, {2, 1, 2, 1}};
    QTest::newRow("alpha format ignores nothing but colour")
        << QStringList{"K..", "K.K"} << 1 << int(QImage::Format_ARGB32)
        << QList<QRect>{{1, 0, 2, 1}, {1, 1, 1, 1}};
}

void ControlsTest::shapeFollowsKeyRuns()
{
    QFETCH(QStringList, rows);
    QFETCH(int, frames);
    QFETCH(int, format);
    QFETCH(QList<QRect>, expected);
    const QImage image = ImageFromRows(rows, QImage::Format(format));
    QCOMPARE(ShapeFromBitmap(image, frames), RegionOf(expected));
}

void ControlsTest::shapeEmptyWithoutFrames()
{
    const QImage image = ImageFromRows({"K..", "..."});
    QVERIFY(ShapeFromBitmap(image, 0).isEmpty());
    QVERIFY(ShapeFromBitmap(image, -1).isEmpty());
    QVERIFY(ShapeFromBitmap(image, 3).isEmpty()); // frame height 0
    QVERIFY(ShapeFromBitmap(QImage(), 1).isEmpty());
    // A near-key colour is opaque: the key must match exactly.
    QImage nearKey = image;
    nearKey.setPixel(1, 0, qRgb(255, 254, 0));
    QCOMPARE(ShapeFromBitmap(nearKey, 1), RegionOf({{1, 0, 2, 1}, {0, 1, 3, 1}}));
}

void ControlsTest::skinBitmapsAreCompiledIn_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("key"); // invalid: the bitmap is not cut
    QTest::newRow("background") << 133 << QSize(210, 100) << QColor();
    QTest::newRow("cancel") << 134 << QSize(51, 26) << QColor(kYellow);
    QTest::newRow("error panel") << 135 << QSize(210, 60) << QColor(kYellow);
    QTest::newRow("check box") << 136 << QSize(13, 39) << QColor(kYellow);
    QTest::newRow("power") << 146 << QSize(28, 56) << QColor(kRed);
    QTest::newRow("drop space") << 150 << QSize(210, 120) << QColor(kYellow);
}

void ControlsTest::skinBitmapsAreCompiledIn()
{
    QFETCH(int, number);
    QFETCH(QSize, size);
    QFETCH(QColor, key);
    const QImage bitmap = LoadSkinBitmap(number);
    QVERIFY(!bitmap.isNull());
    QCOMPARE(bitmap.format(), QImage::Format_RGB32);
    QCOMPARE(bitmap.size(), size);
    if (key.isValid()) {
        QCOMPARE(QColor(bitmap.pixel(0, 0)), key);
        const QRegion shape = ShapeFromBitmap(bitmap, 2);
        QVERIFY(!shape.contains(QPoint(0, 0)));
        QVERIFY(shape.contains(QPoint(size.width() / 2, size.height() / 4)));
    }
}

// --- Push button --------------------------------------------------------------

void ControlsTest::cutOutPixelsReachWindowBeneath_data()
{
    QTest::addColumn<QPoint>("at"); // in button coordinates (button at 40, 30)
    QTest::addColumn<bool>("hitsButton");
    QTest::newRow("opaque middle") << QPoint(10, 10) << true;
    QTest::newRow("opaque bottom-right corner") << QPoint(29, 19) << true;
    QTest::newRow("cut corner") << QPoint(1, 1) << false;
    QTest::newRow("hole") << QPoint(15, 15) << false;
    QTest::newRow("below the first frame") << QPoint(10, 25) << false;
}

void ControlsTest::cutOutPixelsReachWindowBeneath()
{
    QFETCH(QPoint, at);
    QFETCH(bool, hitsButton);
    auto* button = new PushBitmapButton(m_backdrop.get());
    button->move(40, 30);
    QCOMPARE(button->SetSkin(kButtonBitmap, 1), 1);
    QCOMPARE(button->size(), QSize(30, 20));
    QCOMPARE(button->KeyColour(), QColor(kYellow));
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QSignalSpy clicked(button, &QAbstractButton::clicked);

    QTest::mouseClick(m_backdrop->windowHandle(), Qt::LeftButton, {}, QPoint(40, 30) + at);
    QCOMPARE(clicked.count(), hitsButton ? 1 : 0);
    QCOMPARE(m_backdrop->presses, hitsButton ? 0 : 1);
}

void ControlsTest::pushButtonPressedOnlyWhileHeldOver()
{
    auto* button = new PushBitmapButton(m_backdrop.get());
    button->move(40, 30);
    button->SetSkin(kButtonBitmap, 1);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QWindow* window = m_backdrop->windowHandle();
    const QPoint over(50, 40), off(120, 100), hole(55, 45);

    QCOMPARE(PixelOf(button, {10, 10}), kFrameColours[0]);
    QTest::mousePress(window, Qt::LeftButton, {}, over);
    QCOMPARE(button->Frame(), 1);
    QCOMPARE(PixelOf(button, {10, 10}), kFrameColours[1]);
    QTest::mouseMove(window, off);
    QCOMPARE(button->Frame(), 0);
    QTest::mouseMove(window, over);
    QCOMPARE(button->Frame(), 1);
    QTest::mouseMove(window, hole);
    QCOMPARE(button->Frame(), 0);
    QTest::mouseRelease(window, Qt::LeftButton, {}, off);
    QCOMPARE(button->Frame(), 0);
    QCOMPARE(clicked.count(), 0);

    QTest::mousePress(window, Qt::LeftButton, {}, over);
    QTest::mouseRelease(window, Qt::LeftButton, {}, over);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(button->Frame(), 0);
}

// --- Check box ----------------------------------------------------------------

void ControlsTest::checkBoxClicks_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("repaints");
    QTest::newRow("0 -> 1") << 0 << 1 << 1 << true;
    QTest::newRow("1 -> 0") << 1 << 1 << 0 << true;
    QTest::newRow("0 -> 1 -> 0") << 0 << 2 << 0 << true;
    QTest::newRow("2 ignores clicks") << 2 << 3 << 2 << false;
    QTest::newRow("unknown state ignores clicks") << 7 << 1 << 7 << false;
}

void ControlsTest::checkBoxClicks()
{
    QFETCH(int, initial);
    QFETCH(int, clicks);
    QFETCH(int, expected);
    QFETCH(bool, repaints);
    auto* box = new CheckBitmapButton(m_backdrop.get());
    box->move(121, 63);
    QCOMPARE(box->SetSkin(kCheckBitmap), 1);
    QCOMPARE(box->size(), QSize(13, 13));
    box->SetState(initial);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    if (initial <= 2)
        QCOMPARE(PixelOf(box, {10, 10}), kFrameColours[initial]);
    QSignalSpy clicked(box, &QAbstractButton::clicked);
    QSignalSpy pressed(box, &QAbstractButton::pressed);
    PaintCounter counter;
    box->installEventFilter(&counter);

    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(m_backdrop->windowHandle(), Qt::LeftButton, {}, QPoint(131, 73));
    QCoreApplication::processEvents();
    QCOMPARE(box->GetState(), expected);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(pressed.count(), 0);
    QCOMPARE(counter.paints > 0, repaints);
    QCOMPARE(m_backdrop->presses, 0);
    if (expected <= 2)
        QCOMPARE(PixelOf(box, {10, 10}), kFrameColours[expected]);
}

void ControlsTest::checkBoxReleaseOutsideKeepsState()
{
    auto* box = new CheckBitmapButton(m_backdrop.get());
    box->move(121, 63);
    box->SetSkin(kCheckBitmap);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QWindow* window = m_backdrop->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(131, 73));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(box->GetState(), 0);
    // A click on the cut corner goes to the window beneath.
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(121, 63));
    QCOMPARE(box->GetState(), 0);
    QCOMPARE(m_backdrop->presses, 1);
}

// --- Hover button and panel ---------------------------------------------------

void ControlsTest::hoverButtonFrames()
{
    auto* hover = new HoverBitmapButton(m_backdrop.get());
    hover->move(0, 24);
    QCOMPARE(hover->SetSkin(kHoverBitmap), 1);
    QCOMPARE(hover->size(), QSize(60, 30));
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QWindow* window = m_backdrop->windowHandle();
    QTest::mouseMove(window, QPoint(150, 120));
    QVERIFY(!hover->IsHovered());
    QCOMPARE(PixelOf(hover, {20, 10}), kFrameColours[0]);

    QTest::mouseMove(window, QPoint(20, 34));
    QTRY_VERIFY(hover->IsHovered());
    QCOMPARE(hover->Frame(), 1);
    QCOMPARE(PixelOf(hover, {20, 10}), kFrameColours[1]);
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(20, 34));
    QCOMPARE(hover->Frame(), 1);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(20, 34));
    QCOMPARE(hover->Frame(), 1);

    QTest::mouseMove(window, QPoint(150, 120));
    QTRY_VERIFY(!hover->IsHovered());
    QCOMPARE(PixelOf(hover, {20, 10}), kFrameColours[0]);
}

void ControlsTest::panelSwallowsPresses_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("backdropPresses");
    QTest::newRow("on the panel") << QPoint(30, 40) << 0;
    QTest::newRow("beside the panel") << QPoint(100, 40) << 1;
    QTest::newRow("in the panel's hole") << QPoint(21, 45) << 1;
}

void ControlsTest::panelSwallowsPresses()
{
    QFETCH(QPoint, at);
    QFETCH(int, backdropPresses);
    auto* panel = new BitmapPanel(m_backdrop.get());
    panel->move(0, 24);
    panel->SetSkin(kPanelBitmap, 1);
    QCOMPARE(panel->size(), QSize(60, 30));
    QCOMPARE(panel->focusPolicy(), Qt::NoFocus);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QSignalSpy pressed(panel, &QAbstractButton::pressed);
    QSignalSpy clicked(panel, &QAbstractButton::clicked);

    QWindow* window = m_backdrop->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QVERIFY(!panel->isDown());
    QCOMPARE(panel->Frame(), 0);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    QCOMPARE(pressed.count(), 0);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(m_backdrop->presses, backdropPresses * 3);
}

// --- Link label ---------------------------------------------------------------

void ControlsTest::linkTargetDropsLineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::newRow("one line") << "https://example.org/a" << "https://example.org/a";
    QTest::newRow("broken after the host") << "https://example.org/\nquorbin/"
                                           << "https://example.org/quorbin/";
    QTest::newRow("windows line break") << "http://example.org/\r\nx/y.html"
                                        << "http://example.org/x/y.html";
    QTest::newRow("several breaks") << "\nhttp://a/\nb\n" << "http://a/b";
}

void ControlsTest::linkTargetDropsLineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, target);
    LinkLabel link(text);
    QCOMPARE(link.text(), text);
    QCOMPARE(link.Target(), target);
}

void ControlsTest::linkOpensItsTarget()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
    auto* link = new LinkLabel(QStringLiteral("https://example.org/\nquorbin/"), m_backdrop.get());
    link->setGeometry(40, 40, 120, 30);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QSignalSpy opened(link, &LinkLabel::Opened);

    QTest::mouseClick(m_backdrop->windowHandle(), Qt::RightButton, {}, QPoint(60, 50));
    QCOMPARE(opened.count(), 0);
    QTest::mouseClick(m_backdrop->windowHandle(), Qt::LeftButton, {}, QPoint(60, 50));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().toString(), QStringLiteral("https://example.org/quorbin/"));
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/quorbin/"))});
}

void ControlsTest::linkLooksLikeALink()
{
    QFont dialogFont(QStringLiteral("DejaVu Sans"));
    dialogFont.setPixelSize(17);
    m_backdrop->setFont(dialogFont);
    auto* link = new LinkLabel(QStringLiteral("https://example.org/"), m_backdrop.get());
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(!link->autoFillBackground());
    // Family and size keep following the dialog, before and after the link is made.
    QCOMPARE(link->font().pixelSize(), 17);
    dialogFont.setPixelSize(13);
    m_backdrop->setFont(dialogFont);
    QCOMPARE(link->font().pixelSize(), 13);
    QCOMPARE(link->font().family(), QStringLiteral("DejaVu Sans"));
    QVERIFY(link->font().underline());
    link->SetFaceBackground(true);
    QVERIFY(link->autoFillBackground());
    QCOMPARE(link->palette().color(QPalette::Window), link->palette().color(QPalette::Button));
}

// --- Skinned dialog -----------------------------------------------------------

void ControlsTest::dragStripArea_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("inside");
    QTest::newRow("top-left") << QPoint(0, 0) << true;
    QTest::newRow("bottom-right of strip") << QPoint(209, 19) << true;
    QTest::newRow("right of strip") << QPoint(210, 5) << false;
    QTest::newRow("below strip") << QPoint(5, 20) << false;
    QTest::newRow("left of window") << QPoint(-1, 5) << false;
}

void ControlsTest::dragStripArea()
{
    QFETCH(QPoint, at);
    QFETCH(bool, inside);
    QCOMPARE(DragStrip::Contains(at), inside);
}

void ControlsTest::dragMovesWindowOnlyFromStrip_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<bool>("drags");
    QTest::newRow("corner of strip") << QPoint(209, 19) << true;
    QTest::newRow("left end of strip") << QPoint(3, 2) << true;
    QTest::newRow("just below strip") << QPoint(5, 20) << false;
    QTest::newRow("on the power button") << QPoint(200, 90) << false;
}

void ControlsTest::dragMovesWindowOnlyFromStrip()
{
    QFETCH(QPoint, press);
    QFETCH(bool, drags);
    TestDialog dialog(m_backdrop.get());
    dialog.move(100, 80);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    const QPoint delta(37, 21);
    const QPoint pressGlobal = dialog.mapToGlobal(press);

    QTest::mousePress(dialog.windowHandle(), Qt::LeftButton, {}, press);
    QCOMPARE(QWidget::mouseGrabber() == &dialog, drags);
    QMouseEvent move(QEvent::MouseMove, QPointF(press + delta), QPointF(pressGlobal + delta),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(QWidget::mouseGrabber() ? QWidget::mouseGrabber() : &dialog, &move);
    QCOMPARE(dialog.pos(), drags ? start + delta : start);
    QTest::mouseRelease(dialog.windowHandle(), Qt::LeftButton, {}, press + delta);
    QVERIFY(QWidget::mouseGrabber() == nullptr);

    // After the release, moves leave the window where it is, even with a
    // button held down again below the strip.
    const QPoint settled = dialog.pos();
    QTest::mousePress(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent later(QEvent::MouseMove, QPointF(60, 60), QPointF(500, 400), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &later);
    QCOMPARE(dialog.pos(), settled);
    QTest::mouseRelease(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(60, 60));
    QCOMPARE(dialog.size(), QSize(210, 100));
}

void ControlsTest::dialogResults_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("records");
    QTest::newRow("OK button") << "ok" << 1 << true;
    QTest::newRow("Enter in an edit field") << "enter" << 1 << true;
    QTest::newRow("keypad Enter") << "keypad-enter" << 1 << true;
    QTest::newRow("Cancel") << "cancel" << 2 << true;
    QTest::newRow("Esc") << "esc" << 2 << true;
    QTest::newRow("Power") << "power" << 0 << false;
}

void ControlsTest::dialogResults()
{
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(bool, records);
    TestDialog dialog(m_backdrop.get());
    auto* ok = dialog.AddPushButton(kButtonBitmap, {68, 85});
    connect(ok, &QAbstractButton::clicked, &dialog, &QDialog::accept);
    auto* edit = new QLineEdit(&dialog);
    edit->setGeometry(40, 22, 160, 16);
    dialog.m_lastRect = {-7, -7, -7, -7};
    dialog.move(123, 45);

    bool timedOut = false;
    const int run = RunModal(&dialog, [&](QDialog* open) {
        QCOMPARE(open, &dialog);
        edit->setFocus();
        QWindow* window = dialog.windowHandle();
        if (action == "ok")
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(68 + 10, 85 + 10));
        else if (action == "enter")
            QTest::keyClick(edit, Qt::Key_Return);
        else if (action == "keypad-enter")
            QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        else if (action == "cancel")
            dialog.reject();
        else if (action == "esc")
            QTest::keyClick(edit, Qt::Key_Escape);
        else if (action == "power")
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(182 + 20, 72 + 20));
    }, &timedOut);

    QVERIFY(!timedOut);
    QCOMPARE(run, result);
    if (records) {
        QCOMPARE(dialog.m_lastRect.left, 123);
        QCOMPARE(dialog.m_lastRect.top, 45);
        QCOMPARE(dialog.m_lastRect.right, 123 + 210);
        QCOMPARE(dialog.m_lastRect.bottom, 45 + 100);
    } else {
        QCOMPARE(dialog.m_lastRect.left, -7);
        QCOMPARE(dialog.m_lastRect.bottom, -7);
    }
}

void ControlsTest::powerEndsOwnerRunToo()
{
    QDialog owner;
    owner.resize(210, 100);
    TestDialog* child = nullptr;
    int childResult = -1;
    bool ownerTimedOut = false, childTimedOut = false;
    const int ownerResult = RunModal(&owner, [&](QDialog*) {
        TestDialog dialog(&owner);
        child = &dialog;
        dialog.m_lastRect = {5, 6, 7, 8};
        childResult = RunModal(&dialog, [&](QDialog* open) {
            QCOMPARE(open, &dialog);
            QCOMPARE(dialog.Power()->pos(), QPoint(182, 72));
            // Clicks on the power button's cut-off triangle do nothing.
            QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(184, 74));
            QVERIFY(dialog.isVisible());
            QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(205, 95));
        }, &childTimedOut);
        QCOMPARE(dialog.m_lastRect.left, 5);
        QCOMPARE(dialog.m_lastRect.bottom, 8);
        child = nullptr;
    }, &ownerTimedOut);
    QVERIFY(!childTimedOut);
    QVERIFY(!ownerTimedOut);
    QCOMPARE(childResult, 0);
    QCOMPARE(ownerResult, 0);
}

void ControlsTest::missingBitmapIsHarmless()
{
    SetSkinBitmapOverride(kButtonBitmap, QImage());
    constexpr int kNoSuchBitmap = 65000;
    QVERIFY(LoadSkinBitmap(kNoSuchBitmap).isNull());
    auto* button = new PushBitmapButton(m_backdrop.get());
    button->move(10, 10);
    button->SetSkin(kNoSuchBitmap, 1);
    auto* panel = new BitmapPanel(m_backdrop.get());
    panel->SetSkin(kNoSuchBitmap, 0);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    QCOMPARE(button->size(), QSize(0, 0));
    QVERIFY(!m_backdrop->grab().isNull());
    QTest::mouseClick(m_backdrop->windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(m_backdrop->presses, 1);
}

// --- Fonts --------------------------------------------------------------------

void ControlsTest::layoutFontSizes_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("pixels");
    QTest::newRow("Arial 8") << "Arial" << 8 << 11;
    QTest::newRow("Japanese 9") << QString::fromUtf8("ＭＳ Ｐゴシック") << 9 << 12;
    QTest::newRow("Japanese 8") << QString::fromUtf8("ＭＳ Ｐゴシック") << 8 << 11;
    QTest::newRow("12 points") << "Arial" << 12 << 16;
}

void ControlsTest::layoutFontSizes()
{
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(int, pixels);
    const QFont font = LayoutFont(family, points);
    QCOMPARE(font.families().value(0), family);
    QVERIFY(font.families().size() > 1);
    QCOMPARE(font.pixelSize(), pixels);
    QCOMPARE(QFontInfo(font).pixelSize(), pixels);
}

void ControlsTest::japaneseFontFallsBackToJapaneseFace()
{
    if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
        QSKIP("IPAPGothic is not installed");
    QCOMPARE(QFontInfo(LayoutFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 9)).family(),
             QStringLiteral("IPAPGothic"));
    const QString arial = QFontInfo(LayoutFont(QStringLiteral("Arial"), 8)).family();
    QVERIFY2(arial == QStringLiteral("Arial") || arial == QStringLiteral("Liberation Sans")
                 || arial == QStringLiteral("DejaVu Sans"),
             qPrintable(arial));
}

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_controls.moc"
