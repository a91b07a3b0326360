#include "phone/TerminalQr.h"

#include "phone/QrCode.h"

QString TerminalQr::render(const QString& text) {
    const std::optional<QrCode> code = QrCode::encode(text.toUtf8());
    if (!code)
        return {};
    const int quiet = QrCode::quietZone;
    const int side = code->width() + 2 * quiet;
    const auto dark = [&](int x, int y) {
        x -= quiet;
        y -= quiet;
        return x >= 0 && y >= 0 && x < code->width() && y < code->width() && code->isDark(x, y);
    };
    QString lines;
    for (int y = 0; y < side; y += 2) {
        // Black on bright white, then back to the terminal's own colours.
        lines += QStringLiteral("\x1b[30;107m");
        for (int x = 0; x < side; ++x) {
            const bool top = dark(x, y);
            const bool bottom = y + 1 < side && dark(x, y + 1);
            lines += top && bottom ? QChar(0x2588) : top ? QChar(0x2580) : bottom ? QChar(0x2584) : QChar(' ');
        }
        lines += QStringLiteral("\x1b[0m\n");
    }
    return lines;
}
