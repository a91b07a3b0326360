#include "kit/Palette.h"

#include "kit/SessionStatus.h"

#include <algorithm>

QColor Palette::risk(Risk level) {
    switch (level) {
    case Risk::trivial:
    case Risk::normal:
        return positive();
    case Risk::elevated:
        return caution();
    case Risk::critical:
        break;
    }
    return danger();
}

QColor Palette::state(SpriteKind kind) {
    switch (SessionStatus::of(kind)) {
    case SessionStatus::Status::active:
        return accent();
    case SessionStatus::Status::completed:
        return positive();
    case SessionStatus::Status::needsYou:
        return caution();
    }
    return accent();
}

QColor Palette::attention(Session::Attention attention) {
    switch (attention) {
    case Session::Attention::finished:
        return positive();
    case Session::Attention::denied:
        return text2();
    case Session::Attention::none:
    case Session::Attention::waitingForYou:
    case Session::Attention::waitingForInput:
        break;
    }
    return caution();
}

QColor Palette::mix(const QColor& a, const QColor& b, double amount) {
    const float k = static_cast<float>(std::clamp(amount, 0.0, 1.0));
    const auto blend = [k](float x, float y) { return x + (y - x) * k; };
    return QColor::fromRgbF(blend(a.redF(), b.redF()), blend(a.greenF(), b.greenF()), blend(a.blueF(), b.blueF()),
                            blend(a.alphaF(), b.alphaF()));
}
