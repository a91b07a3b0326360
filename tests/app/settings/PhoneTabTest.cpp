#include "settings/PhoneTab.h"
#include "WidgetProbe.h"
#include "phone/PairingAddresses.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"
#include "settings/QrImage.h"
#include "sprites/PixelSprite.h"
#include "support/Log.h"

#include <QPixmap>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <gtest/gtest.h>

using namespace WidgetProbe;

TEST(PhoneTabTest, EnableShowsTheCodeAndAddressAndTurnOffHidesThem) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any));
    RemoteApproval remote(taken.serverPort());
    PhoneTab tab(remote);
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Enable phone approvals"}));

    // The port is busy: the error shows in yellow and the button stays for another try.
    button(&tab, "Enable phone approvals")->click();
    settle();
    ASSERT_FALSE(remote.enabled());
    QLabel* error = label(&tab, remote.lastErrorText());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(textColor(error), PixelSprite::yellow());

    taken.close();
    QStringList logged;
    Log::setSink([&logged](const QString& line) { logged << line; });
    button(&tab, "Enable phone approvals")->click();
    settle();
    Log::setSink({});
    ASSERT_TRUE(remote.enabled());
    // Turned on here or by VORLIX_REMOTE: the same URL lines and warning.
    EXPECT_TRUE(logged.contains("VORLIX_REMOTE_URL " + remote.pairingURL())) << logged.join('\n').toStdString();
    EXPECT_TRUE(logged.last().contains("plain HTTP on every network interface"));
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Turn off"}));
    auto* address = tab.findChild<QPlainTextEdit*>("pairingURL");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->toPlainText(), PairingAddresses::urls(remote).join('\n'));
    auto* qr = tab.findChild<QLabel*>("qr");
    ASSERT_NE(qr, nullptr);
    EXPECT_EQ(qr->pixmap().toImage(), QrImage::render(*remote.qrCode(), 150));

    button(&tab, "Turn off")->click();
    settle();
    EXPECT_FALSE(remote.enabled());
    EXPECT_EQ(tab.findChild<QLabel*>("qr"), nullptr);
    EXPECT_EQ(buttonTitles(&tab), QStringList({"Enable phone approvals"}));
}

TEST(PhoneTabTest, QrImageIsBlackOnWhiteWithALightQuietZone) {
    const std::optional<QrCode> code = QrCode::encode("http://host.local:8787/?t=abcdefghijklmnopqrstuvwxyz012345");
    ASSERT_TRUE(code);
    const int modules = code->width() + 2 * QrCode::quietZone;
    for (int side : {150, 300, modules, 57}) {
        SCOPED_TRACE(side);
        const QImage image = QrImage::render(*code, side);
        ASSERT_EQ(image.size(), QSize(side, side));
        // Only black and white, and every pixel of the quiet zone (whole pixels inside its four modules) is white.
        const int quiet = QrCode::quietZone * side / modules;
        int dark = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
                const bool inQuietZone = x < quiet || y < quiet || x >= side - quiet || y >= side - quiet;
                ASSERT_TRUE(pixel == 0xFFFFFF || (pixel == 0 && !inQuietZone)) << x << "," << y;
                dark += pixel == 0 ? 1 : 0;
            }
        }
        EXPECT_GT(dark, side * side / 5);
        // The finder pattern's corner module is dark, right where the quiet zone ends.
        const int corner = (QrCode::quietZone * side + modules - 1) / modules;
        EXPECT_EQ(image.pixel(corner, corner) & 0xFFFFFF, 0u);
    }
}
