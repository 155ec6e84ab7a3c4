#pragma once
// The ringtone editor's waveform: the outline of the whole recording, the
// selection over it and the play mark. The mouse picks and drags the
// selection; the view only reports the times and draws what it is told, so
// the limits stay with the owner.
#include <QWidget>
#include <optional>

namespace quorbin {

class WaveOverview;

class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // What is drawn; the owner keeps the overview alive and calls update() as it grows.
    void SetOverview(const WaveOverview* overview);
    // The time across the whole width.
    void SetSpan(double seconds);
    void SetSelection(double start, double length);
    void SetPlayMark(std::optional<double> seconds);
    // While decoding: a stripe runs along the bottom edge.
    void SetBusy(bool busy);
    // Shown while there is no recording.
    void SetInvitation(const QString& text);

    double TimeAt(double x) const;
    double XAt(double seconds) const;

signals:
    // A press outside the selection, or a click inside it: its start goes there.
    void StartPicked(double seconds);
    // A drag of the selection (or on from a press outside it): where its start goes.
    void SelectionDragged(double start);
    void StartEdgeDragged(double seconds);
    void EndEdgeDragged(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    enum class Drag { None, Selection, StartEdge, EndEdge };
    Drag DragAt(double x) const;
    void PaintWave(QPainter& painter) const;
    void UpdateCursor(double x);

    const WaveOverview* m_overview = nullptr;
    double m_span = 0;
    double m_start = 0;
    double m_length = 0;
    std::optional<double> m_playMark;
    QString m_invitation;
    int m_busyTimer = 0;
    int m_busyPhase = 0;
    Drag m_drag = Drag::None;
    double m_grabOffset = 0;  // from the selection's start to where it was taken
    double m_pressX = 0;
    bool m_moved = false;  // further than a grip's width since the press
};

}  // namespace quorbin
