#include "phone/QrCode.h"

#include <memory>
#include <qrencode.h>

std::optional<QrCode> QrCode::encode(const QByteArray& data) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(data.size()), reinterpret_cast<const unsigned char*>(data.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!code || code->width <= 0)
        return std::nullopt;
    const int width = code->width;
    std::vector<bool> modules(static_cast<std::size_t>(width * width));
    // Bit 0 of each byte is the module's colour; the other bits describe what the module is for.
    for (std::size_t i = 0; i < modules.size(); ++i)
        modules[i] = (code->data[i] & 1) != 0;
    return QrCode(code->version, width, std::move(modules));
}

QImage QrCode::image(int size) const {
    if (size < 1)
        return {};
    const int side = m_width + 2 * quietZone;
    QImage symbol(side, side, QImage::Format_RGB32);
    symbol.fill(Qt::white);
    for (int y = 0; y < m_width; ++y) {
        for (int x = 0; x < m_width; ++x) {
            if (isDark(x, y))
                symbol.setPixel(x + quietZone, y + quietZone, qRgb(0, 0, 0));
        }
    }
    return symbol.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}
