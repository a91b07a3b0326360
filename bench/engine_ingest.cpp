// Events applied per second through real sockets, beside a bare connect-write-close floor.
#include "Paths.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"
#include "support/AppIdentity.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr int clients = 8;
constexpr int total = 20000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string line(int client, std::int64_t sent) {
    return R"({"id":"I","source":"codex","event":"postToolUse","rawEvent":"PostToolUse","gating":false,"sessionID":"s)" +
           std::to_string(client) + R"(","toolName":"Bash","toolInput":{"command":")" + std::to_string(sent) +
           R"("},"terminal":{"ppid":1},"ts":1.0})";
}

// Runs `clients` threads that each connect, write one line and close, `total` times in all.
double drive(const std::string& path, const std::function<void()>& waitDone) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int i = 0; i < total / clients; ++i) {
                int fd = UnixSocket::connect(path);
                UnixSocket::writeLine(fd, line(c, nowNs()));
                ::close(fd);
            }
        });
    }
    // The main thread serves while the clients send, as in the application.
    waitDone();
    for (auto& t : threads)
        t.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor: a server that only accepts and reads the line on one thread.
double floorRun(const std::string& path) {
    const int listener = UnixSocket::listen(path, 128);
    std::atomic<int> read{0};
    const int wake = eventfd(0, EFD_CLOEXEC);
    std::thread server([&] {
        while (read.load() < total) {
            pollfd fds[2] = {{listener, POLLIN, 0}, {wake, POLLIN, 0}};
            poll(fds, 2, -1);
            if (fds[1].revents)
                return;
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            if (UnixSocket::readLine(fd))
                read.fetch_add(1);
            close(fd);
        }
    });
    const double seconds = drive(path, [&] {
        while (read.load() < total)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    });
    server.join();
    close(listener);
    close(wake);
    return seconds;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    const std::string path = Vorlix::socketPath();

    const double floorSeconds = floorRun(path);

    struct Latencies final : GatePolicy {
        std::vector<double> values;
        void record(const AuditEntry& entry) override {
            values.push_back(static_cast<double>(nowNs() - entry.detail.toLongLong()) / 1e6);
        }
    } policy;
    std::vector<double>& latencies = policy.values;
    latencies.reserve(total);
    SessionStore store;
    store.setPolicy(&policy);
    Server server(&store);
    server.start();
    const double seconds = drive(path, [&] {
        while (static_cast<int>(latencies.size()) < total)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    });
    server.shutdown();

    std::sort(latencies.begin(), latencies.end());
    const double rate = total / seconds;
    const double floorRate = total / floorSeconds;
    std::printf("%d non-gating events from %d concurrent clients\n", total, clients);
    std::printf("  floor (accept + read only)   %10.0f events/s\n", floorRate);
    std::printf("  engine (server + store)      %10.0f events/s   (goal >= 20000)\n", rate);
    std::printf("  engine / floor               %10.2f\n", rate / floorRate);
    std::printf("  write -> apply latency       median %.3f ms, p99 %.3f ms\n", latencies[latencies.size() / 2],
                latencies[latencies.size() * 99 / 100]);
    return 0;
}
