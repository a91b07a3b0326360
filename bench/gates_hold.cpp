// Memory per held gate and the cost of one more event while thousands of gates are held open.
#include "Paths.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"
#include "support/AppIdentity.h"

#include <QCoreApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
long rssKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long value = 0;
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

std::string gateLine(int i) {
    return R"({"id":"G)" + std::to_string(i) +
           R"(","source":"claude","event":"permissionRequest","rawEvent":"PermissionRequest","gating":true,"sessionID":"s)" +
           std::to_string(i % 100) + R"(","toolName":"Bash","toolInput":{"command":"make )" + std::to_string(i) +
           R"("},"cwd":"/w","terminal":{"ppid":1},"ts":1.0})";
}

// The clients live in a child process so that the server's descriptors alone count against our limit.
pid_t holdGates(const std::string& path, int count, int release[2]) {
    if (pipe(release) != 0)
        return -1;
    pid_t pid = fork();
    if (pid != 0) {
        close(release[0]);
        return pid;
    }
    close(release[1]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> fds;
    for (int i = 0; i < count; ++i) {
        try {
            int fd = UnixSocket::connect(path);
            UnixSocket::writeLine(fd, gateLine(i));
            fds.push_back(fd);
        } catch (...) {
            std::fprintf(stderr, "client %d could not connect\n", i);
            _exit(1);
        }
    }
    char byte;
    [[maybe_unused]] auto ignored = read(release[0], &byte, 1);
    _exit(0);
}

void measure(SessionStore& store, const std::string& path, int count) {
    const long before = rssKiB();
    int release[2];
    const pid_t child = holdGates(path, count, release);
    while (store.gates().size() < count)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // Let the connection threads settle into their waits.
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const long held = rssKiB();

    // One more event while all of them are held.
    std::vector<double> applyMs;
    for (int round = 0; round < 20; ++round) {
        const QString id = QString("extra-%1-%2").arg(count).arg(round);
        const auto start = std::chrono::steady_clock::now();
        int fd = UnixSocket::connect(path);
        UnixSocket::writeLine(
            fd, R"({"id":"x","source":"codex","event":"userPromptSubmit","rawEvent":"x","gating":false,"sessionID":")" +
                    id.toStdString() + R"(","terminal":{"ppid":1},"ts":1.0})");
        close(fd);
        while (store.sessionWithId(id) == nullptr)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        applyMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(applyMs.begin(), applyMs.end());

    std::printf("%6d gates held: RSS %+ld KiB, %.1f KiB per held gate (goal <= 64); one more event applied in "
                "median %.3f ms, worst %.3f ms (goal < 5 ms)\n",
                count, held - before, static_cast<double>(held - before) / count, applyMs[applyMs.size() / 2],
                applyMs.back());

    [[maybe_unused]] auto ignored = write(release[1], "x", 1);
    close(release[1]);
    waitpid(child, nullptr, 0);
    // Closing the connections ends their gates and frees the threads.
    while (!store.gates().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    const std::string path = Vorlix::socketPath();
    SessionStore store;
    Server server(&store);
    server.start();
    measure(store, path, 1000);
    while (server.activeConnections() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    measure(store, path, 10000);
    server.shutdown();
    return 0;
}
