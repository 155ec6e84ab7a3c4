#include "ui/WaveformView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "audio/WaveOverview.h"
#include "ui/SkinImages.h"

namespace quorbin {
namespace {

constexpr int kEdgeGrip = 3;  // pixels either side of an edge that take it
constexpr int kBusyTickMs = 40;
const QColor kFloor(4, 14, 34);
const QColor kMidLine(20, 62, 128);
const QColor kSelectionFill(40, 110, 190, 110);
const QColor kWaveOutside(60, 130, 190);
const QColor kWaveInside(150, 236, 255);
const QColor kEdge(255, 255, 255);
const QColor kPlayMark(255, 216, 0);

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void WaveformView::SetOverview(const WaveOverview* overview)
{
    m_overview = overview;
    update();
}

void WaveformView::SetSpan(double seconds)
{
    m_span = std::max(seconds, 0.0);
    update();
}

void WaveformView::SetSelection(double start, double length)
{
    m_start = start;
    m_length = length;
    update();
}

void WaveformView::SetPlayMark(std::optional<double> seconds)
{
    m_playMark = seconds;
    update();
}

void WaveformView::SetBusy(bool busy)
{
    if (busy == (m_busyTimer != 0))
        return;
    if (busy) {
        m_busyTimer = startTimer(kBusyTickMs);
    } else {
        killTimer(m_busyTimer);
        m_busyTimer = 0;
    }
    update();
}

void WaveformView::SetInvitation(const QString& text)
{
    m_invitation = text;
    update();
}

double WaveformView::TimeAt(double x) const
{
    return width() > 0 ? std::clamp(x, 0.0, double(width())) * m_span / width() : 0.0;
}

double WaveformView::XAt(double seconds) const
{
    return m_span > 0 ? seconds * width() / m_span : 0.0;
}

void WaveformView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_busyTimer)
        return QWidget::timerEvent(event);
    m_busyPhase = (m_busyPhase + 4) % std::max(width(), 1);
    update(0, height() - 3, width(), 3);
}

void WaveformView::PaintWave(QPainter& painter) const
{
    // One column per device pixel, so that the outline is as fine as the screen.
    const qreal ratio = devicePixelRatioF();
    painter.save();
    painter.scale(1 / ratio, 1 / ratio);
    const double middle = height() * ratio / 2;
    const double scale = (middle - 2 * ratio) / 32768.0;
    const int columns = int(width() * ratio);
    for (int column = 0; column < columns; ++column) {
        const double from = TimeAt(column / ratio);
        if (from >= m_overview->Seconds())
            break;
        const SamplePeak peak = m_overview->PeakBetween(from, TimeAt((column + 1) / ratio));
        const bool inside = from >= m_start && from < m_start + m_length;
        painter.setPen(inside ? kWaveInside : kWaveOutside);
        const int top = int(middle - peak.high * scale), bottom = int(middle - peak.low * scale);
        painter.drawLine(column, top, column, std::max(top, bottom));
    }
    painter.restore();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kFloor);
    painter.fillRect(QRect(0, height() / 2, width(), 1), kMidLine);
    const bool loaded = m_overview && m_overview->Samples() > 0 && m_span > 0;
    if (loaded) {
        // At least a few pixels wide, so that a short part of hours of sound still shows.
        const int left = int(XAt(m_start)), right = std::max(int(XAt(m_start + m_length)), left + 3);
        painter.fillRect(QRect(left, 0, right - left, height()), kSelectionFill);
        PaintWave(painter);
        painter.fillRect(QRect(left, 0, 1, height()), kEdge);
        painter.fillRect(QRect(right - 1, 0, 1, height()), kEdge);
        if (m_playMark) {
            const int mark = int(XAt(*m_playMark));
            painter.fillRect(QRect(mark - 1, 0, 4, height()), kFloor);
            painter.fillRect(QRect(mark, 0, 2, height()), kPlayMark);
        }
    } else if (m_busyTimer == 0) {
        painter.setPen(kWaveOutside);
        painter.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignCenter | Qt::TextWordWrap, m_invitation);
    }
    if (m_busyTimer != 0)
        painter.fillRect(QRect(m_busyPhase, height() - 3, 40, 3), kWaveInside);
    if (hasFocus())
        DrawFocusFrame(painter, rect().adjusted(1, 1, -2, -2));
}

WaveformView::Drag WaveformView::DragAt(double x) const
{
    const double left = XAt(m_start), right = XAt(m_start + m_length);
    if (std::abs(x - left) <= kEdgeGrip && x < right)
        return Drag::StartEdge;
    if (std::abs(x - right) <= kEdgeGrip)
        return Drag::EndEdge;
    return x > left && x < right ? Drag::Selection : Drag::None;
}

void WaveformView::UpdateCursor(double x)
{
    switch (m_drag == Drag::None ? DragAt(x) : m_drag) {
    case Drag::StartEdge:
    case Drag::EndEdge: setCursor(Qt::SizeHorCursor); break;
    case Drag::Selection: setCursor(m_drag == Drag::None ? Qt::OpenHandCursor : Qt::ClosedHandCursor); break;
    case Drag::None: unsetCursor(); break;
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_span <= 0)
        return QWidget::mousePressEvent(event);
    const double x = event->position().x(), at = TimeAt(x);
    m_pressX = x;
    m_moved = false;
    m_drag = DragAt(x);
    if (m_drag == Drag::None) {
        emit StartPicked(at);
        m_drag = Drag::Selection;
    }
    m_grabOffset = at - m_start;
    UpdateCursor(x);
}

void WaveformView::mouseMoveEvent(QMouseEvent* event)
{
    const double x = event->position().x(), at = TimeAt(x);
    m_moved = m_moved || std::abs(x - m_pressX) > kEdgeGrip;
    if (!m_moved)
        return UpdateCursor(x);
    switch (m_drag) {
    case Drag::Selection: emit SelectionDragged(at - m_grabOffset); break;
    case Drag::StartEdge: emit StartEdgeDragged(at); break;
    case Drag::EndEdge: emit EndEdgeDragged(at); break;
    case Drag::None: break;
    }
    UpdateCursor(x);
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A click inside the selection moves its start there too.
    if (m_drag == Drag::Selection && !m_moved && m_grabOffset > 0)
        emit StartPicked(TimeAt(event->position().x()));
    m_drag = Drag::None;
    UpdateCursor(event->position().x());
}

}  // namespace quorbin
