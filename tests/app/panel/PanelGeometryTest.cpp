#include "panel/IslandShape.h"
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

TEST(PanelGeometryTest, Ears) {
    // Room for the sprites themselves (18 each, 7 apart) and 12 of margin: four need 105, not less.
    const std::pair<qsizetype, double> lefts[] = {{0, 46}, {1, 46}, {2, 55}, {3, 80}, {4, 105}, {5, 105}};
    for (const auto& [count, left] : lefts)
        EXPECT_DOUBLE_EQ(PanelLayout::leftEar(count), left) << count;

    const std::pair<QString, double> rights[] = {
        {"", 46},
        {"Ls", 46},
        {QString(18, 'x'), 142.8},
        {QString(30, 'x'), 150},
        {QString(200, 'x'), 150},
        // Characters as a person counts them: an accented letter made of two code points counts once.
        {QString(9, 'x') + QString(9, QChar(0x65)).replace(QStringLiteral("e"), QStringLiteral("e\u0301")), 142.8},
    };
    for (const auto& [activity, right] : rights)
        EXPECT_NEAR(PanelLayout::rightEar(activity), right, 1e-9) << activity.toStdString();
}

TEST(PanelGeometryTest, SizesAndPlacement) {
    const QString activity18(18, 'x');
    const std::tuple<const char*, NotchGeometry, bool, qsizetype, QString, double, QRectF> cases[] = {
        // 46 + 200 + 142.8 + 16 wide, the notch 54 from the left edge, centred on the screen's middle.
        {"collapsed round a notch", notch(200, 37), false, 1, activity18, 0, {756 - 100 - 54, 945, 404.8, 37}},
        {"collapsed pill", notch(0, 32), false, 0, "", 0, {756 - 54, 950, 108, 32}},
        {"collapsed, five sessions", notch(0, 32), false, 5, "", 0, {756 - 113, 950, 167, 32}},
        {"expanded, content taller", notch(185, 37), true, 2, "x", 300, {756 - 262, 682, 524, 300}},
        {"expanded, content short", notch(185, 37), true, 2, "x", 50, {756 - 262, 905, 524, 77}},
        {"expanded pill", notch(0, 32), true, 0, "", 0, {756 - 262, 910, 524, 72}},
    };
    for (const auto& [name, geo, expanded, count, activity, measured, frame] : cases) {
        const auto target = PanelLayout::target(expanded, count, activity, geo, measured);
        EXPECT_EQ(target.notchLeading.has_value(), !expanded) << name;
        EXPECT_EQ(PanelLayout::frame(target, geo, screen), frame) << name; // compares fuzzily
    }
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

TEST(PanelGeometryTest, IslandOutline) {
    const std::tuple<const char*, bool, QSizeF, double, double> radii[] = {
        {"expanded", true, {524, 300}, 12, 22},
        {"30 wide: shoulders take half the width", false, {30, 32}, 7.5, 7.5},
        {"short", true, {524, 20}, 12, 10},
    };
    for (const auto& [name, expanded, size, shoulder, bottom] : radii) {
        const auto r = IslandShape{0, 32, expanded}.radii(size);
        EXPECT_EQ(std::pair(r.shoulder, r.bottom), std::pair(shoulder, bottom)) << name;
    }

    // Collapsed, 100 × 40: shoulders of 8 curve out into the top edge, bottom corners of 11 round inward.
    const QPainterPath path = IslandShape{0, 32, false}.path(QRectF(0, 0, 100, 40));
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 100, 40));
    const std::pair<QPointF, bool> points[] = {
        {{4, 0.5}, true},    // the shoulder widens towards the top edge
        {{1, 0.5}, false},   // but meets it only at the corner
        {{1, 7}, false},     // beside the tab, below the concave shoulder
        {{9, 20}, true},     // just inside the tab's side
        {{7, 20}, false},    // just outside it
        {{9.5, 39}, false},  // cut off by the bottom-left corner
        {{90.5, 39}, false}, // and the bottom-right one
        {{50, 39.5}, true},  // the bottom edge between them
    };
    for (const auto& [point, inside] : points)
        EXPECT_EQ(path.contains(point), inside) << point.x() << "," << point.y();
}
