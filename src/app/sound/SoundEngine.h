#pragma once

#include "sound/AudioOutput.h"
#include "sound/CueDevice.h"
#include "support/Cue.h"

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>

/// The 8-bit cues, rendered once at construction and pulled by one long-lived output; a new cue replaces the one
/// playing. Without an audio device it stays silent.
class SoundEngine final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoundEngine)

public:
    /// enabled is read at every cue (the person's sound preference). Without an output, the default device's.
    explicit SoundEngine(std::function<bool()> enabled, std::unique_ptr<AudioOutput> output = {},
                         QObject* parent = nullptr);
    ~SoundEngine() override;

    /// Starts the output; logs one line and stays silent when there is none or it fails. A cue asked
    /// for before (the start-up cue) plays as soon as the output runs.
    void start();
    bool running() const { return m_running; }
    void play(Cue cue);

    const std::vector<float>* buffer(Cue cue) const;

private:
    std::function<bool()> m_enabled;
    std::map<Cue, CueDevice::Samples> m_buffers;
    CueDevice m_device;
    std::unique_ptr<AudioOutput> m_output;
    bool m_running = false;
    bool m_startAttempted = false;
    std::optional<Cue> m_pending;
};
