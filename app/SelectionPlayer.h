#pragma once
// Plays 16-bit mono samples through the desktop's sound system (Qt's audio
// output, which speaks to PulseAudio or PipeWire) and reports where it is, for
// the moving play mark. A machine without a sound device gets a reason, never a wait.
#include <QBuffer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

class QAudioSink;

namespace quorbin {

class SelectionPlayer : public QObject {
    Q_OBJECT
public:
    explicit SelectionPlayer(QObject* parent = nullptr);
    ~SelectionPlayer() override;

    // Starts playing `samples` at `rate`. False, with the reason in English in
    // `problem`, when there is no sound device or it refuses the sound.
    bool Play(const std::vector<std::int16_t>& samples, int rate, const char*& problem);
    void Stop();
    bool IsPlaying() const { return m_sink != nullptr; }

signals:
    // Seconds played from the start of the samples.
    void Position(double seconds);
    // Everything was played, or playing stopped.
    void Stopped();

private:
    void Report();

    std::unique_ptr<QAudioSink> m_sink;
    QBuffer m_buffer;
    QByteArray m_bytes;
    QTimer m_clock;
};

}  // namespace quorbin
