// Event to notification on the bus: a Stop line written to the real socket until the notification server — the
// benchmark's own, on a private session bus — receives Notify; and the same from the moment the real bridge is
// started with Claude's Stop payload.
#include "NotificationServer.h"
#include "Paths.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "notify/NotificationCenter.h"
#include "notify/SessionNotifier.h"
#include "prefs/Prefs.h"
#include "sessions/SessionStore.h"
#include "support/AppIdentity.h"
#include "terminal/GoToTerminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {
constexpr int rounds = 20;
constexpr double limitMs = 50;
using Steady = std::chrono::steady_clock;

bool pump(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

std::string line(const char* event, const char* raw, int round) {
    return std::string(R"({"id":"B)") + std::to_string(round) + R"(","source":"claude","event":")" + event +
           R"(","rawEvent":")" + raw +
           R"(","gating":false,"sessionID":"bench","cwd":"/home/dev/shop","message":"Done.","terminal":{"ppid":1},"ts":1.0})";
}

void send(const std::string& path, const std::string& text) {
    const int fd = UnixSocket::connect(path);
    UnixSocket::writeLine(fd, text);
    ::close(fd);
}

// One round: the session resumes (its notification is withdrawn), then finishes; the time from `begin` to Notify.
bool measure(const char* name, NotificationServer& server, const std::string& path,
             const std::function<Steady::time_point(int)>& finish, double& median) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        // Counted before the line goes: the withdrawal may reach the server before send returns.
        const qsizetype closed = server.closed.size();
        send(path, line("userPromptSubmit", "UserPromptSubmit", i));
        if (i > 0 && !pump([&] { return server.closed.size() > closed; })) {
            std::fprintf(stderr, "%s: round %d was not withdrawn\n", name, i);
            return false;
        }
        const qsizetype before = server.posted.size();
        const Steady::time_point begin = finish(i);
        if (!pump([&] { return server.posted.size() > before; })) {
            std::fprintf(stderr, "%s: round %d never reached the server\n", name, i);
            return false;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(server.posted.last().at - begin).count());
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    median = sorted[sorted.size() / 2];
    std::printf("%-36s median %6.2f ms  (min %.2f, max %.2f, %d notifications)\n", name, median, sorted.front(),
                sorted.back(), rounds);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    NotificationServer server;
    if (!server.ready()) {
        std::fprintf(stderr, "no private session bus (is dbus-daemon installed?)\n");
        return 1;
    }
    Prefs prefs(qEnvironmentVariable("HOME") + QStringLiteral("/prefs.json"),
                qEnvironmentVariable("HOME") + QStringLiteral("/autostart"));
    SessionStore store;
    Server socketServer(&store);
    socketServer.start();
    NotificationCenter center(server.connect(QStringLiteral("app")));
    SessionNotifier notifier(store, center, prefs, &GoToTerminal::go);
    const std::string path = Vorlix::socketPath();

    double socketMedian = 0, bridgeMedian = 0;
    const bool socketOk = measure(
        "Stop line -> Notify on the bus", server, path,
        [&](int i) {
            const auto begin = Steady::now();
            send(path, line("stop", "Stop", i));
            return begin;
        },
        socketMedian);

    QFile payload(QStringLiteral(VORLIX_SOURCE_DIR "/tests/fixtures/agents/claude/Stop.json"));
    payload.open(QIODevice::ReadOnly);
    QByteArray stop = payload.readAll();
    // The fixture's session is another one; the payload is otherwise Claude's own.
    stop.replace("58c79b11-1a84-49db-a16d-4e4a5735230a", "bench");
    std::vector<std::unique_ptr<QProcess>> bridges;
    const bool bridgeOk = measure(
        "bridge started -> Notify on the bus", server, path,
        [&](int) {
            auto bridge = std::make_unique<QProcess>();
            const auto begin = Steady::now();
            bridge->start(QStringLiteral(VORLIX_BRIDGE_PATH), {QStringLiteral("--source"), QStringLiteral("claude")});
            bridge->write(stop);
            bridge->closeWriteChannel();
            bridges.push_back(std::move(bridge));
            return begin;
        },
        bridgeMedian);
    for (auto& bridge : bridges)
        bridge->waitForFinished();
    socketServer.shutdown();

    if (!socketOk || !bridgeOk)
        return 1;
    std::printf("goal: Stop line -> Notify <= %.0f ms: %s\n", limitMs, socketMedian <= limitMs ? "met" : "MISSED");
    return socketMedian <= limitMs ? 0 : 1;
}
