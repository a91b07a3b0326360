#include "kit/Palette.h"
#include "kit/TildePath.h"
#include "kit/Type.h"
#include "panel/ContextBar.h"
#include "panel/DetailBox.h"
#include "panel/LineWrap.h"
#include "panel/NotchGeometry.h"
#include "panel/PanelLayout.h"
#include "panel/VictoryLap.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <climits>
#include <gtest/gtest.h>

// Wrapped at a space when there is one, else anywhere, but never just after a hyphen inside a word.
TEST(PanelPartsTest, WrapNeverSplitsAnOption) {
    const QFontMetricsF metrics(Type::bodyMono());
    const double column = metrics.horizontalAdvance(QLatin1Char('x'));
    const QString token = QString(175, QLatin1Char('Q'));
    const struct {
        const char* name;
        QString text;
        int columns;
        QStringList lines;
    } cases[] = {
        {"empty", "", 10, {""}},
        {"at the space before an option",
         "npm ci --no-audit --prefer-offline",
         24,
         {"npm ci --no-audit ", "--prefer-offline"}},
        {"spaces hang past the edge", "rm    -rf", 4, {"rm    ", "-rf"}},
        {"a word longer than the line, cut before its hyphen", "aaaaaaaaa-bbbbbbbb", 10, {"aaaaaaaaa", "-bbbbbbbb"}},
        {"a leading double hyphen stays with its word", "xxxxxxxx --force", 10, {"xxxxxxxx ", "--force"}},
        {"nothing but hyphens: cut where it must", "----------", 4, {"----", "----", "--"}},
        {"a long token wraps whole", "cat " + token, 60, {"cat ", token.left(60), token.mid(60, 60), token.mid(120)}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LineWrap::wrap(c.text, metrics, c.columns * column), c.lines) << c.name;
}

// A box shows whole lines: four at most, or, growing, all its room holds; below the last it says what is left.
TEST(PanelPartsTest, DetailBoxLines) {
    const int line = DetailBox::lineHeight();
    ASSERT_GT(line, 10);
    const auto numbered = [](int count) {
        QStringList lines;
        for (int i = 1; i <= count; ++i)
            lines << QStringLiteral("step %1").arg(i);
        return lines.join(QLatin1Char('\n'));
    };
    const struct {
        const char* name;
        QString detail;
        bool grows;
        int room;
        qsizetype shown;
        QString marker;
    } cases[] = {
        {"empty", "", false, INT_MAX, 1, ""},
        {"ten lines, not growing", numbered(10), false, INT_MAX, 4, "\u2026 6 more lines below"},
        {"ten lines, growing", numbered(10), true, INT_MAX, 10, ""},
        {"forty lines in room for twenty", numbered(40), true, 20 * line + 24, 18, "\u2026 22 more lines below"},
        {"a screen with no room still shows four", numbered(40), true, 10, 4, "\u2026 36 more lines below"},
    };
    for (const auto& c : cases) {
        DetailBox box;
        box.setContent(c.detail, std::nullopt, Palette::card(), c.grows);
        box.setRoom(c.room);
        EXPECT_EQ(box.shownLines(), c.shown) << c.name;
        EXPECT_EQ(box.scrollArea()->height(), c.shown * line + 24) << c.name;
        if (c.shown > DetailBox::maxLines && c.room < INT_MAX) {
            EXPECT_LE(box.height(), c.room) << c.name;
        }
        EXPECT_EQ(box.readToEnd(), c.marker.isEmpty()) << c.name;
        if (!c.marker.isEmpty()) {
            EXPECT_EQ(box.marker(), c.marker) << c.name;
        }
    }

    // A Write over a file: each removed line right above its replacement, reordering controls shown as codes.
    const FileChange write{"/w/a.py", LineDiff::diff("a\nb\u202e\nk", "A\nB\nk")};
    QStringList shown;
    for (const DetailText::Line& l : DetailBox::linesFor("/w/a.py", write, true))
        shown << l.text;
    EXPECT_EQ(shown, (QStringList{"/w/a.py", "\u2212 a", "+ A", "\u2212 b\u27e8U+202E\u27e9", "+ B", "  k"}));
}

TEST(PanelPartsTest, ContextBarCells) {
    const struct {
        ContextUsage usage;
        int lit;
        bool warm;
    } cases[] = {
        {{180000, 200000}, 11, true}, // round(10.8)
        {{100, 0}, 0, false},         // no window to measure against
        {{250000, 200000}, 12, true}, // capped at full
        {{129200, 258400}, 6, false}, // a Codex window: half of its own size, not of 200 000
        {{12500, 200000}, 1, false},  // half a cell rounds up
    };
    for (const auto& c : cases) {
        const double fraction = ContextBar::fractionOf(c.usage);
        EXPECT_EQ(ContextBar::litCells(fraction, ContextBar::segments), c.lit) << c.usage.label().toStdString();
        EXPECT_EQ(ContextBar::nearlyFull(c.usage), c.warm) << c.usage.label().toStdString();
    }
}

// A single spark has no place on the track: nothing divides by zero.
TEST(PanelPartsTest, LapWithOneSpark) {
    EXPECT_TRUE(VictoryLap::sparksAt(0.5, 40, {464, 1.5, 3, 22, 1}).isEmpty());
}

TEST(PanelPartsTest, HomeAsTilde) {
    const struct {
        QString path, home, shown;
    } cases[] = {
        {"/home/dev", "/home/dev", "~"},
        {"/home/dev/work/app", "/home/dev", "~/work/app"},
        {"/home/dev/work/app", "/home/dev/", "~/work/app"},
        {"/home/devtools/app", "/home/dev", "/home/devtools/app"},
        {"/srv/home/dev/app", "/home/dev", "/srv/home/dev/app"},
        {"/tmp/x", "/", "/tmp/x"},
        {"", "/home/dev", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TildePath::shorten(c.path, c.home), c.shown) << c.path.toStdString();
}

namespace {
const QRectF screen(0, 0, 1512, 982);
} // namespace

// Linux reports no housing: the centred pill, 32 high.
TEST(PanelPartsTest, NotchDetection) {
    const NotchGeometry geo = NotchGeometry::detect(nullptr, {screen, 0, std::nullopt, std::nullopt});
    EXPECT_EQ(std::tuple(geo.hasNotch, geo.notchWidth, geo.notchHeight), std::tuple(false, 0.0, 32.0));
    // The panel names its screen; once that screen is unplugged it hangs from the primary one.
    NotchGeometry gone;
    gone.screen = QStringLiteral("HDMI-2");
    EXPECT_EQ(NotchGeometry::frameOf(gone), QGuiApplication::primaryScreen()->geometry());
}

// A long activity cannot stretch the island across the screen.
TEST(PanelPartsTest, EarStopsGrowing) {
    EXPECT_DOUBLE_EQ(PanelLayout::rightEar(QString(200, 'x')), PanelLayout::rightEar(QString(30, 'x')));
}

// Upward coordinates: the screen's top edge is y = 982. The tight area of an empty pill spans x 690…822,
// y 944…982; the open area x 476…1036, y 662…982.
TEST(PanelPartsTest, HoverHysteresis) {
    const NotchGeometry pill; // no housing: the centred pill, 32 high
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
