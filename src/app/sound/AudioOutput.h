#pragma once

#include <QString>
#include <optional>

class QIODevice;

/// Where the cues go: an output that pulls mono 32-bit float samples at 44.1 kHz from a device, on its own
/// thread, for as long as it runs.
class AudioOutput {
public:
    AudioOutput() = default;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    virtual ~AudioOutput() = default;

    /// Starts pulling from source; the reason when it cannot.
    virtual std::optional<QString> start(QIODevice& source) = 0;
    virtual void stop() = 0;
};
