#include "EventLoop.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/SymbolImage.h"

#include <QEnterEvent>
#include <gtest/gtest.h>

namespace {

QImage renderAlone(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Translucent colours lose a little precision in premultiplied rendering.
bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 4 && std::abs(a.green() - b.green()) <= 4 &&
           std::abs(a.blue() - b.blue()) <= 4 && std::abs(a.alpha() - b.alpha()) <= 1;
}

void hover(HoverButton& button, bool in) {
    if (in) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(&button, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
    }
    ASSERT_TRUE(waitUntil([&] { return button.hoverProgress() == (in ? 1.0 : 0.0); }));
}

TEST(FlatButton, FillsFollowFilledAndHover) {
    QColor green90 = Palette::positive();
    green90.setAlpha(230);
    const struct {
        const char* title;
        bool filled;
        QColor rest;
        QColor hot;
    } cases[] = {{"Deny", false, Palette::card(), Palette::cardHi()}, {"Allow", true, green90, Palette::positive()}};
    for (const auto& c : cases) {
        FlatButton button(QString::fromLatin1(c.title), Palette::positive(), c.filled, true);
        button.resize(200, button.sizeHint().height());
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.rest)) << c.title;
        hover(button, true);
        EXPECT_TRUE(button.hot());
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.hot)) << c.title;
        hover(button, false);
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.rest)) << c.title;
    }
}

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
