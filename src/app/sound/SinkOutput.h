#pragma once

#include "sound/AudioOutput.h"

#include <memory>

class QAudioSink;

/// The default audio device through one long-lived pull-mode sink at volume 0.5.
class SinkOutput final : public AudioOutput {
public:
    SinkOutput();
    ~SinkOutput() override;

    std::optional<QString> start(QIODevice& source) override;
    void stop() override;

private:
    std::unique_ptr<QAudioSink> m_sink;
};
