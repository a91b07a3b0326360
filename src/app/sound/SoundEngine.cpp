#include "sound/SoundEngine.h"

#include "sound/CueSynth.h"
#include "sound/SinkOutput.h"
#include "support/Log.h"

SoundEngine::SoundEngine(std::function<bool()> enabled, std::unique_ptr<AudioOutput> output, QObject* parent)
    : QObject(parent), m_enabled(std::move(enabled)),
      m_output(output ? std::move(output) : std::make_unique<SinkOutput>()) {
    for (Cue cue : allCues)
        m_buffers[cue] = std::make_shared<const std::vector<float>>(CueSynth::render(cue));
}

SoundEngine::~SoundEngine() {
    if (m_running)
        m_output->stop();
}

void SoundEngine::start() {
    if (m_startAttempted)
        return;
    m_startAttempted = true;
    const std::optional<Cue> pending = std::exchange(m_pending, std::nullopt);
    if (const auto why = m_output->start(m_device)) {
        Log::line(QStringLiteral("SoundEngine: could not start audio: ") + *why);
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
