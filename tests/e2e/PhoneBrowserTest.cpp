// A real browser on the phone page: headless Chromium, driven over its DevTools pipe, answers gates held by real
// bridge processes.
#include "BridgeProcess.h"
#include "EventLoop.h"
#include "HeadlessBrowser.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "hookserver/GateBox.h"
#include "hookserver/Server.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

/// A real bridge holding a gate for the command, asked as the agent's own payload asks.
std::unique_ptr<QProcess> startBridge(const QString& source, const std::string& command) {
    json payload = json::parse(readFixture(source.toStdString() + "/PermissionRequest.json"));
    payload["tool_input"]["command"] = command;
    auto bridge = std::make_unique<QProcess>();
    bridge->start(QStringLiteral(VORLIX_BRIDGE_PATH), {"--source", source});
    bridge->write(QByteArray::fromStdString(payload.dump()));
    bridge->closeWriteChannel();
    return bridge;
}

// A long critical one-line command from Claude Code above a normal one from Codex: the whole command shows,
// wrapped; a third gate joins the open page without a reload or a jump; then the cards are tapped away.
TEST(PhoneBrowserTest, WholeCommandsLivePageAndTaps) {
    // The engine's side as the application wires it: store, hook socket server and phone server.
    TempHome home;
    SessionStore store;
    Server server(&store);
    ASSERT_NO_THROW(server.start());
    RemoteApproval remote(TestFiles::freePort());
    remote.setStore(&store);
    remote.onDecision = [&store](const QString& id, Vorlix::Behavior behavior) {
        store.decide(id, behavior, SessionStore::Surface::phone);
    };
    remote.onAllowForSession = [&store](const QString& id) { store.allowForSession(id, SessionStore::Surface::phone); };
    remote.enable();
    ASSERT_TRUE(remote.enabled()) << remote.lastErrorText().toStdString();
    HeadlessBrowser browser;
    ASSERT_TRUE(browser.error().empty()) << browser.error();

    // One line of about 1 200 characters with a 175-character token in it, the destructive part at its end.
    std::string longCommand = "set -e; npm ci --no-audit --prefer-offline; AUTH=" + std::string(175, 'Q') + "; ";
    while (longCommand.size() < 1100)
        longCommand += "cp -r dist/assets/* /var/www/shop/static/; ";
    longCommand += "rm -rf ~/projects/shop-legacy && git push --force origin main";
    std::vector<std::unique_ptr<QProcess>> bridges; // one at a time, so the cards come in this order
    for (const auto& [source, command] :
         {std::pair{"claude", longCommand}, std::pair{"codex", std::string("npm test -- --watch=false")}}) {
        bridges.push_back(startBridge(source, command));
        ASSERT_TRUE(waitUntil([&] { return std::size_t(store.gates().size()) == bridges.size(); }, 30000));
    }
    const auto session =
        browser.open(QStringLiteral("http://127.0.0.1:%1/?t=%2").arg(remote.port()).arg(remote.token()));
    ASSERT_TRUE(session) << browser.error();
    ASSERT_TRUE(browser.call("Emulation.setDeviceMetricsOverride",
                             {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 2}, {"mobile", true}}, *session))
        << browser.error();
    ASSERT_TRUE(browser.waitFor(*session, "document.readyState === 'complete' && "
                                          "document.querySelectorAll('.card').length === 2"))
        << browser.error();

    // Every line of every pre fits its box: nothing scrolls sideways, and the whole command is there to read.
    EXPECT_EQ(browser.evaluate(*session, "[...document.querySelectorAll('pre')].every(p => p.scrollWidth <= "
                                         "p.clientWidth) && document.documentElement.scrollWidth <= innerWidth"),
              json(true));
    EXPECT_EQ(browser.evaluate(*session, "document.querySelector('pre').textContent"), json(longCommand));
    const auto shot = [&](const char* name) {
        const auto result = browser.call("Page.captureScreenshot", {{"format", "png"}}, *session);
        ASSERT_TRUE(result) << browser.error();
        TestFiles::write(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/%1.png").arg(name),
                         QByteArray::fromBase64(QByteArray::fromStdString((*result)["data"].get<std::string>())));
    };
    shot("phone-page");

    // Read halfway down, a new gate arrives: the list grows in place, the page is not reloaded and stays put.
    ASSERT_TRUE(browser.evaluate(*session, "window.stayed = true; scrollTo(0, 200); scrollY"));
    const json scrolled = *browser.evaluate(*session, "scrollY");
    ASSERT_GT(scrolled.get<double>(), 0);
    bridges.push_back(startBridge("codex", "git status"));
    EXPECT_TRUE(browser.waitFor(*session, "document.querySelectorAll('.card').length === 3", 20000));
    EXPECT_EQ(browser.evaluate(*session, "window.stayed === true && scrollY"), scrolled);
    EXPECT_EQ(browser.evaluate(*session, "document.querySelector('.more').textContent"), json("+2 more waiting"));
    browser.evaluate(*session, "scrollTo(0, 0)");

    // The last, a single read-only command, is allowed for the rest of its session.
    const std::tuple<const char*, const char*, const char*> taps[] = {
        {"allow", "allow", SessionStore::phoneAllowMessage},
        {"deny", "deny", SessionStore::phoneDenyMessage},
        {"session", "allow", SessionStore::phoneAllowMessage}};
    const auto answered = [](QProcess& bridge, const std::string& behavior, const char* message) {
        ASSERT_TRUE(waitUntil([&] { return bridge.state() == QProcess::NotRunning; }, 8000));
        EXPECT_EQ(bridge.exitCode(), 0);
        const json out = json::parse(bridge.readAllStandardOutput().toStdString(), nullptr, false);
        EXPECT_EQ(out, (json{{"hookSpecificOutput",
                              {{"hookEventName", "PermissionRequest"},
                               {"decision", {{"behavior", behavior}, {"message", message}}}}}}));
    };
    for (std::size_t i = 0; i < std::size(taps); ++i) {
        const auto& [button, behavior, message] = taps[i];
        SCOPED_TRACE(i);
        const std::string id = store.gates().first()->id().toStdString();
        // The first card is this bridge's gate, its id written as it is.
        ASSERT_TRUE(browser.waitFor(*session, "document.querySelector('button." + std::string(button) +
                                                  "').getAttribute('onclick').includes(\"('" + id + "'\")"))
            << browser.error();
        if (i == 2)
            shot("phone-page-session");
        ASSERT_TRUE(browser.click(*session, std::string("button.") + button)) << browser.error();
        answered(*bridges[i], behavior, message);
    }
    // The same key in that session is answered at once, by the session rule.
    bridges.push_back(startBridge("codex", "git status --short"));
    answered(*bridges.back(), "allow", SessionStore::sessionRuleMessage);
    EXPECT_TRUE(store.gates().isEmpty());
    // And the page, never reloaded, has nothing left to show.
    EXPECT_TRUE(browser.waitFor(*session, "document.querySelector('.empty') !== null && window.stayed === true"));

    // The real question: one tap on its option answers it, as the agent accepts.
    QProcess asked;
    asked.start(QStringLiteral(VORLIX_BRIDGE_PATH), {"--source", "claude"});
    asked.write(QByteArray::fromStdString(readFixture("claude/tools/PermissionRequest-AskUserQuestion.json")));
    asked.closeWriteChannel();
    ASSERT_TRUE(browser.waitFor(*session, "document.querySelectorAll('button.opt').length === 2", 20000));
    shot("phone-question");
    ASSERT_TRUE(browser.click(*session, "button.opt[data-p=\"0:1\"]")) << browser.error();
    ASSERT_TRUE(waitUntil([&] { return asked.state() == QProcess::NotRunning; }, 8000));
    EXPECT_EQ(json::parse(asked.readAllStandardOutput().toStdString(), nullptr, false),
              json::parse(readFixture("claude/tools/answer-AskUserQuestion.json")));
}

} // namespace
