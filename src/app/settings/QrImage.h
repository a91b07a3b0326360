#pragma once

#include "phone/QrCode.h"

#include <QImage>

/// Paints a QR symbol: black modules on white, with the quiet zone, scaled to the asked side without smoothing.
class QrImage final {
public:
    /// A side × side image; every pixel takes the colour of the module it falls in.
    static QImage render(const QrCode& code, int side);
};
