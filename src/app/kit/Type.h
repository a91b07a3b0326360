#pragma once

#include <QFont>

/// The type styles. Sizes are device-independent pixels (setPixelSize), so they match on every screen;
/// "mono" is the system's fixed font, everything else the application font.
class Type final {
public:
    static const QFont& caption();
    static const QFont& body();
    static const QFont& bodyMono();
    static const QFont& label();
    static const QFont& title();
    static const QFont& big();
    static const QFont& section();

    static QFont mono(int pixelSize, QFont::Weight weight);
    static QFont standard(int pixelSize, QFont::Weight weight);
};
