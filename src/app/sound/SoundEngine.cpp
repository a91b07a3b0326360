#include "sound/SoundEngine.h"

#include "sound/CueSynth.h"
#include "support/Log.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

SoundEngine::SoundEngine(std::function<bool()> enabled, QObject* parent)
    : QObject(parent), m_enabled(std::move(enabled)) {
    for (Cue cue : allCues)
        m_buffers[cue] = std::make_shared<const std::vector<float>>(CueSynth::render(cue));
}

SoundEngine::~SoundEngine() {
    if (m_sink)
        m_sink->stop();
}

void SoundEngine::start() {
    if (m_startAttempted)
        return;
    m_startAttempted = true;
    const std::optional<Cue> pending = std::exchange(m_pending, std::nullopt);
    const auto fail = [](const QString& why) {
        Log::line(QStringLiteral("SoundEngine: could not start audio: ") + why);
    };
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        fail(QStringLiteral("no audio output device"));
        return;
    }
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(CueSynth::sampleRate));
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    if (!output.isFormatSupported(format)) {
        fail(QStringLiteral("%1 does not take mono float at 44.1 kHz").arg(output.description()));
        return;
    }
    m_sink = std::make_unique<QAudioSink>(output, format);
    m_sink->setVolume(0.5);
    m_sink->start(&m_device);
    if (m_sink->error() != QAudio::NoError) {
        fail(QStringLiteral("%1 refused the stream (error %2)").arg(output.description()).arg(m_sink->error()));
        m_sink.reset();
        return;
    }
    m_running = true;
    if (pending)
        m_device.play(m_buffers[*pending]);
}

void SoundEngine::play(Cue cue) {
    if (m_enabled && !m_enabled())
        return;
    const auto it = m_buffers.find(cue);
    if (it == m_buffers.end())
        return;
    if (!m_startAttempted)
        m_pending = cue;
    else if (m_running)
        m_device.play(it->second);
}

const std::vector<float>* SoundEngine::buffer(Cue cue) const {
    const auto it = m_buffers.find(cue);
    return it == m_buffers.end() ? nullptr : it->second.get();
}
