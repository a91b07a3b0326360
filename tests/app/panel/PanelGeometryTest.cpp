#include "panel/NotchGeometry.h"
#include "panel/PanelLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

NotchGeometry notch(double width, double height) {
    return {.screen = {}, .hasNotch = width > 0, .notchWidth = width, .notchHeight = height};
}

const QRectF screen(0, 0, 1512, 982);

} // namespace

TEST(PanelGeometryTest, NotchDetection) {
    const QRectF aux(0, 945, 663.5, 37);
    const std::tuple<const char*, NotchGeometry::ScreenFacts, bool, double, double> cases[] = {
        {"housing between two strips", {screen, 37, aux, aux}, true, 185, 37},
        {"no top inset, strips ignored", {screen, 0, aux, aux}, false, 0, 32},
        {"only the left strip", {screen, 37, aux, std::nullopt}, false, 0, 32},
        {"what Linux reports", {screen, 0, std::nullopt, std::nullopt}, false, 0, 32},
    };
    for (const auto& [name, facts, hasNotch, width, height] : cases) {
        const NotchGeometry geo = NotchGeometry::detect(nullptr, facts);
        EXPECT_EQ(std::tuple(geo.hasNotch, geo.notchWidth, geo.notchHeight), std::tuple(hasNotch, width, height))
            << name;
    }
    // The panel names its screen; once that screen is unplugged it hangs from the primary one.
    NotchGeometry gone;
    gone.screen = QStringLiteral("HDMI-2");
    EXPECT_EQ(NotchGeometry::frameOf(gone), QGuiApplication::primaryScreen()->geometry());
}

// The ears stop growing at four sprites and at the activity's cap; characters count as a person counts them.
TEST(PanelGeometryTest, Ears) {
    EXPECT_DOUBLE_EQ(PanelLayout::leftEar(5), PanelLayout::leftEar(4));
    EXPECT_LT(PanelLayout::leftEar(3), PanelLayout::leftEar(4));
    EXPECT_DOUBLE_EQ(PanelLayout::rightEar(QString(200, 'x')), PanelLayout::rightEar(QString(30, 'x')));
    const QString accented = QString(9, 'x') + QString("e\u0301").repeated(9);
    EXPECT_DOUBLE_EQ(PanelLayout::rightEar(accented), PanelLayout::rightEar(QString(18, 'x')));
    EXPECT_LT(PanelLayout::rightEar(QString(18, 'x')), PanelLayout::rightEar(QString(19, 'x')));
}

// Upward coordinates: the screen's top edge is y = 982. The tight area of an empty pill spans x 690…822,
// y 944…982; the open area x 476…1036, y 662…982.
TEST(PanelGeometryTest, HoverHysteresis) {
    const NotchGeometry pill = notch(0, 32);
    const std::tuple<const char*, QPointF, bool, bool> cases[] = {
        {"on the island", {756, 970}, true, true},
        {"100 below the top, 250 right of the middle", {1006, 882}, false, true},
        {"left edge counts", {690, 960}, true, true},
        {"right edge does not", {822, 960}, false, true},
        {"bottom edge counts", {756, 944}, true, true},
        {"top edge does not", {756, 982}, false, false},
        {"open area's left and bottom edges", {476, 662}, false, true},
        {"open area's right edge", {1036, 700}, false, false},
    };
    const QRectF closed = PanelLayout::hotArea(false, 0, "", pill, screen);
    const QRectF open = PanelLayout::hotArea(true, 0, "", pill, screen);
    for (const auto& [name, point, fromClosed, fromOpen] : cases)
        EXPECT_EQ(std::pair(PanelLayout::contains(closed, point), PanelLayout::contains(open, point)),
                  std::pair(fromClosed, fromOpen))
            << name;
}
