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

// Two modules per cell: the upper one in the glyph's top half. Read back, the cells give the symbol again.
TEST(PairingAddressesTest, TerminalQrHoldsTheSymbolInHalfBlocks) {
    const QString url = "http://192.168.1.20:8787/?t=abcdefghijklmnopqrstuvwxyz012345";
    const std::optional<QrCode> code = QrCode::encode(url.toUtf8());
    ASSERT_TRUE(code);
    const int side = code->width() + 2 * QrCode::quietZone;
    QStringList lines = TerminalQr::render(url).split('\n');
    ASSERT_EQ(lines.takeLast(), "");
    ASSERT_EQ(lines.size(), (side + 1) / 2);
    for (int row = 0; row < lines.size(); ++row) {
        QString cells = lines[row];
        ASSERT_TRUE(cells.startsWith("\x1b[30;107m") && cells.endsWith("\x1b[0m")) << row;
        cells = cells.mid(9, cells.size() - 13);
        ASSERT_EQ(cells.size(), side) << row;
        for (int x = 0; x < side; ++x) {
            const auto dark = [&](int y) {
                const int mx = x - QrCode::quietZone, my = y - QrCode::quietZone;
                return mx >= 0 && my >= 0 && mx < code->width() && my < code->width() && code->isDark(mx, my);
            };
            const QChar cell = cells[x];
            EXPECT_EQ(cell == QChar(0x2588) || cell == QChar(0x2580), dark(2 * row)) << x << "," << row;
            EXPECT_EQ(cell == QChar(0x2588) || cell == QChar(0x2584), 2 * row + 1 < side && dark(2 * row + 1));
        }
    }
}
