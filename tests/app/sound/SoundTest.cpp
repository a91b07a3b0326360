#include "sound/CueDevice.h"
#include "sound/CueSynth.h"
#include "sound/SoundEngine.h"
#include "support/Log.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

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
    // The alert peaks at 0.55 + 0.35 on its first samples when the noise is at its extreme.
    const std::vector<float> loudest = CueSynth::render(Cue::needsApproval, [] { return 1.0; });
    EXPECT_NEAR(loudest.front(), 0.9, 0.01);
    // Each blip is followed by 1543 samples of silence, also after the last.
    EXPECT_TRUE(std::all_of(loudest.end() - 1543, loudest.end(), [](float s) { return s == 0.0f; }));
    EXPECT_NE(loudest[3307 + 1543], 0.0f);
}

std::vector<float> readFloats(CueDevice& device, qint64 count) {
    std::vector<float> out(static_cast<std::size_t>(count));
    EXPECT_EQ(device.read(reinterpret_cast<char*>(out.data()), count * 4), count * 4);
    return out;
}

TEST(CueDevice, ANewCueCutsOffThePlayingOneAndSilenceFollows) {
    CueDevice device;
    ASSERT_TRUE(device.isReadable());
    EXPECT_EQ(readFloats(device, 8), std::vector<float>(8, 0.0f)) << "idle is silence, never a stall";
    device.play(std::make_shared<const std::vector<float>>(std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(readFloats(device, 2), (std::vector<float>{0.1f, 0.2f}));
    device.play(std::make_shared<const std::vector<float>>(std::vector<float>{-0.5f, -0.6f}));
    EXPECT_EQ(readFloats(device, 4), (std::vector<float>{-0.5f, -0.6f, 0.0f, 0.0f}));
    EXPECT_FALSE(device.playing());
}

// No audio device in CI: one log line, silence, and start-up carries on.
TEST(SoundEngine, PlaysOnlyWhileEnabledAndRunning) {
    QStringList lines;
    Log::setSink([&](const QString& line) { lines << line; });
    bool enabled = true;
    SoundEngine engine([&] { return enabled; });
    engine.start();
    Log::setSink({});
    if (!engine.running()) {
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines.front().startsWith(QLatin1String("SoundEngine: could not start audio: ")));
        engine.play(Cue::launch);
        EXPECT_FALSE(engine.device().playing());
        return;
    }
    enabled = false;
    engine.play(Cue::launch);
    EXPECT_FALSE(engine.device().playing());
    enabled = true;
    engine.play(Cue::launch);
    EXPECT_TRUE(engine.device().playing());
}

} // namespace
