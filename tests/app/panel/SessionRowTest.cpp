#include "panel/SessionRow.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "kit/IconButton.h"
#include "kit/StatusChip.h"
#include "panel/ExpandedPane.h"
#include "panel/GateCard.h"
#include "panel/SessionList.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {
// A click where a person would make it: on a label inside, which passes it on to what holds it.
void click(QWidget* widget) {
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, {}, {});
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
}

Vorlix::Event said(const std::string& session, Vorlix::Canonical kind, const std::string& message,
                   const std::string& type = {}) {
    auto e = panelEvent(session, kind, "", "", "/home/dev/" + session);
    e.message = message;
    e.notificationType = type;
    return e;
}
} // namespace

// Each row's chip says what its session asks of the person; a click on a row or on the card's terminal button asks
// for that session's terminal, and when nothing can be brought forward the panel says so.
TEST(SessionRowTest, ChipsSayWhatEachSessionAsksAndClicksGoToItsTerminal) {
    TempHome home;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(1, 0, 0, 10), QTimeZone::utc())};
    SessionStore store{clock};
    QStringList asked;
    TerminalJump::Result outcome{false, TerminalJump::cantBringForward()};
    ExpandedPane pane(store, NotchGeometry::detect(),
                      {{},
                       {},
                       {},
                       [&](const Session& session) {
                           asked << session.id();
                           return outcome;
                       }},
                      clock);
    store.apply(said("shop", Vorlix::Canonical::notification, "Claude needs your permission", "permission_prompt"));
    store.apply(said("api", Vorlix::Canonical::notification, "Claude is waiting for your input", "idle_prompt"));
    store.apply(said("codex-web", Vorlix::Canonical::stop, "Added the totals row to the cart; all 42 tests pass."));
    openPanelGate(store, "infra", "Bash", R"({"command":"rm -rf build"})", "/home/dev/infra");
    store.decide(store.gates().first()->id(), Vorlix::Behavior::deny, SessionStore::Surface::card);
    store.apply(panelEvent("docs", Vorlix::Canonical::preToolUse, "Bash", R"({"command":"make"})", "/home/dev/docs"));
    pane.refresh();
    pane.setAutoFillBackground(true);
    pane.setPalette(QPalette(Qt::black));
    pane.show();
    pane.adjustSize();

    const auto rows = pane.list()->rows();
    ASSERT_EQ(rows.size(), 5);
    QStringList chips;
    for (const SessionRow* row : rows)
        chips << row->findChild<StatusChip*>()->text();
    EXPECT_EQ(chips, (QStringList{"WAITING FOR YOU", "WAITING FOR INPUT", "FINISHED", "DENIED", "ACTIVE"}));
    EXPECT_FALSE(rows[4]->findChild<QLabel*>("agentMessage")->isVisible()) << "a working session has nothing to say";
    click(rows[2]->findChild<QLabel*>("agentMessage"));
    EXPECT_EQ(asked, QStringList{"codex-web"});
    EXPECT_TRUE(pane.notice()->isVisible() && pane.notice()->text() == "Can't bring this terminal forward here");
    const QString artifacts = QStringLiteral(VORLIX_BINARY_DIR "/artifacts");
    QDir().mkpath(artifacts);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pane.grab().save(artifacts + "/panel-attention-chips.png"));

    openPanelGate(store, "docs", "Bash", R"({"command":"npm publish"})", "/home/dev/docs");
    pane.refresh();
    outcome = {true, {}};
    pane.card()->findChild<IconButton*>("goToTerminal")->click();
    EXPECT_EQ(asked, (QStringList{"codex-web", "docs"}));
    EXPECT_FALSE(pane.notice()->isVisible()) << "it worked: the old message goes";
    QCoreApplication::processEvents();
    pane.adjustSize();
    EXPECT_TRUE(pane.grab().save(artifacts + "/panel-card-terminal-button.png"));
}
