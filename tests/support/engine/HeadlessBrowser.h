#pragma once

#include "EventLoop.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

/// Headless Chromium with the DevTools protocol on a pipe (fd 3 in, fd 4 out, NUL-terminated JSON messages).
/// Every wait keeps the Qt event loop turning: the page's server lives on this thread.
class HeadlessBrowser {
public:
    using json = nlohmann::json;

    HeadlessBrowser() {
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

    ~HeadlessBrowser() {
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

    /// Scrolled into view, a left click with the mouse at the middle of the first element the selector finds.
    bool click(const std::string& session, const std::string& selector) {
        const auto where = evaluate(session, "(() => { const e = document.querySelector('" + selector +
                                                 "'); if (!e) return null; e.scrollIntoView({block: 'center'}); "
                                                 "const r = e.getBoundingClientRect(); "
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

    /// Events the browser sent since the last call (method and params), e.g. after Network.enable; the phone
    /// page benchmark counts its requests with them.
    std::vector<json> takeEvents() {
        pump();
        return std::exchange(m_events, {});
    }

private:
    int send(const std::string& method, const json& params, const std::string& session) {
        json message = {{"id", m_nextId}, {"method", method}, {"params", params}};
        if (!session.empty())
            message["sessionId"] = session;
        m_toBrowser.write(QByteArray::fromStdString(message.dump()).append('\0'));
        return m_nextId++;
    }

    /// Takes in what the browser wrote: replies by id, and events.
    void pump() {
        char chunk[65536];
        for (ssize_t n; (n = ::read(m_out, chunk, sizeof chunk)) > 0;)
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_buffer.find('\0')) != std::string::npos; m_buffer.erase(0, end + 1)) {
            const json message = json::parse(m_buffer.substr(0, end), nullptr, false);
            if (message.is_object() && message.contains("id"))
                m_replies[message["id"].get<int>()] = message;
            else if (message.is_object() && message.contains("method"))
                m_events.push_back(message);
        }
    }

    QTemporaryDir m_profile;
    QProcess m_process;
    qint64 m_pid = 0;
    QFile m_toBrowser;
    int m_out = -1, m_nextId = 1;
    std::string m_buffer;
    std::map<int, json> m_replies;
    std::vector<json> m_events;
    std::string m_error;
};
