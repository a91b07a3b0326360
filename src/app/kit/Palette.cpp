#include "kit/Palette.h"

#include <algorithm>

QColor Palette::mix(const QColor& a, const QColor& b, double amount) {
    const float k = static_cast<float>(std::clamp(amount, 0.0, 1.0));
    const auto blend = [k](float x, float y) { return x + (y - x) * k; };
    return QColor::fromRgbF(blend(a.redF(), b.redF()), blend(a.greenF(), b.greenF()), blend(a.blueF(), b.blueF()),
                            blend(a.alphaF(), b.alphaF()));
}
