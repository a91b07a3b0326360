#include "LogCapture.h"
#include "sound/CueSynth.h"
#include "sound/SoundEngine.h"

#include <QIODevice>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Stands in for the audio device: pulls samples from the engine's source when the test asks.
class PullingOutput final : public AudioOutput {
public:
    std::optional<QString> failure;
    QIODevice* source = nullptr;

    std::optional<QString> start(QIODevice& device) override {
        if (!failure)
            source = &device;
        return failure;
    }
    void stop() override { source = nullptr; }
    std::vector<float> pull(std::size_t count) {
        std::vector<float> out(count, -2.0f);
        const auto bytes = static_cast<qint64>(count * sizeof(float));
        EXPECT_EQ(source->read(reinterpret_cast<char*>(out.data()), bytes), bytes);
        return out;
    }
};

std::vector<float> head(const std::vector<float>* samples, std::size_t count) {
    return {samples->begin(), samples->begin() + static_cast<std::ptrdiff_t>(count)};
}

// Every cue is audible yet never clips; only the alert (its noise) differs between renders.
TEST(CueSynth, CuesStayWithinFullScale) {
    for (Cue cue : allCues) {
        const std::vector<float> samples = CueSynth::render(cue);
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        EXPECT_GE(*low, -1.0f);
        EXPECT_LE(*high, 1.0f);
        EXPECT_GT(*high, 0.05f) << "audible";
        EXPECT_EQ(samples == CueSynth::render(cue), cue != Cue::needsApproval) << static_cast<int>(cue);
    }
}

// What the output pulls: the start-up cue once it runs, a new cue cutting off the playing one, silence when idle
// (never a stall), nothing while sound is off.
TEST(SoundEngine, TheOutputPullsTheLatestCueOnlyWhileEnabled) {
    bool enabled = true;
    auto owned = std::make_unique<PullingOutput>();
    PullingOutput& output = *owned;
    SoundEngine engine([&] { return enabled; }, std::move(owned));
    const std::vector<float> silence(4, 0.0f);

    engine.play(Cue::launch);
    engine.start();
    ASSERT_TRUE(engine.running());
    EXPECT_EQ(output.pull(4), head(engine.buffer(Cue::launch), 4));
    engine.play(Cue::approved);
    const std::vector<float>* approved = engine.buffer(Cue::approved);
    EXPECT_EQ(output.pull(approved->size()), *approved);
    EXPECT_EQ(output.pull(4), silence);

    enabled = false;
    engine.play(Cue::done);
    EXPECT_EQ(output.pull(4), silence);
}

// No audio device: one log line, silence, and start-up carries on.
TEST(SoundEngine, AnOutputThatCannotStartLeavesItSilent) {
    LogCapture log;
    auto owned = std::make_unique<PullingOutput>();
    owned->failure = QStringLiteral("no audio output device");
    PullingOutput& output = *owned;
    SoundEngine engine([] { return true; }, std::move(owned));
    engine.start();
    engine.play(Cue::launch);
    EXPECT_FALSE(engine.running());
    EXPECT_EQ(output.source, nullptr);
    EXPECT_EQ(log.lines, QStringList{"SoundEngine: could not start audio: no audio output device"});
}

} // namespace
