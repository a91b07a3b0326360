#include "settings/QrImage.h"

#include <QColor>

QImage QrImage::render(const QrCode& code, int side) {
    QImage image(side, side, QImage::Format_RGB32);
    const int modules = code.width() + 2 * QrCode::quietZone;
    const QRgb dark = qRgb(0, 0, 0);
    const QRgb light = qRgb(255, 255, 255);
    for (int py = 0; py < side; ++py) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        const int my = py * modules / side - QrCode::quietZone;
        for (int px = 0; px < side; ++px) {
            const int mx = px * modules / side - QrCode::quietZone;
            const bool inside = mx >= 0 && my >= 0 && mx < code.width() && my < code.width();
            line[px] = inside && code.isDark(mx, my) ? dark : light;
        }
    }
    return image;
}
