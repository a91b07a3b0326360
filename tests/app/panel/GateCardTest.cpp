#include "panel/GateCard.h"
#include "EventLoop.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "kit/FlatButton.h"
#include "kit/TickBox.h"
#include "panel/BossBanner.h"
#include "panel/NotchView.h"
#include "panel/QuestionPanel.h"
#include "support/Clock.h"

#include "BridgeProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

struct Panel {
    TempHome home;
    ManualClock clock;
    SessionStore store{clock};
    QStringList taught;
    IslandState island{store};
    NotchView view{
        store, island, NotchGeometry{}, {{}, {}, [this](const Gate& gate) { taught << gate.detail(); }}, clock};

    GateCard* card() {
        view.refreshNow();
        return view.card();
    }
};

} // namespace

TEST(GateCardTest, Answers) {
    const char* edit = R"({"file_path":"/home/dev/work/a.py","old_string":"a","new_string":"b"})";
    enum Press { deny, allow, session };
    const struct {
        const char* name;
        const char* tool;
        const char* input;
        bool offersTick, offersSession, banner, tick;
        Press press;
        Vorlix::Behavior expected;
        bool teaches;
    } cases[] = {
        {"normal, allowed", "Edit", edit, true, true, false, false, allow, Vorlix::Behavior::allow, false},
        {"normal, ticked, allowed", "Edit", edit, true, true, false, true, allow, Vorlix::Behavior::allow, true},
        {"ticked but denied", "Edit", edit, true, true, false, true, deny, Vorlix::Behavior::deny, false},
        {"elevated, for this session", "Bash", R"({"command":"git push origin main"})", false, true, false, false,
         session, Vorlix::Behavior::allow, false},
        {"critical", "Bash", R"({"command":"rm -rf build"})", false, false, true, false, deny, Vorlix::Behavior::deny,
         false},
    };
    for (const auto& c : cases) {
        Panel panel;
        const auto box = openPanelGate(panel.store, "s1", c.tool, c.input);
        GateCard* card = panel.card();
        ASSERT_NE(card, nullptr) << c.name;
        EXPECT_EQ(card->alwaysAllowBox() != nullptr, c.offersTick) << c.name;
        EXPECT_EQ(card->sessionAllowButton() != nullptr, c.offersSession) << c.name;
        EXPECT_EQ(!card->findChild<BossBanner*>()->isHidden(), c.banner) << c.name;
        if (c.tick)
            card->alwaysAllowBox()->setChecked(true);
        if (c.press == allow && !c.tick) {
            panel.view.resize(panel.view.width(), 480);
            panel.view.show();
            waitUntil([&] { return !panel.view.transitioning(); });
            QDir().mkpath(VORLIX_BINARY_DIR "/artifacts");
            EXPECT_TRUE(panel.view.grab().save(VORLIX_BINARY_DIR "/artifacts/gate-card-session.png"));
        }
        // The rule must exist before the agent hears the answer.
        bool decidedBeforeTeaching = false;
        const QMetaObject::Connection probe = QObject::connect(&panel.store, &SessionStore::gatesChanged,
                                                               [&] { decidedBeforeTeaching = panel.taught.isEmpty(); });
        FlatButton* const buttons[] = {card->denyButton(), card->allowButton(), card->sessionAllowButton()};
        buttons[c.press]->click();
        QObject::disconnect(probe);
        ASSERT_TRUE(box->decision()) << c.name;
        EXPECT_EQ(box->decision()->behavior, c.expected) << c.name;
        EXPECT_EQ(panel.taught.size(), c.teaches ? 1 : 0) << c.name;
        EXPECT_EQ(panel.store.sessionRules().rules().size(), c.press == session ? 1 : 0) << c.name;
        EXPECT_FALSE(c.teaches && decidedBeforeTeaching) << c.name;
        EXPECT_EQ(panel.card(), nullptr) << c.name;
    }
}

// Gates from A, B, A: oldest first (each Deny answers the box expected), and each new card starts unticked.
TEST(GateCardTest, QueueOrder) {
    Panel panel;
    const auto a1 = openPanelGate(panel.store, "a", "Bash", R"({"command":"ls"})");
    const auto b = openPanelGate(panel.store, "b", "Bash", R"({"command":"ls /tmp"})", "/home/dev/other");
    const auto a2 = openPanelGate(panel.store, "a", "Bash", R"({"command":"ls /var"})");

    for (const auto& box : {a1, b, a2}) {
        GateCard* card = panel.card();
        ASSERT_NE(card, nullptr);
        EXPECT_FALSE(card->alwaysAllowBox()->isChecked());
        card->alwaysAllowBox()->setChecked(true);
        // A change elsewhere keeps the card, and its tick.
        panel.island.setHovering(!panel.island.hovering());
        EXPECT_EQ(panel.card(), card);
        EXPECT_TRUE(card->alwaysAllowBox()->isChecked());
        card->denyButton()->click();
        EXPECT_TRUE(box->decision());
    }
}

// A lone single-choice question is answered by its option alone; "Answer in the terminal" sends nothing.
TEST(GateCardTest, AQuestionIsAnsweredByItsOptions) {
    const std::string asked =
        nlohmann::json::parse(readFixture("claude/tools/PermissionRequest-AskUserQuestion.json"))["tool_input"].dump();
    for (const bool toTerminal : {false, true}) {
        Panel panel;
        const auto box = openPanelGate(panel.store, "s1", "AskUserQuestion", asked);
        QuestionPanel* questions = panel.card()->questionPanel();
        ASSERT_TRUE(questions->isVisibleTo(panel.card()));
        EXPECT_FALSE(panel.card()->allowButton()->isVisibleTo(panel.card()) ||
                     questions->sendButton()->isVisibleTo(panel.card()));
        (toTerminal ? questions->terminalButton() : questions->optionButtons()[0][1])->click();
        EXPECT_FALSE(box->isOpen());
        const nlohmann::json answered{{"Which database should the service use?", "SQLite"}};
        EXPECT_EQ(box->decision() ? box->decision()->updatedInput->toJson()["answers"] : nlohmann::json(),
                  toTerminal ? nlohmann::json() : answered);
    }
}
