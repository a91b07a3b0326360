#include "kit/SymbolImage.h"

#include <gtest/gtest.h>

namespace {

// Every symbol the app asks for is in the resource (or the theme) and comes out solid in the asked colour.
TEST(SymbolImage, EveryUsedSymbolInTheGivenColour) {
    for (const char* name :
         {"preferences-system", "system-shutdown", "cpu", "security-high", "vcs-branch", "starred", "view-list",
          "phone", "changes-prevent", "view-hidden", "view-barcode-qr", "utilities-terminal"}) {
        const QImage image = SymbolImage::pixmap(QLatin1String(name), 24, QColor(0, 200, 0)).toImage();
        ASSERT_FALSE(image.isNull()) << name;
        int solid = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                solid += image.pixelColor(x, y) == QColor(0, 200, 0) ? 1 : 0;
        EXPECT_GT(solid, 20) << name << ": solid in the colour";
    }
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("no-such-symbol"), 12, Qt::white).isNull());
}

} // namespace
