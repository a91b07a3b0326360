#include "sound/CueDevice.h"

#include <algorithm>
#include <cstring>

namespace {
// What a pull-mode sink may take per read while idle: a few milliseconds of silence keep it running
// without queueing audio in front of the next cue.
constexpr qint64 idleBytes = 1024 * static_cast<qint64>(sizeof(float));
} // namespace

CueDevice::CueDevice(QObject* parent) : QIODevice(parent) {
    // Unbuffered: QIODevice's own read-ahead would queue silence in front of the next cue.
    QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void CueDevice::play(Samples samples) {
    std::lock_guard lock(m_mutex);
    m_samples = std::move(samples);
    m_position = 0;
}

bool CueDevice::playing() const {
    std::lock_guard lock(m_mutex);
    return m_samples && m_position < m_samples->size();
}

qint64 CueDevice::bytesAvailable() const {
    std::lock_guard lock(m_mutex);
    const std::size_t left = m_samples ? m_samples->size() - m_position : 0;
    return std::max<qint64>(static_cast<qint64>(left * sizeof(float)), idleBytes) + QIODevice::bytesAvailable();
}

qint64 CueDevice::readData(char* data, qint64 maxSize) {
    const qint64 frames = maxSize / static_cast<qint64>(sizeof(float));
    if (frames <= 0)
        return 0;
    std::lock_guard lock(m_mutex);
    qint64 copied = 0;
    if (m_samples && m_position < m_samples->size()) {
        copied = std::min<qint64>(frames, static_cast<qint64>(m_samples->size() - m_position));
        std::memcpy(data, m_samples->data() + m_position, static_cast<std::size_t>(copied) * sizeof(float));
        m_position += static_cast<std::size_t>(copied);
    }
    // Silence for the rest: the sink never runs dry, so it never stops and restarts between cues.
    std::memset(data + copied * sizeof(float), 0, static_cast<std::size_t>(frames - copied) * sizeof(float));
    return frames * static_cast<qint64>(sizeof(float));
}

qint64 CueDevice::writeData(const char*, qint64) {
    return -1;
}
