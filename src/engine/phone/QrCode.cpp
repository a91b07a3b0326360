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
