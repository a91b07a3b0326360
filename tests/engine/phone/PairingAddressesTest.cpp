#include "phone/PairingAddresses.h"
#include "phone/QrCode.h"
#include "phone/TerminalQr.h"

#include <gtest/gtest.h>

// The .local name needs mDNS on the phone's network; each IPv4 address of the machine works without it.
TEST(PairingAddressesTest, TheNameFirstThenEachNonLoopbackIPv4Address) {
    const QString url = "http://box.local:8787/?t=abc";
    const QList<QHostAddress> addresses = {QHostAddress("127.0.0.1"), QHostAddress("192.168.1.20"),
                                           QHostAddress("fe80::1"), QHostAddress("10.0.0.7"),
                                           QHostAddress("192.168.1.20")};
    EXPECT_EQ(PairingAddresses::urls(url, addresses),
              QStringList({url, "http://192.168.1.20:8787/?t=abc", "http://10.0.0.7:8787/?t=abc"}));
    EXPECT_EQ(PairingAddresses::urls(url, {}), QStringList({url}));
}

// Two modules per cell, the upper one in the glyph's top half: read back, the cells give the symbol again.
TEST(PairingAddressesTest, TerminalQrHoldsTheSymbolInHalfBlocks) {
    const QString url = "http://192.168.1.20:8787/?t=abcdefghijklmnopqrstuvwxyz012345";
    const std::optional<QrCode> code = QrCode::encode(url.toUtf8());
    ASSERT_TRUE(code);
    const int quiet = QrCode::quietZone, width = code->width(), side = width + 2 * quiet;
    const QStringList lines = TerminalQr::render(url).split('\n');
    ASSERT_EQ(lines.size(), (side + 1) / 2 + 1);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int mx = x - quiet, my = y - quiet;
            const bool dark = mx >= 0 && my >= 0 && mx < width && my < width && code->isDark(mx, my);
            // After the colour escape: full block, upper half or lower half.
            const QChar cell = lines[y / 2].mid(9).at(x);
            EXPECT_EQ(cell == QChar(0x2588) || cell == QChar(y % 2 ? 0x2584 : 0x2580), dark) << x << "," << y;
        }
    }
}
