#include "sound/SinkOutput.h"

#include "sound/CueSynth.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

SinkOutput::SinkOutput() = default;

SinkOutput::~SinkOutput() {
    stop();
}

std::optional<QString> SinkOutput::start(QIODevice& source) {
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull())
        return QStringLiteral("no audio output device");
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(CueSynth::sampleRate));
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    if (!output.isFormatSupported(format))
        return QStringLiteral("%1 does not take mono float at 44.1 kHz").arg(output.description());
    m_sink = std::make_unique<QAudioSink>(output, format);
    m_sink->setVolume(0.5);
    m_sink->start(&source);
    if (m_sink->error() != QAudio::NoError) {
        const QString why =
            QStringLiteral("%1 refused the stream (error %2)").arg(output.description()).arg(m_sink->error());
        m_sink.reset();
        return why;
    }
    return std::nullopt;
}

void SinkOutput::stop() {
    if (m_sink)
        m_sink->stop();
}
