// Window tests of the skinned controls and the shared skinned-dialog behaviour.
// Most bitmaps are synthetic: tests put their own pictures in place of skin numbers.
#include "ui/BitmapPanel.h"
#include "ui/CheckBitmapButton.h"
#include "ui/HoverBitmapButton.h"
#include "ui/LinkLabel.h"
#include "ui/PushBitmapButton.h"
#include "ui/SkinImages.h"
#include "ui/SkinnedDialog.h"
#include "ui/Layouts.h"
#include "ui/UiText.h"
#include "tests/DialogDriving.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace quorbin;

namespace {

const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kFrameColours[] = {qRgb(0, 160, 0), qRgb(0, 0, 200), qRgb(120, 120, 120)};
// Skin bitmaps the tests replace with their own pictures.
constexpr SkinBitmap kButtonBitmap = SkinBitmap::ClearButton;
constexpr SkinBitmap kCheckBitmap = SkinBitmap::ProtectionBox;
constexpr SkinBitmap kHoverBitmap = SkinBitmap::DropSpace;
constexpr SkinBitmap kPanelBitmap = SkinBitmap::CompletedPanel;

// Rows of 'K' (key colour, as pixel (0, 0) is) and '.' (opaque) pixels.
QImage ImageFromRows(const QStringList& rows, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(rows.first().size(), rows.size(), QImage::Format_RGB32);
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixel(x, y, rows[y][x] == QLatin1Char('K') ? kYellow : qRgb(10, 20, 30));
    return image.convertToFormat(format);
}

// Frame k filled with kFrameColours[k]; the key fills the top-left triangle
// x + y < t and a 2 x 2 hole at (hole, hole) of every frame.
QImage FramedBitmap(int w, int h, int frames, QRgb key, int t, int hole = -5)
{
    QImage image(w, h * frames, QImage::Format_RGB32);
    for (int y = 0; y < h * frames; ++y)
        for (int x = 0; x < w; ++x) {
            const int fy = y % h;
            const bool inHole = x >= hole && x < hole + 2 && fy >= hole && fy < hole + 2;
            image.setPixel(x, y, x + fy < t || inHole ? key : kFrameColours[y / h]);
        }
    return image;
}

class Backdrop : public QWidget {  // counts the presses that reach it
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override { ++presses, event->accept(); }
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
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

class TestDialog : public SkinnedDialog {
public:
    explicit TestDialog(QWidget* owner) : SkinnedDialog(owner) { InitialiseSkin(); }
    PushBitmapButton* Power() const { return m_powerButton; }
    using SkinnedDialog::AddPushButton;
};

template <class Control>
Control* Place(QWidget* parent, QPoint at)
{
    auto* control = new Control(parent);
    control->move(at);
    return control;
}

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Backdrop> m_backdrop;

    QWindow* ShowBackdrop()
    {
        m_backdrop->show();
        if (!QTest::qWaitForWindowExposed(m_backdrop.get()))
            qFatal("backdrop window never exposed");
        return m_backdrop->windowHandle();
    }

private slots:
    void init()
    {
        SetSkinBitmapOverride(kButtonBitmap, FramedBitmap(30, 20, 2, kYellow, 6, 14));
        SetSkinBitmapOverride(kCheckBitmap, FramedBitmap(13, 13, 3, kYellow, 2, 6));
        SetSkinBitmapOverride(kHoverBitmap, FramedBitmap(60, 30, 2, kYellow, 4, 20));
        SetSkinBitmapOverride(kPanelBitmap, FramedBitmap(60, 30, 1, kYellow, 4, 20));
        SetSkinBitmapOverride(SkinBitmap::Background, FramedBitmap(210, 100, 1, qRgb(1, 2, 3), 0));
        SetSkinBitmapOverride(SkinBitmap::PowerButton, FramedBitmap(28, 28, 2, kRed, 28));
        m_backdrop = std::make_unique<Backdrop>();
        m_backdrop->setGeometry(20, 20, 240, 160);
    }

    void cleanup()
    {
        m_backdrop.reset();
        for (SkinBitmap bitmap : kSkinBitmaps)
            SetSkinBitmapOverride(bitmap, QImage());
    }

    void shapeFollowsKeyRuns_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("format");
        QTest::addColumn<QList<QRect>>("expected");
        const int rgb32 = QImage::Format_RGB32;
        QTest::newRow("row all key adds nothing")
            << QStringList{"K..K", "KKKK", "...."} << 1 << rgb32 << QList<QRect>{{1, 0, 2, 1}, {0, 2, 4, 1}};
        QTest::newRow("run reaching the right edge")
            << QStringList{"KK...", "K..K."} << 1 << rgb32 << QList<QRect>{{2, 0, 3, 1}, {1, 1, 2, 1}, {4, 1, 1, 1}};
        QTest::newRow("single opaque pixel") << QStringList{"K.K"} << 1 << rgb32 << QList<QRect>{{1, 0, 1, 1}};
        QTest::newRow("hole inside the picture")
            << QStringList{"K....", ".K.K.", "....."} << 1 << rgb32
            << QList<QRect>{{1, 0, 4, 1}, {0, 1, 1, 1}, {2, 1, 1, 1}, {4, 1, 1, 1}, {0, 2, 5, 1}};
        QTest::newRow("only frame 0 rows, height rounded down")
            << QStringList{"K..", "..K", "KKK", "...", "..."} << 2 << rgb32 << QList<QRect>{{1, 0, 2, 1}, {0, 1, 2, 1}};
        QTest::newRow("24-bit pixels") << QStringList{"K.K.", "KK.."} << 1 << int(QImage::Format_RGB888)
                                       << QList<QRect>{{1, 0, 1, 1}, {3, 0, 1, 1}, {2, 1, 2, 1}};
        QTest::newRow("no frames") << QStringList{"K..", "..."} << 0 << rgb32 << QList<QRect>{};
        QTest::newRow("frame height 0") << QStringList{"K..", "..."} << 3 << rgb32 << QList<QRect>{};
    }

    void shapeFollowsKeyRuns()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, frames);
        QFETCH(int, format);
        QFETCH(QList<QRect>, expected);
        QRegion region;
        for (const QRect& r : expected)
            region += r;
        QCOMPARE(ShapeFromBitmap(ImageFromRows(rows, QImage::Format(format)), frames), region);
    }

    // Every bitmap of the skin's list is compiled in, with its artwork at twice the size.
    void everySkinBitmapIsCompiledInAtBothScales()
    {
        cleanup();
        for (SkinBitmap bitmap : kSkinBitmaps) {
            const QImage single = LoadSkinBitmap(bitmap);
            const QImage doubled = LoadSkinPicture(bitmap, 2.0);
            QVERIFY2(!single.isNull(), qPrintable(QString::number(SkinNumber(bitmap))));
            QCOMPARE(single.format(), QImage::Format_RGB32);
            QCOMPARE(doubled.devicePixelRatio(), 2.0);
            QCOMPARE(doubled.size(), single.size() * 2);
        }
    }

    void cutOutPixelsReachWindowBeneath_data()
    {
        QTest::addColumn<QPoint>("at");  // in button coordinates
        QTest::addColumn<bool>("hitsButton");
        QTest::newRow("opaque middle") << QPoint(10, 10) << true;
        QTest::newRow("opaque bottom-right corner") << QPoint(29, 19) << true;
        QTest::newRow("cut corner") << QPoint(1, 1) << false;
        QTest::newRow("hole") << QPoint(15, 15) << false;
    }

    void cutOutPixelsReachWindowBeneath()
    {
        QFETCH(QPoint, at);
        QFETCH(bool, hitsButton);
        auto* button = Place<PushBitmapButton>(m_backdrop.get(), {40, 30});
        button->SetSkin(kButtonBitmap, true);
        QCOMPARE(button->size(), QSize(30, 20));
        QCOMPARE(button->KeyColour(), QColor(kYellow));
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseClick(ShowBackdrop(), Qt::LeftButton, {}, QPoint(40, 30) + at);
        QCOMPARE(clicked.count(), hitsButton ? 1 : 0);
        QCOMPARE(m_backdrop->presses, hitsButton ? 0 : 1);
    }

    void pushButtonPressedOnlyWhileHeldOver()
    {
        auto* button = Place<PushBitmapButton>(m_backdrop.get(), {40, 30});
        button->SetSkin(kButtonBitmap, true);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QWindow* window = ShowBackdrop();
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        const QPoint over(50, 40), off(120, 100), hole(55, 45);

        QCOMPARE(PixelOf(button, {10, 10}), kFrameColours[0]);
        QTest::mousePress(window, Qt::LeftButton, {}, over);
        QCOMPARE(PixelOf(button, {10, 10}), kFrameColours[1]);
        for (QPoint to : {off, over, hole}) {
            QTest::mouseMove(window, to);
            QCOMPARE(button->Frame(), to == over ? 1 : 0);
        }
        QTest::mouseRelease(window, Qt::LeftButton, {}, off);
        QCOMPARE(clicked.count(), 0);
        QTest::mouseClick(window, Qt::LeftButton, {}, over);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(button->Frame(), 0);
    }

    void checkBoxClicks_data()
    {
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("repaints");
        QTest::newRow("0 -> 1") << 0 << 1 << 1 << true;
        QTest::newRow("0 -> 1 -> 0") << 0 << 2 << 0 << true;
        QTest::newRow("1 -> 0") << 1 << 1 << 0 << true;
        QTest::newRow("2 ignores clicks") << 2 << 3 << 2 << false;
        QTest::newRow("unknown state ignores clicks") << 7 << 1 << 7 << false;
    }

    void checkBoxClicks()
    {
        QFETCH(int, initial);
        QFETCH(int, clicks);
        QFETCH(int, expected);
        QFETCH(bool, repaints);
        auto* box = Place<CheckBitmapButton>(m_backdrop.get(), {121, 63});
        box->SetSkin(kCheckBitmap);
        QCOMPARE(box->size(), QSize(13, 13));
        box->SetState(initial);
        QWindow* window = ShowBackdrop();
        QCoreApplication::processEvents();
        QSignalSpy clicked(box, &QAbstractButton::clicked);
        QSignalSpy pressed(box, &QAbstractButton::pressed);
        PaintCounter counter;
        box->installEventFilter(&counter);
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(131, 73));
        QCoreApplication::processEvents();
        QCOMPARE(box->GetState(), expected);
        QCOMPARE(clicked.count() + pressed.count() + m_backdrop->presses, 0);
        QCOMPARE(counter.paints > 0, repaints);
        if (expected <= 2)
            QCOMPARE(PixelOf(box, {10, 10}), kFrameColours[expected]);
    }

    void checkBoxReleaseOutsideKeepsState()
    {
        auto* box = Place<CheckBitmapButton>(m_backdrop.get(), {121, 63});
        box->SetSkin(kCheckBitmap);
        QWindow* window = ShowBackdrop();
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(131, 73));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(box->GetState(), 0);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(121, 63));  // its cut corner
        QCOMPARE(box->GetState(), 0);
        QCOMPARE(m_backdrop->presses, 1);
    }

    void hoverButtonFrames()
    {
        auto* hover = Place<HoverBitmapButton>(m_backdrop.get(), {0, 24});
        hover->SetSkin(kHoverBitmap);
        QWindow* window = ShowBackdrop();
        QTest::mouseMove(window, QPoint(150, 120));
        QCOMPARE(PixelOf(hover, {30, 10}), kFrameColours[0]);
        QTest::mouseMove(window, QPoint(30, 34));
        QTRY_VERIFY(hover->IsHovered());
        QCOMPARE(PixelOf(hover, {30, 10}), kFrameColours[1]);
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(30, 34));
        QCOMPARE(hover->Frame(), 1);
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(30, 34));
        QCOMPARE(hover->Frame(), 1);
        QTest::mouseMove(window, QPoint(150, 120));
        QTRY_VERIFY(!hover->IsHovered());
        QCOMPARE(PixelOf(hover, {30, 10}), kFrameColours[0]);
    }

    void panelSwallowsPresses_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("backdropPresses");
        QTest::newRow("on the panel") << QPoint(30, 40) << 0;
        QTest::newRow("beside the panel") << QPoint(100, 40) << 1;
        QTest::newRow("in the panel's hole") << QPoint(21, 45) << 1;
    }

    void panelSwallowsPresses()
    {
        QFETCH(QPoint, at);
        QFETCH(int, backdropPresses);
        auto* panel = Place<BitmapPanel>(m_backdrop.get(), {0, 24});
        panel->SetSkin(kPanelBitmap, 1);
        QCOMPARE(panel->size(), QSize(60, 30));
        QWindow* window = ShowBackdrop();
        QSignalSpy pressed(panel, &QAbstractButton::pressed);
        QSignalSpy clicked(panel, &QAbstractButton::clicked);
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QVERIFY(!panel->isDown());
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
        QTest::mouseDClick(window, Qt::LeftButton, {}, at);
        QCOMPARE(pressed.count() + clicked.count(), 0);
        QCOMPARE(m_backdrop->presses, backdropPresses * 3);
    }

    void linkTargetDropsLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("target");
        QTest::newRow("one line") << "https://example.org/a"
                                  << "https://example.org/a";
        QTest::newRow("broken after the host") << "https://example.org/\nq/"
                                               << "https://example.org/q/";
        QTest::newRow("CR LF") << "http://example.org/\r\nx/y.html"
                               << "http://example.org/x/y.html";
    }

    void linkTargetDropsLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, target);
        LinkLabel link(text);
        QCOMPARE(link.text(), text);
        QCOMPARE(link.Target(), target);
    }

    void linkOpensItsTargetOnLeftPress()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
        auto* link = new LinkLabel(QStringLiteral("https://example.org/\nquorbin/"), m_backdrop.get());
        link->setGeometry(40, 40, 120, 30);
        QWindow* window = ShowBackdrop();
        QSignalSpy opened(link, &LinkLabel::Opened);
        QTest::mouseClick(window, Qt::RightButton, {}, QPoint(60, 50));
        QCOMPARE(opened.count(), 0);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(60, 50));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        const QUrl expected(QStringLiteral("https://example.org/quorbin/"));
        QCOMPARE(catcher.opened, QList<QUrl>{expected});
        QCOMPARE(opened.count(), 1);
    }

    void linkLooksLikeALinkInTheDialogFont()
    {
        QFont dialogFont(QStringLiteral("DejaVu Sans"));
        dialogFont.setPixelSize(17);
        m_backdrop->setFont(dialogFont);
        auto* link = new LinkLabel(QStringLiteral("https://example.org/"), m_backdrop.get());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(!link->autoFillBackground());
        QCOMPARE(link->font().pixelSize(), 17);
        dialogFont.setPixelSize(13);
        m_backdrop->setFont(dialogFont);
        QCOMPARE(link->font().pixelSize(), 13);
        QCOMPARE(link->font().family(), QStringLiteral("DejaVu Sans"));
        QVERIFY(link->font().underline());
    }

    void dragStripArea_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("inside");
        QTest::newRow("top-left") << QPoint(0, 0) << true;
        QTest::newRow("bottom-right of strip") << QPoint(209, 19) << true;
        QTest::newRow("right of strip") << QPoint(210, 5) << false;
        QTest::newRow("below strip") << QPoint(5, 20) << false;
    }

    void dragStripArea()
    {
        QFETCH(QPoint, at);
        QFETCH(bool, inside);
        QCOMPARE(DragStrip::Contains(at), inside);
    }

    void dragMovesWindowOnlyFromStrip_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<bool>("drags");
        QTest::newRow("corner of strip") << QPoint(209, 19) << true;
        QTest::newRow("just below strip") << QPoint(5, 20) << false;
        QTest::newRow("on the power button") << QPoint(200, 90) << false;
    }

    void dragMovesWindowOnlyFromStrip()
    {
        QFETCH(QPoint, press);
        QFETCH(bool, drags);
        TestDialog dialog(m_backdrop.get());
        dialog.move(100, 80);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos(), delta(37, 21);
        const QPoint pressGlobal = dialog.mapToGlobal(press);
        // Moves are sent with explicit global positions: the cursor does not follow.
        auto moveTo = [&](QPointF local, QPointF global) {
            QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QWidget* grabber = QWidget::mouseGrabber();
            QApplication::sendEvent(grabber ? grabber : &dialog, &move);
        };

        QTest::mousePress(dialog.windowHandle(), Qt::LeftButton, {}, press);
        QCOMPARE(QWidget::mouseGrabber() == &dialog, drags);
        moveTo(press + delta, pressGlobal + delta);
        QCOMPARE(dialog.pos(), drags ? start + delta : start);
        QTest::mouseRelease(dialog.windowHandle(), Qt::LeftButton, {}, press + delta);
        QVERIFY(QWidget::mouseGrabber() == nullptr);

        // After the release, a button held down again below the strip moves nothing.
        const QPoint settled = dialog.pos();
        QTest::mousePress(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(50, 50));
        moveTo(QPointF(60, 60), QPointF(500, 400));
        QCOMPARE(dialog.pos(), settled);
        QTest::mouseRelease(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(60, 60));
        QCOMPARE(dialog.size(), QSize(210, 100));
    }

    void dialogResults_data()
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

    void dialogResults()
    {
        QFETCH(QString, action);
        QFETCH(int, result);
        QFETCH(bool, records);
        TestDialog dialog(m_backdrop.get());
        connect(dialog.AddPushButton(kButtonBitmap, {68, 85}), &QAbstractButton::clicked, &dialog, &QDialog::accept);
        auto* edit = new QLineEdit(&dialog);
        edit->setGeometry(40, 22, 160, 16);
        dialog.m_lastRect = {-7, -7, -7, -7};
        dialog.move(123, 45);

        bool timedOut = false;
        const int run = RunModal(
            dialog,
            [&](QDialog* open) {
                QCOMPARE(open, &dialog);
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
            },
            &timedOut);

        QVERIFY(!timedOut);
        QCOMPARE(run, result);
        const ScreenRect expected = records ? ScreenRect{123, 45, 123 + 210, 45 + 100} : ScreenRect{-7, -7, -7, -7};
        QCOMPARE(dialog.m_lastRect.left, expected.left);
        QCOMPARE(dialog.m_lastRect.top, expected.top);
        QCOMPARE(dialog.m_lastRect.right, expected.right);
        QCOMPARE(dialog.m_lastRect.bottom, expected.bottom);
    }

    void powerEndsOwnerRunToo()
    {
        QDialog owner;
        int childResult = -1;
        bool ownerTimedOut = false, childTimedOut = false;
        const int ownerResult = RunModal(
            owner,
            [&](QDialog*) {
                TestDialog dialog(&owner);
                dialog.m_lastRect = {5, 6, 7, 8};
                childResult = RunModal(
                    dialog,
                    [&](QDialog* open) {
                        QCOMPARE(open, &dialog);
                        QCOMPARE(dialog.Power()->pos(), QPoint(182, 72));
                        // A click on the Power button's cut-off triangle does nothing.
                        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(184, 74));
                        QVERIFY(dialog.isVisible());
                        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, QPoint(205, 95));
                    },
                    &childTimedOut);
                QCOMPARE(dialog.m_lastRect.left, 5);
            },
            &ownerTimedOut);
        QVERIFY(!childTimedOut && !ownerTimedOut);
        QCOMPARE(childResult, 0);
        QCOMPARE(ownerResult, 0);
    }

    // Frame 1 of the ok button painted on a canvas of each device pixel ratio
    // must be the matching picture's pixels one to one: the 2x artwork from
    // ratio 2 up, the 1x bitmap (or its replacement, doubled) otherwise.
    void skinPaintsAtTheDevicePixelRatio_data()
    {
        QTest::addColumn<int>("ratio");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("expectDoubledArtwork");
        QTest::newRow("1x") << 1 << false << false;
        QTest::newRow("2x") << 2 << false << true;
        QTest::newRow("2x, replaced bitmap") << 2 << true << false;
    }

    void skinPaintsAtTheDevicePixelRatio()
    {
        QFETCH(int, ratio);
        QFETCH(bool, replaced);
        QFETCH(bool, expectDoubledArtwork);
        constexpr SkinBitmap kOk = SkinBitmap::OkButton;
        cleanup();
        const QSize frame(LoadSkinBitmap(kOk).width(), LoadSkinBitmap(kOk).height() / 2);
        if (replaced)
            SetSkinBitmapOverride(kOk, FramedBitmap(frame.width(), frame.height(), 2, kYellow, 3));
        const QImage single = LoadSkinBitmap(kOk);
        QImage expected = expectDoubledArtwork ? LoadSkinPicture(kOk, ratio) : single;
        if (!expectDoubledArtwork)
            expected = expected.scaled(single.size() * ratio);
        QCOMPARE(expected.size(), single.size() * ratio);
        QImage canvas(frame * ratio, QImage::Format_RGB32);
        canvas.setDevicePixelRatio(ratio);
        QPainter painter(&canvas);
        DrawSkinBitmap(painter, QPoint(0, 0), kOk, 1, 2);
        painter.end();
        const int frameTop = frame.height() * ratio;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                QCOMPARE(canvas.pixel(x, y), expected.pixel(x, frameTop + y));
        SetSkinBitmapOverride(kOk, QImage());
    }

    void missingBitmapIsHarmless()
    {
        const auto kNoSuchBitmap = static_cast<SkinBitmap>(65000);
        QVERIFY(LoadSkinBitmap(kNoSuchBitmap).isNull());
        auto* button = Place<PushBitmapButton>(m_backdrop.get(), {10, 10});
        button->SetSkin(kNoSuchBitmap, true);
        Place<BitmapPanel>(m_backdrop.get(), {0, 0})->SetSkin(kNoSuchBitmap, 0);
        QCOMPARE(button->size(), QSize(0, 0));
        QTest::mouseClick(ShowBackdrop(), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(m_backdrop->presses, 1);
        QVERIFY(!m_backdrop->grab().isNull());
    }

    // Every message is drawn with real glyphs of the layout font of its language, none as a box.
    void layoutFontsHoldEveryCharacterOfTheirMessages()
    {
        for (const Language& language : {Language::English(), Language::Japanese()}) {
            const QFont font = LayoutFont(QString::fromUtf8(language.IsJapanese() ? kJapaneseFont : kEnglishFont), 9);
            const QFontMetrics metrics(font);
            for (int id = IDS_OUTPUT_SIZE; id <= IDS_DISK_SPACE; ++id) {
                const QString text = QString::fromUtf8(LoadString(id, language));
                for (char32_t c : text.toUcs4())
                    QVERIFY2(c == ' ' || metrics.inFontUcs4(c), qPrintable(text));
            }
        }
    }

    void japaneseFontFallsBackToJapaneseFace()
    {
        if (!QFontDatabase::families().contains(QStringLiteral("IPAPGothic")))
            QSKIP("IPAPGothic is not installed");
        QCOMPARE(QFontInfo(LayoutFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 9)).family(), QStringLiteral("IPAPGothic"));
    }
};

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_controls.moc"
