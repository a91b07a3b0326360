#include "sound/CueSynth.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

namespace {

constexpr double R = CueSynth::sampleRate;

/// A square oscillator whose phase starts at 0 with each note and grows before it is read.
class Square {
public:
    double next(double frequency, double duty) {
        m_phase += frequency / R;
        const double fraction = m_phase - std::trunc(m_phase);
        return fraction < duty ? 1.0 : -1.0;
    }

private:
    double m_phase = 0.0;
};

void append(std::vector<float>& out, double sample) {
    out.push_back(static_cast<float>(std::clamp(sample, -1.0, 1.0)));
}

struct Note {
    double frequency;
    int samples;
};

// Square notes with an amplitude and a per-note envelope of t (seconds into the note).
template <typename Envelope>
void notes(std::vector<float>& out, std::initializer_list<Note> list, double amplitude, Envelope envelope) {
    int index = 0;
    for (const Note& note : list) {
        Square square;
        for (int i = 0; i < note.samples; ++i) {
            const double t = i / R;
            append(out, square.next(note.frequency, 0.5) * amplitude * envelope(index, t));
        }
        ++index;
    }
}

std::vector<float> launch() {
    std::vector<float> out;
    const double frequencies[] = {523.25, 659.25, 783.99, 1046.5};
    for (int n = 0; n < 4; ++n) {
        const bool last = n == 3;
        Square square;
        const int count = last ? 7056 : 3087;
        for (int i = 0; i < count; ++i) {
            const double t = i / R;
            const double envelope = std::exp((last ? -6.0 : -14.0) * t);
            const double ramp = std::min(60.0 * t, 1.0);
            append(out, square.next(frequencies[n], 0.5) * 0.34 * envelope * ramp);
        }
    }
    return out;
}

std::vector<float> needsApproval(const CueSynth::Noise& noise) {
    std::vector<float> out;
    for (int k = 0; k < 3; ++k) {
        const double base = 520.0 + 190.0 * k;
        Square square;
        for (int i = 0; i < 3307; ++i) {
            const double t = i / R;
            double s = square.next(base * (1.0 + 1.6 * t), 0.32);
            if ((i / 48) % 3 == 2)
                s = -s;
            const double n = noise();
            append(out, std::exp(-22.0 * t) * (0.55 * s + 0.35 * n * std::exp(-90.0 * t)));
        }
        out.insert(out.end(), 1543, 0.0f);
    }
    return out;
}

std::vector<float> approved() {
    std::vector<float> out;
    notes(out, {{660, 2646}, {990, 2646}}, 0.4,
          [](int note, double t) { return std::exp(-26.0 * t) * (note == 0 ? 0.8 : 1.0); });
    return out;
}

std::vector<float> denied() {
    std::vector<float> out;
    Square a;
    Square b;
    for (int i = 0; i < 8820; ++i) {
        const double t = i / R;
        const double f = 220.0 * (1.0 - 0.9 * t);
        double mean = (a.next(f, 0.5) + b.next(1.06 * f, 0.45)) / 2.0;
        if (i % 256 >= 192)
            mean *= 0.25;
        append(out, std::exp(-9.0 * t) * mean * 0.42);
    }
    return out;
}

std::vector<float> done() {
    std::vector<float> out;
    notes(out, {{523, 2205}, {659, 2205}, {784, 2205}}, 0.22, [](int, double t) { return std::exp(-30.0 * t); });
    return out;
}

} // namespace

std::vector<float> CueSynth::render(Cue cue) {
    return render(cue, [] { return QRandomGenerator::global()->generateDouble() * 2.0 - 1.0; });
}

std::vector<float> CueSynth::render(Cue cue, const Noise& noise) {
    switch (cue) {
    case Cue::launch:
        return launch();
    case Cue::needsApproval:
        return needsApproval(noise);
    case Cue::approved:
        return approved();
    case Cue::denied:
        return denied();
    case Cue::done:
        return done();
    }
    return {};
}
