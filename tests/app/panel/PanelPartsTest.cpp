#include "kit/Palette.h"
#include "kit/TildePath.h"
#include "panel/ContextBar.h"
#include "panel/DetailBox.h"
#include "panel/NotchView.h"
#include "panel/VictoryLap.h"

#include <gtest/gtest.h>

TEST(PanelPartsTest, DetailBoxHeight) {
    const int line = DetailBox::lineHeight();
    ASSERT_GT(line, 10);
    const FileChange edit{"/w/a.py", LineDiff::diff("TIMEOUT = 30\nRETRIES = 3", "TIMEOUT = 60\nRETRIES = 5")};
    const FileChange oneLine{"/w/a.py", LineDiff::diff("a", "b")};
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QStringLiteral("line %1").arg(i);
    const struct {
        const char* name;
        QString text;
        int lines;
    } cases[] = {
        {"empty shows (no arguments)", DetailBox::shownText("", std::nullopt), 1},
        {"one line", DetailBox::shownText("ls -la", std::nullopt), 1},
        {"ten lines scroll after four", DetailBox::shownText(ten.join('\n'), std::nullopt), 4},
        {"a long line wraps at 440", DetailBox::shownText(QString(90, 'x'), std::nullopt), 2},
        {"path and a two-line diff", DetailBox::shownText("/w/a.py", oneLine), 3},
        {"path and a four-line diff", DetailBox::shownText("/w/a.py", edit), 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetailBox::heightFor(c.text), line * c.lines + 24) << c.name;
    EXPECT_EQ(DetailBox::shownText("", std::nullopt), "(no arguments)");
}

TEST(PanelPartsTest, ContextBarCells) {
    const struct {
        ContextUsage usage;
        int lit;
        bool warm;
    } cases[] = {
        {{180000, 200000}, 11, true}, // round(10.8)
        {{100, 0}, 0, false},         // no window to measure against
        {{170000, 200000}, 10, false},
        {{250000, 200000}, 12, true},        // capped at full
        {{129200, 258400}, 6, false},        // a Codex window: half of its own size, not of 200 000
        {{int64_t{5000}, 200000}, 0, false}, // 0.3 of a cell rounds down
        {{12500, 200000}, 1, false},         // exactly half a cell rounds up
    };
    for (const auto& c : cases) {
        const double fraction = ContextBar::fractionOf(c.usage);
        EXPECT_EQ(ContextBar::litCells(fraction, ContextBar::segments), c.lit) << c.usage.label().toStdString();
        EXPECT_EQ(ContextBar::nearlyFull(c.usage), c.warm) << c.usage.label().toStdString();
        for (int i = 0; i < ContextBar::segments; ++i) {
            const QColor expected = i >= c.lit ? QColor::fromRgbF(1, 1, 1, 0.10f)
                                    : c.warm   ? Palette::caution()
                                               : Palette::accent();
            EXPECT_EQ(ContextBar::cellColor(i, fraction, ContextBar::segments), expected) << i;
        }
    }
}

TEST(PanelPartsTest, LapPositions) {
    const VictoryLap::Params lap;
    const struct {
        double p;
        double x, y;
        QList<int> sparks; // which of the 20 are alive
    } cases[] = {
        {0, 0, 0, {}},
        {0.5, 221, -7, {4, 5, 6, 7, 8, 9}},
        {1, 442, 0, {14, 15, 16, 17, 18}},
    };
    for (const auto& c : cases) {
        const QPointF at = VictoryLap::creatureOffset(c.p, lap);
        EXPECT_NEAR(at.x(), c.x, 1e-9) << c.p;
        EXPECT_NEAR(at.y(), c.y, 1e-9) << c.p;
        const auto sparks = VictoryLap::sparksAt(c.p, VictoryLap::height, lap);
        QList<int> alive;
        for (const auto& spark : sparks)
            alive << spark.index;
        EXPECT_EQ(alive, c.sparks) << c.p;
    }
    // The first spark: fresh and green, its high square lifted by its freshness.
    const auto first = VictoryLap::sparksAt(0.01, 40, lap);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].color, Palette::positive());
    EXPECT_NEAR(first[0].high.y(), 20 - 5 * (1 - 0.01 / 0.3), 1e-9);
    // It lives for 0.3 of the run; a single spark has no place on the track and never shows.
    EXPECT_EQ(VictoryLap::sparksAt(0.299, 40, lap).constFirst().index, 0);
    EXPECT_NE(VictoryLap::sparksAt(0.3, 40, lap).constFirst().index, 0);
    EXPECT_TRUE(VictoryLap::sparksAt(0.5, 40, {464, 1.5, 3, 22, 1}).isEmpty());
    EXPECT_DOUBLE_EQ(VictoryLap::progress(-1, 1.5), 0);
    EXPECT_DOUBLE_EQ(VictoryLap::progress(0.75, 1.5), 0.5);
    EXPECT_DOUBLE_EQ(VictoryLap::progress(9, 1.5), 1);
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

// The view's transitions: start at rest, overshoot a little once (damping 0.82), end exactly in place.
TEST(PanelPartsTest, SpringSettles) {
    EXPECT_DOUBLE_EQ(NotchView::spring(0), 0);
    EXPECT_DOUBLE_EQ(NotchView::spring(1), 1);
    EXPECT_GT(NotchView::spring(0.6), 1) << "a little past the goal before it settles";
    EXPECT_LT(NotchView::spring(0.6), 1.02);
    EXPECT_NEAR(NotchView::spring(0.999), 1, 0.002);
}
