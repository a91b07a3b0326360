#pragma once

#include <QIODevice>
#include <memory>
#include <mutex>
#include <vector>

/// The audio sink's endless source: the current cue's samples, then silence. Swapping in a cue cuts off
/// the one playing at once. Read from the audio system's thread, swapped from the main thread.
class CueDevice final : public QIODevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CueDevice)

public:
    using Samples = std::shared_ptr<const std::vector<float>>;

    explicit CueDevice(QObject* parent = nullptr);

    void play(Samples samples);
    /// Whether a cue still has samples to give.
    bool playing() const;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    mutable std::mutex m_mutex;
    Samples m_samples;
    std::size_t m_position = 0;
};
