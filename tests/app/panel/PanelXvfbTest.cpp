#include "AppCore.h"
#include "BridgeProcess.h"
#include "EventLoop.h"
#include "HookPayload.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "kit/FlatButton.h"
#include "panel/DetailBox.h"
#include "panel/GateCard.h"
#include "panel/NotchPanel.h"
#include "panel/QuestionPanel.h"
#include "shell/DesktopShell.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>
#include <xcb/xcb.h>

namespace {

void xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(process.waitForFinished(10000)) << "xdotool (scripts/install-deps.sh) is needed";
    EXPECT_EQ(process.exitCode(), 0);
}

// A real click through the X server at a widget's centre.
void click(const QWidget* widget) {
    const QPoint at = widget->mapToGlobal(widget->rect().center());
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

// The root's children as the server stacks them, bottom first.
QList<WId> stacking() {
    xcb_connection_t* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr), &std::free);
    QList<WId> out;
    if (!tree)
        return out;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        out << children[i];
    return out;
}

struct Island {
    TempHome home;
    SessionStore store;
    NotchPanel panel{store, NotchGeometry::detect(), {}};
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QPoint pointer = screen.bottomLeft();
    Island() {
        panel.pointer = [this] { return pointer; };
        panel.show();
    }
    bool settled() {
        return panel.window().geometry() == panel.window().targetGeometry() && !panel.view().transitioning();
    }
};

} // namespace

// The panel opens by itself for a real bridge's gate and a real click on Allow answers it.
TEST(PanelXvfbTest, AllowOnThePanelReleasesTheBridge) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    TempHome home;
    AppCore core;
    // The shell builds the panel and tells the core a person can answer once it shows.
    DesktopShell shell(core);
    shell.settingsOpener = [] {};
    shell.start();
    ASSERT_TRUE(waitUntil([&] { return shell.panel() != nullptr; }));
    NotchPanel& panel = *shell.panel();
    // Keep the pointer off the island: only the gate may open it.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    panel.pointer = [&] { return screen.bottomLeft(); };
    EXPECT_TRUE(waitUntil([&] { return panel.window().isVisible(); }));

    Running running;
    BridgeProcess::start({VORLIX_BRIDGE_PATH, "--source", "claude"},
                         readFixture("claude/tools/PermissionRequest-Edit.json"), {}, running);
    std::optional<BridgeProcess::Result> result;
    std::thread collector([&] { result = running.finish(30000); });

    ASSERT_TRUE(waitUntil([&] { return panel.view().card() != nullptr; }, 20000));
    EXPECT_FALSE(result.has_value());

    // A real click through the X server: the panel takes clicks although it never takes focus.
    FlatButton* allow = panel.view().card()->allowButton();
    EXPECT_TRUE(waitUntil([&] { return allow->isVisible() && !panel.view().transitioning(); }));
    click(allow);

    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 20000));
    collector.join();
    EXPECT_EQ(result->exitStatus, 0);
    const auto answer = nlohmann::json::parse(result->out, nullptr, false);
    ASSERT_FALSE(answer.is_discarded()) << result->out;
    const auto& decision = answer["hookSpecificOutput"]["decision"];
    EXPECT_EQ(decision["behavior"], "allow");
    // The card sends no message of its own, so the agent hears the bridge's plain wording (not a rule's or phone's).
    EXPECT_EQ(decision["message"], "Approved in Vorlix Agents");
    EXPECT_TRUE(core.store().gates().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return panel.view().card() == nullptr; }));
    core.shutdown();
}

// Without a compositor the window keeps the island's outline instead of a black rectangle.
TEST(PanelXvfbTest, RaisedAboveLaterWindowsAndCutToTheIsland) {
    Island island;
    QWidget cover;
    cover.setGeometry(island.screen.center().x() - 400, island.screen.top(), 800, 500);
    cover.show();
    ASSERT_TRUE(waitUntil([&] { return cover.windowHandle()->isExposed(); }));
    const auto above = [&](WId upper, WId lower) {
        const QList<WId> order = stacking();
        return order.indexOf(upper) > order.indexOf(lower) && order.indexOf(lower) >= 0;
    };
    ASSERT_TRUE(waitUntil([&] { return above(cover.winId(), island.panel.window().winId()); }));

    openPanelGate(island.store, "s1", "Bash", R"({"command":"rm -rf build"})");
    EXPECT_TRUE(waitUntil([&] { return above(island.panel.window().winId(), cover.winId()); }));
    ASSERT_TRUE(waitUntil([&] { return island.settled(); }));
    EXPECT_TRUE(island.panel.window().shaped());
    const QRegion mask = island.panel.window().mask();
    const QSize size = island.panel.window().size();
    EXPECT_TRUE(mask.contains(QPoint(size.width() / 2, size.height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(size.width() / 2, 0)));
    for (const QPoint corner : {QPoint(2, size.height() - 2), QPoint(size.width() - 3, size.height() - 2),
                                QPoint(1, 10), QPoint(size.width() - 2, 10)})
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
}

// Opening and closing, every frame stays centred at the top and never wider than the open island.
TEST(PanelXvfbTest, OpensAboutTheCentreWithNoExcess) {
    Island island;
    ASSERT_TRUE(waitUntil([&] { return island.settled(); }));
    QList<QRect> frames;
    int moves = 0;
    QObject::connect(&island.panel.window(), &NotchWindow::moving, [&] {
        frames.clear();
        ++moves;
    });
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { frames << island.panel.window().geometry(); });
    sampler.start(5);
    for (const bool open : {true, false}) {
        const int before = moves;
        island.pointer = open ? QPoint(island.screen.center().x(), island.screen.top()) : island.screen.bottomLeft();
        island.panel.trackHover();
        ASSERT_TRUE(waitUntil([&] { return moves > before && frames.size() > 10 && island.settled(); }));
        for (const QRect& frame : std::as_const(frames)) {
            EXPECT_LE(std::abs(frame.center().x() - island.screen.center().x()), 1) << frame.x() << " " << open;
            EXPECT_LE(frame.width(), 524);
            EXPECT_EQ(frame.top(), island.screen.top());
        }
    }
}

// A critical command longer than the screen: Allow ignores a real click until the wheel has shown its last line.
TEST(PanelXvfbTest, AllowWaitsUntilTheEndIsInView) {
    Island island;
    QString command = QStringLiteral("set -e");
    for (int i = 1; i < 80; ++i)
        command += QStringLiteral("\\ncp build/part-%1.tar /srv/backup/").arg(i);
    command += QStringLiteral("\\nrm -rf ~/projects/shop-legacy");
    const auto box = openPanelGate(island.store, "s1", "Bash", "{\"command\":\"" + command.toStdString() + "\"}");
    ASSERT_TRUE(waitUntil([&] { return island.panel.view().card() != nullptr && island.settled(); }));
    GateCard* card = island.panel.view().card();
    DetailBox* detail = card->detailBox();
    EXPECT_GT(detail->shownLines(), DetailBox::maxLines);
    EXPECT_GT(detail->linesBelow(), 0);
    EXPECT_LE(island.panel.window().geometry().bottom(), island.screen.bottom());
    EXPECT_FALSE(card->allowButton()->isEnabled());
    QDir().mkpath(QStringLiteral(VORLIX_BINARY_DIR "/artifacts"));
    island.panel.window().grab().save(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/panel-card-critical-long.png"));

    click(card->allowButton());
    waitUntil([] { return false; }, 300);
    EXPECT_TRUE(box->isOpen());

    const QPoint over = detail->mapToGlobal(detail->rect().center());
    xdotool({QStringLiteral("mousemove"), QString::number(over.x()), QString::number(over.y())});
    for (int i = 0; i < 60 && !detail->readToEnd(); ++i) {
        xdotool({QStringLiteral("click"), QStringLiteral("5")});
        waitUntil([] { return false; }, 20);
    }
    ASSERT_TRUE(detail->readToEnd());
    EXPECT_EQ(detail->linesBelow(), 0);
    EXPECT_TRUE(card->allowButton()->isEnabled());
    click(card->allowButton());
    ASSERT_TRUE(waitUntil([&] { return !box->isOpen(); }));
    EXPECT_EQ(box->decision()->behavior, Vorlix::Behavior::allow);
}

// Questions with their options as buttons (one of several choices) answered with real clicks; a plan from the real
// transcript's plan file on its card, with its own label.
TEST(PanelXvfbTest, QuestionAndPlanCards) {
    Island island;
    QDir().mkpath(QStringLiteral(VORLIX_BINARY_DIR "/artifacts"));
    const auto box = openPanelGate(
        island.store, "s1", "AskUserQuestion",
        R"({"questions":[{"question":"Which database should the service use?","header":"Database",)"
        R"("multiSelect":false,"options":[{"label":"PostgreSQL","description":"Relational, already used by billing"},)"
        R"({"label":"SQLite","description":"Embedded, zero setup"}]},{"question":"Which checks run on every push?",)"
        R"("header":"CI","multiSelect":true,"options":[{"label":"lint"},{"label":"tests"},{"label":"docs"}]}]})");
    ASSERT_TRUE(waitUntil([&] { return island.panel.view().card() != nullptr && island.settled(); }));
    QuestionPanel* questions = island.panel.view().card()->questionPanel();
    for (const auto& [q, o] : {std::pair(0, 1), std::pair(1, 0), std::pair(1, 2)})
        click(questions->optionButtons()[q][o]);
    ASSERT_TRUE(waitUntil([&] { return questions->sendButton()->isEnabled(); }));
    island.panel.window().grab().save(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/gate-card-question.png"));
    click(questions->sendButton());
    ASSERT_TRUE(waitUntil([&] { return !box->isOpen(); }));
    EXPECT_EQ(box->decision()->updatedInput->toJson()["answers"],
              (nlohmann::json{{"Which database should the service use?", "SQLite"},
                              {"Which checks run on every push?", "lint, docs"}}));

    // The real plan-mode transcript, its plan file written where it says.
    const QString plan = QString::fromStdString(island.home.path()) + "/plan.md";
    const QString transcript = QString::fromStdString(island.home.path()) + "/session.jsonl";
    TestFiles::write(transcript,
                     QByteArray::fromStdString(readFixture("claude/plan/transcript.jsonl"))
                         .replace("/home/dev/.claude/plans/please-create-the-marker-purring-ripple.md", plan.toUtf8()));
    TestFiles::write(plan, "# Marker file\n\n1. Create `marker.txt` with \"hi\".\n2. Check it exists.\n");
    auto request = Vorlix::HookPayload::event(
        *JSONValue::parse(readFixture("claude/plan/PermissionRequest-ExitPlanMode.json")), Vorlix::Source::claude,
        [](const char*) { return std::optional<std::string>(); }, "plan", {}, 0);
    request.transcriptPath = transcript.toStdString();
    const auto planBox = std::make_shared<GateBox>();
    island.store.openGate(request, planBox);
    ASSERT_TRUE(waitUntil([&] { return island.panel.view().card() != nullptr && island.settled(); }));
    GateCard* card = island.panel.view().card();
    EXPECT_EQ(island.store.gateWithId(card->gateId())->detail(),
              "# Marker file\n\n1. Create `marker.txt` with \"hi\".\n2. Check it exists.");
    EXPECT_TRUE(card->detailBox()->isVisibleTo(card));
    EXPECT_FALSE(card->questionPanel()->isVisibleTo(card));
    island.panel.window().grab().save(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/gate-card-plan.png"));
    click(card->allowButton());
    ASSERT_TRUE(waitUntil([&] { return !planBox->isOpen(); }));
    EXPECT_EQ(planBox->decision()->behavior, Vorlix::Behavior::allow);
    EXPECT_EQ(planBox->decision()->updatedInput->toJson(), nlohmann::json::object()) << "the agent wants it given back";
}
