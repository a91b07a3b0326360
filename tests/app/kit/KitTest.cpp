#include "EventLoop.h"
#include "kit/Card.h"
#include "kit/FlatButton.h"
#include "kit/IconButton.h"
#include "kit/Palette.h"
#include "kit/StatusChip.h"
#include "kit/SymbolImage.h"
#include "sprites/PixelSprite.h"

#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
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

TEST(StatusChip, ShowsTheStatusInCapitalsOnItsTint) {
    const struct {
        SpriteKind kind;
        const char* text;
        QColor tint;
    } cases[] = {{SpriteKind::error, "NEEDS YOU", PixelSprite::yellow()},
                 {SpriteKind::done, "COMPLETED", PixelSprite::green()},
                 {SpriteKind::shell, "ACTIVE", PixelSprite::pink()}};
    for (const auto& c : cases) {
        StatusChip chip(c.kind);
        chip.resize(chip.sizeHint());
        EXPECT_EQ(chip.text(), QLatin1String(c.text));
        EXPECT_EQ(chip.textColor(), c.tint);
        const QImage image = renderAlone(chip);
        // Left padding holds only the capsule: the tint at 16 %.
        QColor capsule = c.tint;
        capsule.setAlpha(41);
        EXPECT_TRUE(near(image.pixelColor(4, image.height() / 2), capsule)) << c.text;
    }
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
    // A narrow button is its text plus 14 on each side; a wide one has no horizontal padding.
    FlatButton narrow(QStringLiteral("Allow"), PixelSprite::green(), true, false);
    FlatButton wide(QStringLiteral("Allow"), PixelSprite::green(), true, true);
    EXPECT_EQ(narrow.sizeHint().width() - wide.sizeHint().width(), 28);
    int clicks = 0;
    QObject::connect(&narrow, &QAbstractButton::clicked, [&] { ++clicks; });
    narrow.click();
    EXPECT_EQ(clicks, 1);
}

TEST(Card, SpansTheWidthWithItsContentAtTheLeadingEdge) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("ok"));
    auto* card = new Card(Palette::card(), 14, label);
    layout->addWidget(card);
    host.resize(400, 100);
    host.show();
    layout->activate();
    EXPECT_EQ(card->width(), 400);
    EXPECT_EQ(label->x(), 14);
    EXPECT_LT(label->width(), 200);
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
        int solid = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                const QColor p = image.pixelColor(x, y);
                solid += p.alpha() == 255 && p == QColor(0, 200, 0) ? 1 : 0;
            }
        }
        EXPECT_GT(solid, 20) << name;
    }
    EXPECT_TRUE(SymbolImage::pixmap(QStringLiteral("no.such.symbol"), 12, Qt::white).isNull());

    // A sheet of the kit on the window background, for the eye.
    QImage sheet(40 * names.size(), 90, QImage::Format_ARGB32);
    sheet.fill(Palette::bg());
    QPainter painter(&sheet);
    for (qsizetype i = 0; i < names.size(); ++i)
        SymbolImage::draw(painter, names[i], QRectF(40.0 * i + 8, 8, 24, 24), Palette::text());
    FlatButton allow(QStringLiteral("Allow"), PixelSprite::green(), true, false);
    StatusChip chip(SpriteKind::needsApproval);
    allow.resize(allow.sizeHint());
    chip.resize(chip.sizeHint());
    allow.render(&painter, QPoint(8, 44), QRegion(), QWidget::DrawChildren);
    chip.render(&painter, QPoint(100, 50), QRegion(), QWidget::DrawChildren);
    painter.end();
    QDir().mkpath(QStringLiteral(VORLIX_BINARY_DIR "/artifacts"));
    sheet.save(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/kit.png"));
    IconButton button(QStringLiteral("power"), PixelSprite::pink());
    EXPECT_EQ(button.size(), QSize(26, 26));
    EXPECT_TRUE(near(renderAlone(button).pixelColor(3, 13), Palette::card()));
}

} // namespace
