// Start-to-exit cost of the real bridge beside the cost of starting /bin/true with the same input.
#include "Event.h"
#include "Paths.h"
#include "UnixSocket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
constexpr int runs = 500;

struct Sample {
    double ms;
    long rssKiB;
};

// Spawns the program with the payload on stdin (from a file, as an agent's pipe would be already filled).
Sample runOnce(const std::vector<std::string>& arguments, const std::string& inputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

struct Stats {
    double median, p99;
    long peakRss;
};

Stats stats(std::vector<Sample> samples) {
    std::sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.ms < b.ms; });
    long peak = 0;
    for (const auto& s : samples)
        peak = std::max(peak, s.rssKiB);
    return {samples[samples.size() / 2].ms, samples[samples.size() * 99 / 100].ms, peak};
}

std::string writeTemp(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}
} // namespace

int main() {
    char pattern[] = "/tmp/vbl-XXXXXX";
    const std::string home = mkdtemp(pattern);
    setenv("HOME", home.c_str(), 1);
    const std::string socket = Vorlix::socketPath();
    const int listener = UnixSocket::listen(socket, 128);
    const int wake = eventfd(0, EFD_CLOEXEC);

    // Answers every gating event at once, like a rule or the policy would.
    std::thread server([&] {
        for (;;) {
            pollfd fds[2] = {{listener, POLLIN, 0}, {wake, POLLIN, 0}};
            poll(fds, 2, -1);
            if (fds[1].revents)
                return;
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            try {
                if (auto line = UnixSocket::readLine(fd)) {
                    auto event = Vorlix::Event::fromLine(*line);
                    if (event && event->gating)
                        UnixSocket::writeLine(
                            fd, R"x({"behavior":"allow","message":"Vorlix Agents: auto-approved (safe)"})x");
                }
            } catch (...) {
            }
            close(fd);
        }
    });

    const std::string root = VORLIX_SOURCE_DIR "/tests/fixtures/agents/claude/";
    auto slurp = [](const std::string& path) {
        std::string text;
        FILE* f = std::fopen(path.c_str(), "r");
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
        return text;
    };
    const std::string nonGating = writeTemp(home, "pre.json", slurp(root + "PreToolUse.json"));
    const std::string gating = writeTemp(home, "perm.json", slurp(root + "PermissionRequest.json"));

    std::vector<Sample> floor, plain, gated;
    // Interleaved so that machine noise hits all three alike.
    for (int i = 0; i < runs; ++i) {
        floor.push_back(runOnce({"/bin/true"}, nonGating));
        plain.push_back(runOnce({VORLIX_BRIDGE_PATH, "--source", "claude"}, nonGating));
        gated.push_back(runOnce({VORLIX_BRIDGE_PATH, "--source", "claude"}, gating));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = write(wake, &one, sizeof one);
    server.join();
    close(listener);
    unlink(socket.c_str());

    const Stats f = stats(floor), n = stats(plain), g = stats(gated);
    std::printf("%-28s %10s %10s %12s\n", "runs of 500", "median ms", "p99 ms", "peak RSS KiB");
    std::printf("%-28s %10.3f %10.3f %12ld\n", "/bin/true (floor)", f.median, f.p99, f.peakRss);
    std::printf("%-28s %10.3f %10.3f %12ld\n", "bridge, non-gating", n.median, n.p99, n.peakRss);
    std::printf("%-28s %10.3f %10.3f %12ld\n", "bridge, gating answered", g.median, g.p99, g.peakRss);
    std::printf("(peak RSS is floored by this spawner's own RSS: the child shares its memory until exec)\n");
    std::printf("ratio to floor (median): non-gating %.2fx (goal <= 1.5x), gating %.2fx (goal <= 3x)\n",
                n.median / f.median, g.median / f.median);
    std::string cleanup = "rm -rf " + home;
    return std::system(cleanup.c_str()) == 0 ? 0 : 0;
}
