#include "EventLoop.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/SymbolImage.h"
#include "sprites/PixelSprite.h"

#include <QEnterEvent>
#include <QPainter>
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
    QColor green90 = PixelSprite::green();
    green90.setAlpha(230);
    const struct {
        const char* title;
        bool filled;
        QColor rest;
        QColor hot;
    } cases[] = {{"Deny", false, Palette::card(), Palette::cardHi()}, {"Allow", true, green90, PixelSprite::green()}};
    for (const auto& c : cases) {
        FlatButton button(QString::fromLatin1(c.title), PixelSprite::green(), c.filled, true);
        button.resize(200, button.sizeHint().height());
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.rest)) << c.title;
        hover(button, true);
        EXPECT_TRUE(button.hot());
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.hot)) << c.title;
        hover(button, false);
        EXPECT_TRUE(near(renderAlone(button).pixelColor(6, button.height() / 2), c.rest)) << c.title;
    }
}

TEST(SymbolImage, DrawsEveryNamedSymbolInTheGivenColour) {
    const QStringList names = SymbolImage::drawnNames();
    for (const char* name : {"gearshape.fill", "power", "cpu", "checkmark.shield", "arrow.triangle.branch", "trophy",
                             "list.bullet.rectangle", "iphone", "lock.fill", "eye.slash.fill", "qrcode"}) {
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
        QImage image(24, 24, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        ASSERT_TRUE(SymbolImage::draw(painter, QLatin1String(name), QRectF(0, 0, 24, 24), QColor(0, 200, 0)));
        painter.end();
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        EXPECT_GT(std::count(pixels, pixels + 24 * 24, qRgb(0, 200, 0)), 20) << name << ": solid in the colour";
    }
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("no.such.symbol"), 12, Qt::white).isNull());
}

} // namespace
