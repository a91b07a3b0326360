#pragma once

#include "sound/Cue.h"
#include "sound/CueDevice.h"

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QAudioSink;

/// The 8-bit cues, rendered once at construction and played through one long-lived pull-mode sink at
/// volume 0.5; a new cue replaces the one playing. Without an audio device it stays silent.
class SoundEngine final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoundEngine)

public:
    /// enabled is read at every cue (the person's sound preference).
    explicit SoundEngine(std::function<bool()> enabled, QObject* parent = nullptr);
    ~SoundEngine() override;

    /// Opens the default output; logs one line and stays silent when there is none or it fails. A cue asked
    /// for before (the start-up cue) plays as soon as the output runs.
    void start();
    bool running() const { return m_running; }
    void play(Cue cue);

    const std::vector<float>* buffer(Cue cue) const;
    /// The device the sink reads; tests watch what it would play.
    const CueDevice& device() const { return m_device; }

private:
    std::function<bool()> m_enabled;
    std::map<Cue, CueDevice::Samples> m_buffers;
    CueDevice m_device;
    std::unique_ptr<QAudioSink> m_sink;
    bool m_running = false;
    bool m_startAttempted = false;
    std::optional<Cue> m_pending;
};
