// How long a gate outlives its bridge: a real bridge holds a gate on a real server, is killed, and the time until
// the gate is gone from the store is measured (the main loop polled every 0.2 ms, as an idle application would be
// woken at once).
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {
constexpr int kills = 50;

using Steady = std::chrono::steady_clock;

bool serveUntil(const std::function<bool()>& condition, int timeoutMs = 20000) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Steady::now() > deadline)
            return false;
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    return true;
}

pid_t spawnBridge(const std::string& payloadFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, payloadFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(VORLIX_BRIDGE_PATH), const_cast<char*>("--source"), const_cast<char*>("claude"),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
        std::perror("spawn");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vbh-XXXXXX";
    const std::string home = mkdtemp(pattern);
    setenv("HOME", home.c_str(), 1);
    QCoreApplication app(argc, argv);

    const std::string payloadFile = home + "/permission.json";
    if (std::system(
            ("cp " VORLIX_SOURCE_DIR "/tests/fixtures/agents/claude/PermissionRequest.json " + payloadFile).c_str()) !=
        0)
        return 1;

    SessionStore store;
    Server server(&store);
    server.start();

    std::vector<double> gone;
    for (int i = 0; i < kills; ++i) {
        const pid_t pid = spawnBridge(payloadFile);
        if (!serveUntil([&] { return store.gates().size() == 1; })) {
            std::fprintf(stderr, "the gate never opened\n");
            return 1;
        }
        ::kill(pid, SIGKILL);
        const auto killed = Steady::now();
        if (!serveUntil([&] { return store.gates().isEmpty(); })) {
            std::fprintf(stderr, "the gate outlived its bridge\n");
            return 1;
        }
        gone.push_back(std::chrono::duration<double, std::milli>(Steady::now() - killed).count());
        ::waitpid(pid, nullptr, 0);
    }
    server.shutdown();

    std::sort(gone.begin(), gone.end());
    std::printf("%-34s %10s %10s %10s\n", "kills of 50", "median ms", "p90 ms", "max ms");
    std::printf("%-34s %10.3f %10.3f %10.3f\n", "gate gone after the bridge dies", gone[gone.size() / 2],
                gone[gone.size() * 9 / 10], gone.back());
    std::printf("goal: median well under 200 ms\n");
    return std::system(("rm -rf " + home).c_str()) == 0 ? 0 : 1;
}
