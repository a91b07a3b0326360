#include "settings/PhoneTab.h"
#include "LogCapture.h"
#include "WidgetProbe.h"
#include "phone/PairingAddresses.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"
#include "settings/QrImage.h"

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
    EXPECT_EQ(named(&tab, "turnOff"), nullptr);

    // The port is busy: the error shows and the button stays for another try.
    named<FlatButton>(&tab, "enable")->click();
    settle();
    ASSERT_FALSE(remote.enabled());
    ASSERT_NE(named<QLabel>(&tab, "error"), nullptr);
    EXPECT_EQ(named<QLabel>(&tab, "error")->text(), remote.lastErrorText());

    taken.close();
    LogCapture log;
    named<FlatButton>(&tab, "enable")->click();
    settle();
    ASSERT_TRUE(remote.enabled());
    // Turned on here or by VORLIX_REMOTE: the same URL lines and warning.
    EXPECT_TRUE(log.lines.contains("VORLIX_REMOTE_URL " + remote.pairingURL())) << log.lines.join('\n').toStdString();
    EXPECT_TRUE(log.lines.last().contains("plain HTTP on every network interface"));
    EXPECT_EQ(named(&tab, "enable"), nullptr);
    auto* address = named<QPlainTextEdit>(&tab, "pairingURL");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->toPlainText(), PairingAddresses::urls(remote).join('\n'));
    // The picture is the code of the first address shown beside it.
    auto* qr = named<QLabel>(&tab, "qr");
    ASSERT_NE(qr, nullptr);
    const std::optional<QrCode> code = QrCode::encode(address->toPlainText().section(QLatin1Char('\n'), 0, 0).toUtf8());
    ASSERT_TRUE(code);
    const QImage image = qr->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image, QrImage::render(*code, image.width()));

    named<FlatButton>(&tab, "turnOff")->click();
    settle();
    EXPECT_FALSE(remote.enabled());
    EXPECT_EQ(named(&tab, "qr"), nullptr);
    EXPECT_NE(named(&tab, "enable"), nullptr);
}

// At a size that is not a whole number of pixels per module, each module's centre still has the code's colour and
// rounding never smears a module into the quiet zone.
TEST(PhoneTabTest, QrImageIsTheCodeBlackOnWhiteWithALightQuietZone) {
    const std::optional<QrCode> code = QrCode::encode("http://host.local:8787/?t=abcdefghijklmnopqrstuvwxyz012345");
    ASSERT_TRUE(code);
    const int side = 301, modules = code->width() + 2 * QrCode::quietZone, quiet = QrCode::quietZone * side / modules;
    const QImage image = QrImage::render(*code, side);
    ASSERT_EQ(image.size(), QSize(side, side));
    const auto colour = [&](double x, double y) {
        return image.pixel(int(x * side / modules), int(y * side / modules)) & 0xFFFFFF;
    };
    for (int y = 0; y < code->width(); ++y)
        for (int x = 0; x < code->width(); ++x)
            ASSERT_EQ(colour(QrCode::quietZone + x + 0.5, QrCode::quietZone + y + 0.5),
                      code->isDark(x, y) ? 0u : 0xFFFFFFu)
                << x << "," << y;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
            const bool inQuietZone = x < quiet || y < quiet || x >= side - quiet || y >= side - quiet;
            ASSERT_TRUE(pixel == 0xFFFFFF || (pixel == 0 && !inQuietZone)) << x << "," << y;
        }
}
