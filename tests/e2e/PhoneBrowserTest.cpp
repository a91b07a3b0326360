// A real browser on the phone page: headless Chromium, driven over its DevTools pipe, answers gates held by real
// bridge processes.
#include "EventLoop.h"
#include "GateBox.h"
#include "RemoteApproval.h"
#include "Server.h"
#include "SessionStore.h"
#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using nlohmann::json;

namespace {

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0))
        return 0;
    return probe.serverPort();
}

/// Headless Chromium with the DevTools protocol on a pipe (fd 3 in, fd 4 out, NUL-terminated JSON messages).
/// Every wait keeps the Qt event loop turning: the page's server lives on this thread.
class Browser {
public:
    Browser() {
        std::signal(SIGPIPE, SIG_IGN);
        const QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (program.isEmpty()) {
            m_error = "chromium is not installed (scripts/install-deps.sh installs the Debian package chromium)";
            return;
        }
        int toBrowser[2];
        int fromBrowser[2];
        if (::pipe2(toBrowser, O_CLOEXEC) != 0 || ::pipe2(fromBrowser, O_CLOEXEC) != 0) {
            m_error = "pipe failed";
            return;
        }
        // Out of the way of 3 and 4 before they are dup'ed there.
        const int childIn = ::fcntl(toBrowser[0], F_DUPFD_CLOEXEC, 10);
        const int childOut = ::fcntl(fromBrowser[1], F_DUPFD_CLOEXEC, 10);
        ::close(toBrowser[0]);
        ::close(fromBrowser[1]);
        m_in = toBrowser[1];
        m_out = fromBrowser[0];
        ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);

        const std::string log = (m_profile.path() + "/chromium.log").toStdString();
        const std::vector<std::string> arguments{program.toStdString(),
                                                 "--headless",
                                                 "--no-sandbox",
                                                 "--disable-gpu",
                                                 "--disable-background-networking",
                                                 "--disable-component-update",
                                                 "--disable-sync",
                                                 "--disable-quic",
                                                 "--no-first-run",
                                                 "--remote-debugging-pipe",
                                                 "--user-data-dir=" + (m_profile.path() + "/profile").toStdString(),
                                                 "about:blank"};
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn_file_actions_adddup2(&actions, childIn, 3);
        posix_spawn_file_actions_adddup2(&actions, childOut, 4);
        posix_spawn_file_actions_addclosefrom_np(&actions, 5);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // Its own process group, so its helpers can be ended with it.
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const int status = ::posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(childIn);
        ::close(childOut);
        if (status != 0) {
            m_pid = -1;
            m_error = "could not start " + program.toStdString() + ": " + std::strerror(status);
        }
    }

    ~Browser() {
        if (m_pid > 0) {
            send("Browser.close", json::object(), {});
            const bool exited = waitUntil([&] { return ::waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, 10000);
            ::kill(-m_pid, SIGKILL);
            if (!exited)
                ::waitpid(m_pid, nullptr, 0);
        }
        if (m_in >= 0)
            ::close(m_in);
        if (m_out >= 0)
            ::close(m_out);
    }

    const std::string& error() const { return m_error; }
    std::string log() const {
        QFile file(m_profile.path() + "/chromium.log");
        return file.open(QIODevice::ReadOnly) ? file.readAll().right(2000).toStdString() : std::string();
    }

    /// The result of one command, or nothing (with error() saying why).
    std::optional<json> call(const std::string& method, const json& params = json::object(),
                             const std::string& session = {}, int timeoutMs = 60000) {
        const int id = send(method, params, session);
        std::optional<json> reply;
        waitUntil(
            [&] {
                pump();
                for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
                    if (it->value("id", 0) == id) {
                        reply = *it;
                        m_messages.erase(it);
                        return true;
                    }
                }
                return m_pid <= 0;
            },
            timeoutMs);
        if (!reply) {
            m_error = method + ": no reply";
            return std::nullopt;
        }
        if (reply->contains("error")) {
            m_error = method + ": " + (*reply)["error"].dump();
            return std::nullopt;
        }
        return (*reply)["result"];
    }

    /// A new tab on the URL; returns its session id.
    std::optional<std::string> open(const QString& url) {
        const auto target = call("Target.createTarget", {{"url", url.toStdString()}});
        if (!target)
            return std::nullopt;
        const auto attached = call("Target.attachToTarget", {{"targetId", (*target)["targetId"]}, {"flatten", true}});
        if (!attached)
            return std::nullopt;
        return (*attached)["sessionId"].get<std::string>();
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
        return waitUntil(
            [&] {
                const auto value = evaluate(session, expression);
                return value && value->is_boolean() && value->get<bool>();
            },
            timeoutMs);
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
        const int id = m_nextId++;
        json message = {{"id", id}, {"method", method}, {"params", params}};
        if (!session.empty())
            message["sessionId"] = session;
        std::string bytes = message.dump();
        bytes.push_back('\0');
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(m_in, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            written += static_cast<std::size_t>(n);
        }
        return id;
    }

    void pump() {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                break;
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
        for (std::size_t end; (end = m_buffer.find('\0')) != std::string::npos;) {
            json message = json::parse(m_buffer.substr(0, end), nullptr, false);
            m_buffer.erase(0, end + 1);
            // Events are not needed; only replies are kept.
            if (!message.is_discarded() && message.contains("id"))
                m_messages.push_back(std::move(message));
        }
        if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_error = "chromium exited";
            m_pid = -1;
        }
    }

    QTemporaryDir m_profile;
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_nextId = 1;
    std::string m_buffer;
    std::vector<json> m_messages;
    std::string m_error;
};

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(VORLIX_FIXTURES_DIR "/agents/claude/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The engine's side as the application wires it: store, hook socket server and phone server.
class PhoneBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<Server>(&store);
        ASSERT_NO_THROW(server->start());
        remote.setStore(&store);
        remote.onDecision = [this](const QString& id, Vorlix::Behavior behavior) {
            store.resolveRemotely(id, behavior);
        };
        remote.enable();
        ASSERT_TRUE(remote.enabled()) << remote.lastErrorText().toStdString();
        ASSERT_TRUE(browser.error().empty()) << browser.error();
    }

    void TearDown() override {
        if (server)
            server->shutdown();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/?t=%2").arg(remote.port()).arg(remote.token()); }

    TempHome home;
    SessionStore store;
    std::unique_ptr<Server> server;
    RemoteApproval remote{freePort()};
    Browser browser;
};

TEST_F(PhoneBrowserTest, TapsOnThePageAnswerTheWaitingBridge) {
    const QByteArray payload = fixture("PermissionRequest.json");
    ASSERT_FALSE(payload.isEmpty());
    const auto session = browser.open(url());
    ASSERT_TRUE(session) << browser.error() << "\n" << browser.log();

    struct Case {
        const char* button;
        const char* behavior;
        const char* message;
    } cases[] = {
        {"allow", "allow", SessionStore::phoneAllowMessage},
        {"deny", "deny", SessionStore::phoneDenyMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        QProcess bridge;
        bridge.start(QStringLiteral(VORLIX_BRIDGE_PATH), {"--source", "claude"});
        ASSERT_TRUE(bridge.waitForStarted());
        bridge.write(payload);
        bridge.closeWriteChannel();
        ASSERT_TRUE(waitUntil([&] { return store.gates().size() == 1; }, 30000));
        const std::string id = store.gates().first()->id().toStdString();

        // The card for this gate, its id written as it is.
        ASSERT_TRUE(browser.waitFor(*session, "document.querySelectorAll('.card').length === 1 && "
                                              "document.querySelector('button." +
                                                  std::string(c.button) + "').getAttribute('onclick') === \"d('" + id +
                                                  "','" + c.button + "')\""))
            << browser.error() << "\n"
            << browser.log();

        // A tap can fall into one of the page's own reloads; tapping again is harmless.
        bool answered = false;
        for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
            ASSERT_TRUE(browser.click(*session, std::string("button.") + c.button)) << browser.error();
            answered = waitUntil([&] { return bridge.state() == QProcess::NotRunning; }, 8000);
        }
        ASSERT_TRUE(answered);
        EXPECT_EQ(bridge.exitCode(), 0);
        const json out = json::parse(bridge.readAllStandardOutput().toStdString(), nullptr, false);
        ASSERT_FALSE(out.is_discarded());
        const json expected = {{"hookSpecificOutput",
                                {{"hookEventName", "PermissionRequest"},
                                 {"decision", {{"behavior", c.behavior}, {"message", c.message}}}}}};
        EXPECT_EQ(out, expected);
        EXPECT_TRUE(store.gates().isEmpty());
        // And the page, reloaded after the tap, has nothing left to show.
        EXPECT_TRUE(browser.waitFor(*session, "document.querySelector('.empty') !== null"));
    }
}

Vorlix::Event gatingEvent(const std::string& id, const std::string& session, Vorlix::Source source,
                          const std::string& cwd, const std::string& command) {
    Vorlix::Event event;
    event.id = id;
    event.source = source;
    event.event = Vorlix::Canonical::permissionRequest;
    event.rawEvent = "PermissionRequest";
    event.gating = true;
    event.sessionID = session;
    event.cwd = cwd;
    event.toolName = "Bash";
    event.toolInput = JSONValue(JSONValue::Object{{"command", JSONValue(command)}});
    return event;
}

int pixelsNear(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) <= 3 && std::abs(qGreen(p) - qGreen(colour)) <= 3 &&
                std::abs(qBlue(p) - qBlue(colour)) <= 3)
                ++count;
        }
    }
    return count;
}

TEST_F(PhoneBrowserTest, ScreenshotOfACriticalAndANormalCard) {
    store.openGate(gatingEvent("c7d1b3f2-0001-4b5e-9a0c-3f1e2d4c5b6a", "s1", Vorlix::Source::claude, "/home/dev/web",
                               "rm -rf build && git push --force origin main"),
                   std::make_shared<GateBox>());
    store.openGate(gatingEvent("c7d1b3f2-0002-4b5e-9a0c-3f1e2d4c5b6a", "s2", Vorlix::Source::codex, "/home/dev/api",
                               "npm test -- --watch=false"),
                   std::make_shared<GateBox>());
    const auto session = browser.open(url());
    ASSERT_TRUE(session) << browser.error() << "\n" << browser.log();
    ASSERT_TRUE(browser.call("Emulation.setDeviceMetricsOverride",
                             {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 2}, {"mobile", true}}, *session))
        << browser.error();

    // Taken between the page's own reloads: retried until both cards are in the picture.
    QImage shot;
    QByteArray png;
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_TRUE(browser.waitFor(*session, "document.readyState === 'complete' && "
                                              "document.querySelectorAll('.card').length === 2"))
            << browser.error();
        const auto result = browser.call("Page.captureScreenshot", {{"format", "png"}}, *session);
        ASSERT_TRUE(result) << browser.error();
        png = QByteArray::fromBase64(QByteArray::fromStdString((*result)["data"].get<std::string>()));
        shot = QImage::fromData(png, "PNG");
        if (pixelsNear(shot, qRgb(0x8c, 0xe8, 0x8c)) > 2000 && pixelsNear(shot, qRgb(0x3a, 0x1e, 0x2a)) > 2000)
            break;
    }
    ASSERT_EQ(shot.size(), QSize(780, 1688));
    // Both cards' Allow and Deny buttons are solid blocks of their colours.
    EXPECT_GT(pixelsNear(shot, qRgb(0x8c, 0xe8, 0x8c)), 2 * 40 * 80);
    EXPECT_GT(pixelsNear(shot, qRgb(0x3a, 0x1e, 0x2a)), 2 * 40 * 80);
    EXPECT_GT(pixelsNear(shot, qRgb(0x0a, 0x0a, 0x0b)), shot.width() * shot.height() / 4);

    const QString artifacts = QStringLiteral(VORLIX_BINARY_DIR "/artifacts");
    ASSERT_TRUE(QDir().mkpath(artifacts));
    QFile file(artifacts + "/phone-page.png");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(png), png.size());
}

} // namespace
