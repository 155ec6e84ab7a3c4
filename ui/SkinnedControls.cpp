#include "ui/SkinnedControls.h"

#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include <cmath>

// Q_INIT_RESOURCE must be used outside any namespace. The skin is compiled into
// a static library, so nothing else would keep its registration from being dropped.
static void RegisterSkinResources()
{
    Q_INIT_RESOURCE(skin);
}

namespace quorbin {

namespace {

QHash<int, QImage>& SkinOverrides()
{
    static QHash<int, QImage> overrides;
    return overrides;
}

int FrameHeight(const QImage& bitmap, int frameCount)
{
    return frameCount < 1 ? 0 : bitmap.height() / frameCount;
}

}  // namespace

void SetSkinBitmapOverride(int number, const QImage& image)
{
    if (image.isNull())
        SkinOverrides().remove(number);
    else
        SkinOverrides().insert(number, image.convertToFormat(QImage::Format_RGB32));
}

namespace {

QImage LoadSkinFile(const QString& name)
{
    static const bool registered = (RegisterSkinResources(), true);
    Q_UNUSED(registered);
    const QImage image(QStringLiteral(":/skin/") + name);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QImage LoadSkinBitmap(int number)
{
    const auto overridden = SkinOverrides().constFind(number);
    if (overridden != SkinOverrides().constEnd())
        return *overridden;
    return LoadSkinFile(QStringLiteral("%1.bmp").arg(number & 0xFFFF));
}

QImage LoadSkinPicture(int number, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1.0 && !SkinOverrides().contains(number)) {
        QImage doubled = LoadSkinFile(QStringLiteral("%1@2x.bmp").arg(number & 0xFFFF));
        if (!doubled.isNull()) {
            doubled.setDevicePixelRatio(2.0);
            return doubled;
        }
    }
    return LoadSkinBitmap(number);
}

void DrawSkinBitmap(QPainter& painter, QPoint at, int number, int frame, int frameCount)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QImage picture = LoadSkinPicture(number, ratio);
    const int h = FrameHeight(picture, frameCount);
    if (picture.isNull() || h < 1 || frame < 0 || frame >= frameCount)
        return;
    // Whole multiples repeat pixels; any other ratio (1.5) is scaled smoothly.
    const qreal times = ratio / picture.devicePixelRatio();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, times != std::floor(times));
    painter.drawImage(at, picture, QRect(0, frame * h, picture.width(), h));
    painter.restore();
}

QRegion ShapeFromBitmap(const QImage& source, int frameCount)
{
    QRegion shape;
    const int h = FrameHeight(source, frameCount);
    if (source.isNull() || h < 1)
        return shape;
    const QImage bitmap = source.convertToFormat(QImage::Format_RGB32);
    const int w = bitmap.width();
    const QRgb key = bitmap.pixel(0, 0);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
        int runStart = 0;
        for (int x = 0; x < w; ++x) {
            if (row[x] != key)
                continue;
            if (runStart != x)
                shape += QRect(runStart, y, x - runStart, 1);
            runStart = x + 1;
        }
        if (runStart != w)
            shape += QRect(runStart, y, w - runStart, 1);
    }
    return shape;
}

// ---------------------------------------------------------------------------

BitmapButtonBase::BitmapButtonBase(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BitmapButtonBase::ApplySkin(int bitmapNumber, int frameCount, bool makeShape)
{
    m_bitmapNumber = bitmapNumber;
    m_frameCount = frameCount;
    if (!makeShape)
        return;
    const QImage bitmap = LoadSkinBitmap(bitmapNumber);
    m_keyColour = bitmap.isNull() ? QColor() : QColor(bitmap.pixel(0, 0));
    resize(bitmap.width(), FrameHeight(bitmap, frameCount));
    raise();
    m_shape = ShapeFromBitmap(bitmap, frameCount);
    if (m_shape.isEmpty())
        clearMask();
    else
        setMask(m_shape);
    update();
}

bool BitmapButtonBase::hitButton(const QPoint& pos) const
{
    if (!rect().contains(pos))
        return false;
    return m_shape.isEmpty() || m_shape.contains(pos);
}

void BitmapButtonBase::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_shape.isEmpty())
        painter.setClipRegion(m_shape);
    DrawSkinBitmap(painter, QPoint(0, 0), m_bitmapNumber, Frame(), m_frameCount);
}

bool BitmapButtonBase::event(QEvent* event)
{
    const bool handled = QAbstractButton::event(event);
    if (event->type() == QEvent::Paint && hasFocus())
        PaintFocusFrame();
    return handled;
}

void BitmapButtonBase::PaintFocusFrame()
{
    // Dots over a white line, so the frame shows on any colour of the skin.
    QPainter painter(this);
    if (!m_shape.isEmpty())
        painter.setClipRegion(m_shape);
    const QRect frame = rect().adjusted(2, 2, -3, -3);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(frame);
}

// ---------------------------------------------------------------------------

PushBitmapButton::PushBitmapButton(QWidget* parent) : BitmapButtonBase(parent) {}

int PushBitmapButton::SetSkin(int bitmapNumber, int makeShape)
{
    ApplySkin(bitmapNumber, 2, makeShape != 0);
    return 1;
}

int PushBitmapButton::Frame() const
{
    return isDown() ? 1 : 0;
}

// ---------------------------------------------------------------------------

CheckBitmapButton::CheckBitmapButton(QWidget* parent) : BitmapButtonBase(parent)
{
    setCheckable(true);
}

int CheckBitmapButton::SetSkin(int bitmapNumber)
{
    ApplySkin(bitmapNumber, 3, true);
    return 1;
}

void CheckBitmapButton::SetState(int state)
{
    m_state = state;
    setChecked(state == 1);
    update();
}

void CheckBitmapButton::nextCheckState()
{
    if (m_state == 0)
        SetState(1);
    else if (m_state == 1)
        SetState(0);
}

void CheckBitmapButton::keyPressEvent(QKeyEvent* event)
{
    // Space toggles on release, like a click; no pressed look in between.
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    BitmapButtonBase::keyPressEvent(event);
}

void CheckBitmapButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        event->accept();
        if (!event->isAutoRepeat())
            nextCheckState();
        return;
    }
    BitmapButtonBase::keyReleaseEvent(event);
}

int CheckBitmapButton::Frame() const
{
    return m_state >= 0 && m_state <= 2 ? m_state : -1;
}

// The check box tracks its own press so that neither the pressed look of a
// button nor a clicked() signal ever reaches the dialog.
void CheckBitmapButton::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton && hitButton(event->position().toPoint());
    event->accept();
}

void CheckBitmapButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (hitButton(event->position().toPoint()))
        nextCheckState();
}

void CheckBitmapButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click is a second press of the same box.
    mousePressEvent(event);
}

void CheckBitmapButton::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

// ---------------------------------------------------------------------------

HoverBitmapButton::HoverBitmapButton(QWidget* parent) : BitmapButtonBase(parent)
{
    setMouseTracking(true);
}

int HoverBitmapButton::SetSkin(int bitmapNumber)
{
    ApplySkin(bitmapNumber, 2, true);
    return 1;
}

int HoverBitmapButton::Frame() const
{
    return m_hover ? 1 : 0;
}

void HoverBitmapButton::SetHover(int hover)
{
    if (m_hover == hover)
        return;
    m_hover = hover;
    update();
}

void HoverBitmapButton::enterEvent(QEnterEvent* event)
{
    SetHover(1);
    BitmapButtonBase::enterEvent(event);
}

void HoverBitmapButton::mouseMoveEvent(QMouseEvent* event)
{
    SetHover(1);
    BitmapButtonBase::mouseMoveEvent(event);
}

void HoverBitmapButton::leaveEvent(QEvent* event)
{
    SetHover(0);
    BitmapButtonBase::leaveEvent(event);
}

// ---------------------------------------------------------------------------

namespace {

class LinkAccessibility : public QAccessibleWidget {
public:
    explicit LinkAccessibility(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? Link()->Target() : QAccessibleWidget::text(kind);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            Link()->Open();
    }

private:
    LinkLabel* Link() const { return static_cast<LinkLabel*>(widget()); }
};

// The panel is a picture to screen readers, not a button; the link label a link.
QAccessibleInterface* SkinAccessibility(const QString& className, QObject* object)
{
    if (className == QLatin1String(BitmapPanel::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()))
        return new LinkAccessibility(static_cast<LinkLabel*>(object));
    return nullptr;
}

void InstallSkinAccessibility()
{
    static const bool installed = (QAccessible::installFactory(SkinAccessibility), true);
    Q_UNUSED(installed);
}

}  // namespace

BitmapPanel::BitmapPanel(QWidget* parent) : BitmapButtonBase(parent)
{
    InstallSkinAccessibility();
}

void BitmapPanel::SetSkin(int bitmapNumber, int frameCount)
{
    ApplySkin(bitmapNumber, frameCount, true);
}

void BitmapPanel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void BitmapPanel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void BitmapPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

// ---------------------------------------------------------------------------

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent)
{
    InstallSkinAccessibility();
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    // Only the underline and the text colour are set here, so family, size and
    // the other colours still follow the parent dialog.
    QFont underlined;
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue;
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(blue);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : LinkLabel(parent)
{
    setText(text);
}

QString LinkLabel::Target() const
{
    QString address = text();
    address.remove(QLatin1Char('\r'));
    address.remove(QLatin1Char('\n'));
    return address;
}

void LinkLabel::Open()
{
    const QString address = Target();
    QDesktopServices::openUrl(QUrl(address));
    emit Opened(address);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Open();
    QLabel::mousePressEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace quorbin
