#include "panel/NotchPanel.h"
#include "EventLoop.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "kit/FlatButton.h"
#include "kit/IconButton.h"
#include "kit/StatusChip.h"
#include "kit/TickBox.h"
#include "panel/DetailBox.h"
#include "panel/ExpandedPane.h"
#include "panel/GateCard.h"
#include "panel/SessionList.h"
#include "panel/SessionRow.h"
#include "sprites/SpriteView.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

struct Fixture {
    TempHome home;
    // Mid-frame for every kind, so screenshots never catch a sprite on a frame boundary.
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(1, 0, 0, 10), QTimeZone::utc())};
    SessionStore store{clock};
    // The sessions whose terminal a row or the card asked for, and what the jump answers.
    QStringList asked;
    TerminalJump::Result outcome{false, TerminalJump::cantBringForward()};
    NotchPanel panel{store, NotchGeometry::detect(), {{}, {}, {}, [this](const Session& s) { return jump(s); }}, clock};

    QPoint pointer{0, 900};
    TerminalJump::Result jump(const Session& session) {
        asked << session.id();
        return outcome;
    }
    Fixture() {
        panel.pointer = [this] { return pointer; };
    }

    // The loop runs, so hovering follows the pointer: on the island's top row, or far below it.
    void hover(bool on) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        pointer = on ? QPoint(screen.center().x(), screen.top()) : QPoint(screen.left(), screen.bottom());
        panel.trackHover();
        ASSERT_EQ(panel.island().hovering(), on);
    }

    Session* session(const std::string& id, const std::string& cwd, const QString& activity, SpriteKind state) {
        store.apply(panelEvent(id, Vorlix::Canonical::sessionStart, "", "", cwd));
        Session* s = store.sessionWithId(QString::fromStdString(id));
        s->setActivity(activity);
        s->setState(state);
        return s;
    }

    void said(const std::string& id, Vorlix::Canonical kind, const std::string& message, const std::string& type = {}) {
        auto e = panelEvent(id, kind, "", "", "/home/dev/" + id);
        e.message = message;
        e.notificationType = type;
        store.apply(e);
    }

    // Lays the island out for the store's state as the loop would, the measured height included.
    void settle() {
        for (int i = 0; i < 3; ++i) {
            panel.view().refreshNow();
            QCoreApplication::processEvents();
            panel.resize();
        }
        waitUntil([&] {
            return panel.window().geometry() == panel.window().targetGeometry() && !panel.view().transitioning();
        });
        QCoreApplication::processEvents();
    }

    void shot(const QString& name) {
        settle();
        const QString dir = QStringLiteral(VORLIX_BINARY_DIR "/artifacts");
        QDir().mkpath(dir);
        EXPECT_TRUE(panel.window().grab().save(dir + "/panel-" + name + ".png")) << name.toStdString();
    }

    qsizetype visibleSprites() {
        const auto sprites = panel.view().findChildren<SpriteView*>();
        return std::count_if(sprites.begin(), sprites.end(),
                             [&](const SpriteView* sprite) { return sprite->isVisibleTo(&panel.view()); });
    }

    QStringList texts() {
        QStringList out;
        for (const QLabel* label : panel.view().findChildren<QLabel*>())
            if (label->isVisibleTo(&panel.view()))
                out << label->text();
        return out;
    }
};

// A click where a person would make it: on a label inside, which passes it on to what holds it.
void click(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, {}, {});
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

} // namespace

// The loop animates only on a change; then every state of the panel, saved for a person to look at.
TEST(NotchPanelTest, SizingAndScreenshots) {
    Fixture f;
    f.panel.show();
    EXPECT_EQ(f.panel.window().animations(), 1);
    EXPECT_FALSE(f.panel.resize());
    EXPECT_EQ(f.panel.window().animations(), 1);

    // The pointer on the island's top pixel row opens it; the loop then sizes it once.
    f.hover(true);
    EXPECT_TRUE(f.panel.resize());
    EXPECT_FALSE(f.panel.resize());
    f.shot("expanded-0");
    f.hover(false);
    f.shot("collapsed-0");
    EXPECT_EQ(f.visibleSprites(), 0);

    f.session("a", f.home.path() + "/work/shop", "Editing cart.ts", SpriteKind::writing)
        ->setContext(ContextUsage{180000, 200000});
    f.session("b", "/srv/clients/shop", "Running tests", SpriteKind::shell)->setContext(ContextUsage{129200, 258400});
    f.session("codex-c", f.home.path(), "Thinking", SpriteKind::thinking);
    f.session("d", "/tmp/scratch", "Done", SpriteKind::done);
    f.session("e", "/tmp/other", "Waiting", SpriteKind::question);
    f.shot("collapsed-5");
    EXPECT_EQ(f.visibleSprites(), 4);

    f.hover(true);
    f.shot("expanded-list");
    EXPECT_EQ(f.panel.view().findChildren<SessionRow*>().size(), 5);
    EXPECT_TRUE(f.texts().contains("two agents editing shop"));
    f.hover(false);

    // A reordering control in the command shows as its code.
    openPanelGate(f.store, "a", "Bash", "{\"command\":\"npm test -- --grep 'done \u202e;x'\"}",
                  f.home.path() + "/work/shop");
    f.panel.view().refreshNow();
    // A trivial-or-normal request offers the rule; tick it for the picture.
    f.panel.view().card()->alwaysAllowBox()->setChecked(true);
    f.shot("card-normal");
    f.panel.view().card()->denyButton()->click();

    // A critical script shows whole, its destructive tail included; Deny is the emphasised answer.
    const char* script = R"({"command":"set -e\ncd ~/projects/shop\ngit pull --rebase\nnpm ci --no-audit )"
                         R"(--prefer-offline\nnpm run lint\nnpm test -- --watch=false\nnpm run build\n)"
                         R"(rsync -a --delete dist/ /var/www/shop/\ncp -r dist/* /var/www/shop/\n)"
                         R"(rm -rf ~/projects/shop-legacy\ngit push --force origin main\necho deployed"})";
    openPanelGate(f.store, "b", "Bash", script, "/srv/clients/shop");
    f.shot("card-critical-12-lines");
    GateCard* card = f.panel.view().card();
    EXPECT_EQ(card->detailBox()->shownLines(), 12);
    EXPECT_TRUE(card->allowButton()->isEnabled());
    EXPECT_TRUE(card->denyButton()->filled());
    EXPECT_FALSE(card->allowButton()->filled());
    card->denyButton()->click();

    // A long token wraps inside the box (the wrap itself is the parts test's).
    const QString token = QString(175, QLatin1Char('A')).replace(7, 9, QStringLiteral("x9+/Zq-Kp"));
    openPanelGate(f.store, "b", "Bash",
                  R"({"command":"curl -sH 'Authorization: Bearer )" + token.toStdString() +
                      R"(' https://api.example.com/v1/deploy"})",
                  "/srv/clients/shop");
    f.shot("card-long-token");
    f.panel.view().card()->denyButton()->click();

    // A Write over a file on disk shows what it replaces, then "+1 more waiting" for a second gate behind it.
    const QString notes = QString::fromStdString(f.home.path()) + QStringLiteral("/work/shop/notes.md");
    TestFiles::write(notes, "# Plan\n\n1. Parse the config\n2. Check fields\n3. Write the report\n");
    openPanelGate(f.store, "a", "Write",
                  R"({"file_path":")" + notes.toStdString() +
                      R"(","content":"# Plan\n\n1. Parse the config\n2. Validate fields\n3. Write the report\n"})",
                  f.home.path() + "/work/shop");
    f.shot("card-write-diff");
    openPanelGate(f.store, "b", "Bash", R"({"command":"ls"})", "/srv/clients/shop");
    f.shot("card-more-waiting");
    EXPECT_TRUE(f.texts().contains("+1 more waiting"));
    for (int i = 0; i < 2; ++i) {
        f.panel.view().refreshNow();
        f.panel.view().card()->allowButton()->click();
    }

    // A finish runs the lap, then the island closes again.
    f.store.apply(panelEvent("a", Vorlix::Canonical::stop, "", ""));
    f.settle();
    ASSERT_NE(f.panel.view().lap(), nullptr);
    f.clock.advance(0.75);
    f.shot("victory-lap");
    EXPECT_TRUE(waitUntil([&] { return !f.panel.island().open(); }, 5000));
}

// Each row's chip says what its session asks of the person; a click on a row or on the card's terminal button asks
// for that session's terminal, and when nothing can be brought forward the panel says so.
TEST(NotchPanelTest, ChipsSayWhatEachSessionAsksAndClicksGoToItsTerminal) {
    Fixture f;
    f.panel.show();
    f.said("shop", Vorlix::Canonical::notification, "Claude needs your permission", "permission_prompt");
    f.said("api", Vorlix::Canonical::notification, "Claude is waiting for your input", "idle_prompt");
    f.said("codex-web", Vorlix::Canonical::stop, "Added the totals row to the cart; all 42 tests pass.");
    openPanelGate(f.store, "infra", "Bash", R"({"command":"rm -rf build"})", "/home/dev/infra");
    f.store.decide(f.store.gates().first()->id(), Vorlix::Behavior::deny, SessionStore::Surface::card);
    f.store.apply(panelEvent("docs", Vorlix::Canonical::preToolUse, "Bash", R"({"command":"make"})", "/home/dev/docs"));
    f.hover(true);
    f.settle();

    const ExpandedPane& pane = f.panel.view().pane();
    const auto rows = pane.list()->rows();
    ASSERT_EQ(rows.size(), 5);
    QStringList chips;
    for (const SessionRow* row : rows)
        chips << row->findChild<StatusChip*>()->text();
    EXPECT_EQ(chips, (QStringList{"WAITING FOR YOU", "WAITING FOR INPUT", "FINISHED", "DENIED", "ACTIVE"}));
    EXPECT_FALSE(rows[4]->findChild<QLabel*>("agentMessage")->isVisible()) << "a working session has nothing to say";
    click(rows[2]->findChild<QLabel*>("agentMessage"));
    EXPECT_EQ(f.asked, QStringList{"codex-web"});
    EXPECT_TRUE(pane.notice()->isVisible() && pane.notice()->text() == "Can't bring this terminal forward here");
    f.shot("attention-chips");

    openPanelGate(f.store, "docs", "Bash", R"({"command":"npm publish"})", "/home/dev/docs");
    f.panel.view().refreshNow();
    f.outcome = {true, {}};
    f.panel.view().card()->findChild<IconButton*>("goToTerminal")->click();
    EXPECT_EQ(f.asked, (QStringList{"codex-web", "docs"}));
    EXPECT_FALSE(pane.notice()->isVisible()) << "it worked: the old message goes";
    f.shot("card-terminal-button");
}
