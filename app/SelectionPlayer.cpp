#include "app/SelectionPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include "conversion/StringTable.h"

namespace quorbin {
namespace {

constexpr int kMarkIntervalMs = 30;

}  // namespace

SelectionPlayer::SelectionPlayer(QObject* parent) : QObject(parent)
{
    m_clock.setInterval(kMarkIntervalMs);
    connect(&m_clock, &QTimer::timeout, this, &SelectionPlayer::Report);
}

SelectionPlayer::~SelectionPlayer()
{
    if (m_sink)
        m_sink->stop();
}

bool SelectionPlayer::Play(const std::vector<std::int16_t>& samples, int rate, const char*& problem)
{
    Stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        problem = N_("No sound device: the selection cannot be played here.");
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) {
        problem = N_("The sound device cannot play this rate.");
        return false;
    }
    m_bytes = QByteArray(reinterpret_cast<const char*>(samples.data()),
                         static_cast<qsizetype>(samples.size() * sizeof(std::int16_t)));
    m_buffer.setData(m_bytes);
    m_buffer.open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(device, format);
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle: the buffer has run dry, so everything was played.
        if (state == QAudio::IdleState || (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError))
            QMetaObject::invokeMethod(this, &SelectionPlayer::Stop, Qt::QueuedConnection);
    });
    m_sink->start(&m_buffer);
    if (m_sink->error() != QAudio::NoError) {
        Stop();
        problem = N_("The sound device refused to play.");
        return false;
    }
    m_clock.start();
    return true;
}

void SelectionPlayer::Stop()
{
    if (!m_sink)
        return;
    m_clock.stop();
    m_sink->disconnect(this);
    m_sink->stop();
    m_sink.reset();
    m_buffer.close();
    emit Stopped();
}

void SelectionPlayer::Report()
{
    if (m_sink)
        emit Position(static_cast<double>(m_sink->processedUSecs()) / 1e6);
}

}  // namespace quorbin
