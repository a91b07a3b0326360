#pragma once

#include "support/Cue.h"

#include <functional>
#include <vector>

/// Renders the cues from square waves (and, for the alert, white noise) into mono float samples at
/// 44.1 kHz, each clamped to −1…+1.
class CueSynth final {
public:
    static constexpr double sampleRate = 44100.0;

    /// A uniform random value in −1…+1; the alert's noise draws a fresh one for every sample.
    using Noise = std::function<double()>;

    static std::vector<float> render(Cue cue);
    static std::vector<float> render(Cue cue, const Noise& noise);
};
