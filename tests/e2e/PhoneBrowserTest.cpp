// A real browser on the phone page: headless Chromium, driven over its DevTools pipe, answers gates held by real
// bridge processes.
#include "EventLoop.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "hookserver/GateBox.h"
#include "hookserver/Server.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <unistd.h>

using nlohmann::json;

namespace {

/// Headless Chromium with the DevTools protocol on a pipe (fd 3 in, fd 4 out, NUL-terminated JSON messages).
/// Every wait keeps the Qt event loop turning: the page's server lives on this thread.
class Browser {
public:
    Browser() {
        std::signal(SIGPIPE, SIG_IGN);
        int toBrowser[2], fromBrowser[2];
        if (::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) {
            m_error = "pipe failed";
            return;
        }
        m_toBrowser.open(toBrowser[1], QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
        m_out = fromBrowser[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
        const int childIn = toBrowser[0];
        const int childOut = fromBrowser[1];
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_profile.filePath("chromium.log"));
        // In its own process group, so its helpers can be ended with it; the pipe ends are moved clear of 3 and 4
        // before they are put there.
        m_process.setChildProcessModifier([childIn, childOut] {
            ::setpgid(0, 0);
            const int in = ::fcntl(childIn, F_DUPFD, 10);
            ::dup2(::fcntl(childOut, F_DUPFD, 10), 4);
            ::dup2(in, 3);
        });
        m_process.start(QStandardPaths::findExecutable("chromium"),
                        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync", "--disable-quic", "--no-first-run",
                         "--remote-debugging-pipe", "--user-data-dir=" + m_profile.filePath("profile"), "about:blank"});
        ::close(childIn);
        ::close(childOut);
        if (!m_process.waitForStarted())
            m_error = "could not start chromium (scripts/install-deps.sh installs the Debian package chromium): " +
                      m_process.errorString().toStdString();
        m_pid = m_process.processId();
    }

    ~Browser() {
        if (m_pid > 0)
            ::kill(-m_pid, SIGKILL); // with its helpers; the profile is thrown away anyway
        m_process.waitForFinished();
        if (m_out >= 0)
            ::close(m_out);
    }

    const std::string& error() const { return m_error; }

    /// The result of one command, or nothing (with error() saying why).
    std::optional<json> call(const std::string& method, const json& params = json::object(),
                             const std::string& session = {}, int timeoutMs = 60000) {
        const int id = send(method, params, session);
        waitUntil([&] { return pump(), m_replies.contains(id) || m_process.state() == QProcess::NotRunning; },
                  timeoutMs);
        json reply = m_replies.contains(id) ? m_replies.extract(id).mapped() : json();
        if (!reply.contains("result")) {
            m_error = method + ": " + (reply.is_null() ? std::string("no reply") : reply.dump());
            return std::nullopt;
        }
        return reply["result"];
    }

    /// A new tab on the URL; returns its session id.
    std::optional<std::string> open(const QString& url) {
        const auto target = call("Target.createTarget", {{"url", url.toStdString()}});
        const auto attached =
            target ? call("Target.attachToTarget", {{"targetId", (*target)["targetId"]}, {"flatten", true}}) : target;
        return attached ? std::optional((*attached)["sessionId"].get<std::string>()) : std::nullopt;
    }

    std::optional<json> evaluate(const std::string& session, const std::string& expression) {
        const auto result =
            call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, session, 10000);
        if (!result || result->contains("exceptionDetails"))
            return std::nullopt;
        return (*result)["result"].value("value", json());
    }

    /// Polls the page until the expression is true (the page reloads itself, so this rides over reloads).
    bool waitFor(const std::string& session, const std::string& expression, int timeoutMs = 30000) {
        return waitUntil([&] { return evaluate(session, expression) == json(true); }, timeoutMs);
    }

    /// A left click with the mouse at the middle of the first element the selector finds.
    bool click(const std::string& session, const std::string& selector) {
        const auto where = evaluate(session, "(() => { const e = document.querySelector('" + selector +
                                                 "'); if (!e) return null; const r = e.getBoundingClientRect(); "
                                                 "return [r.x + r.width / 2, r.y + r.height / 2]; })()");
        if (!where || !where->is_array())
            return false;
        for (const char* type : {"mousePressed", "mouseReleased"}) {
            const json event = {
                {"type", type}, {"x", (*where)[0]}, {"y", (*where)[1]}, {"button", "left"}, {"clickCount", 1}};
            if (!call("Input.dispatchMouseEvent", event, session, 10000))
                return false;
        }
        return true;
    }

private:
    int send(const std::string& method, const json& params, const std::string& session) {
        json message = {{"id", m_nextId}, {"method", method}, {"params", params}};
        if (!session.empty())
            message["sessionId"] = session;
        m_toBrowser.write(QByteArray::fromStdString(message.dump()).append('\0'));
        return m_nextId++;
    }

    /// Takes in what the browser wrote; only replies are kept, events are not needed.
    void pump() {
        char chunk[65536];
        for (ssize_t n; (n = ::read(m_out, chunk, sizeof chunk)) > 0;)
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_buffer.find('\0')) != std::string::npos; m_buffer.erase(0, end + 1)) {
            const json message = json::parse(m_buffer.substr(0, end), nullptr, false);
            if (message.is_object() && message.contains("id"))
                m_replies[message["id"].get<int>()] = message;
        }
    }

    QTemporaryDir m_profile;
    QProcess m_process;
    qint64 m_pid = 0;
    QFile m_toBrowser;
    int m_out = -1, m_nextId = 1;
    std::string m_buffer;
    std::map<int, json> m_replies;
    std::string m_error;
};

/// A real bridge holding a gate for the command, asked as the agent's own payload asks.
std::unique_ptr<QProcess> startBridge(const QString& source, const std::string& command) {
    json payload = json::parse(
        TestFiles::read(QStringLiteral(VORLIX_FIXTURES_DIR "/agents/%1/PermissionRequest.json").arg(source)), nullptr,
        false);
    payload["tool_input"]["command"] = command;
    auto bridge = std::make_unique<QProcess>();
    bridge->start(QStringLiteral(VORLIX_BRIDGE_PATH), {"--source", source});
    bridge->write(QByteArray::fromStdString(payload.dump()));
    bridge->closeWriteChannel();
    return bridge;
}

int pixelsNear(const QImage& image, QRgb c) {
    int count = 0;
    for (int at = 0; at < image.width() * image.height(); ++at) {
        const QRgb p = image.pixel(at % image.width(), at / image.width());
        count += std::max({std::abs(qRed(p) - qRed(c)), std::abs(qGreen(p) - qGreen(c)),
                           std::abs(qBlue(p) - qBlue(c))}) <= 3;
    }
    return count;
}

// A critical card from Claude Code above a normal one from Codex: photographed, then tapped away one by one.
TEST(PhoneBrowserTest, TapsOnThePageAnswerTheWaitingBridges) {
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
    remote.enable();
    ASSERT_TRUE(remote.enabled()) << remote.lastErrorText().toStdString();
    Browser browser;
    ASSERT_TRUE(browser.error().empty()) << browser.error();
    std::vector<std::unique_ptr<QProcess>> bridges; // one at a time, so the cards come in this order
    for (const auto& [source, command] : {std::pair{"claude", "rm -rf build && git push --force origin main"},
                                          std::pair{"codex", "npm test -- --watch=false"}}) {
        bridges.push_back(startBridge(source, command));
        ASSERT_TRUE(waitUntil([&] { return std::size_t(store.gates().size()) == bridges.size(); }, 30000));
    }
    const auto session =
        browser.open(QStringLiteral("http://127.0.0.1:%1/?t=%2").arg(remote.port()).arg(remote.token()));
    ASSERT_TRUE(session) << browser.error();
    ASSERT_TRUE(browser.call("Emulation.setDeviceMetricsOverride",
                             {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 2}, {"mobile", true}}, *session))
        << browser.error();

    // Taken between the page's own reloads: retried until both cards' Allow and Deny buttons are in the picture,
    // solid blocks of their colours.
    QImage shot;
    QByteArray png;
    const auto buttonsShown = [&] {
        return pixelsNear(shot, qRgb(0x8c, 0xe8, 0x8c)) > 2 * 40 * 80 &&
               pixelsNear(shot, qRgb(0x3a, 0x1e, 0x2a)) > 2 * 40 * 80;
    };
    for (int attempt = 0; attempt < 5 && !buttonsShown(); ++attempt) {
        ASSERT_TRUE(browser.waitFor(*session, "document.readyState === 'complete' && "
                                              "document.querySelectorAll('.card').length === 2"))
            << browser.error();
        const auto result = browser.call("Page.captureScreenshot", {{"format", "png"}}, *session);
        ASSERT_TRUE(result) << browser.error();
        png = QByteArray::fromBase64(QByteArray::fromStdString((*result)["data"].get<std::string>()));
        shot = QImage::fromData(png, "PNG");
    }
    TestFiles::write(QStringLiteral(VORLIX_BINARY_DIR "/artifacts/phone-page.png"), png);
    ASSERT_EQ(shot.size(), QSize(780, 1688));
    EXPECT_TRUE(buttonsShown());
    EXPECT_GT(pixelsNear(shot, qRgb(0x0a, 0x0a, 0x0b)), shot.width() * shot.height() / 4);

    for (const auto& [button, message] :
         {std::pair{"allow", SessionStore::phoneAllowMessage}, std::pair{"deny", SessionStore::phoneDenyMessage}}) {
        SCOPED_TRACE(button);
        QProcess& bridge = *bridges[button == std::string("allow") ? 0 : 1];
        const std::string id = store.gates().first()->id().toStdString();
        // The first card is this bridge's gate, its id written as it is.
        ASSERT_TRUE(browser.waitFor(*session, "document.querySelector('button." + std::string(button) +
                                                  "').getAttribute('onclick') === \"d('" + id + "','" + button +
                                                  "')\""))
            << browser.error();
        // A tap can fall into one of the page's own reloads; tapping again is harmless.
        bool answered = false;
        for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
            ASSERT_TRUE(browser.click(*session, std::string("button.") + button)) << browser.error();
            answered = waitUntil([&] { return bridge.state() == QProcess::NotRunning; }, 8000);
        }
        ASSERT_TRUE(answered);
        EXPECT_EQ(bridge.exitCode(), 0);
        const json out = json::parse(bridge.readAllStandardOutput().toStdString(), nullptr, false);
        EXPECT_EQ(out, (json{{"hookSpecificOutput",
                              {{"hookEventName", "PermissionRequest"},
                               {"decision", {{"behavior", button}, {"message", message}}}}}}));
    }
    EXPECT_TRUE(store.gates().isEmpty());
    // And the page, reloaded after the last tap, has nothing left to show.
    EXPECT_TRUE(browser.waitFor(*session, "document.querySelector('.empty') !== null"));
}

} // namespace
