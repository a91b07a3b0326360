// Exec to listening socket: the desktop application beside the headless one, interleaved. Needs a display
// (bench/run.sh runs it under xvfb-run).
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
constexpr int runs = 21;

bool canConnect(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// One start in a fresh home: milliseconds from exec until a client can connect; negative on failure.
double startOnce(bool desktop) {
    QTemporaryDir home;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
            entry.rfind("WAYLAND_DISPLAY=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("HOME=" + home.path().toStdString());
    std::vector<char*> envp;
    for (auto& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = VORLIX_APP_PATH;
    std::string headless = "--headless";
    std::vector<char*> argv{program.data()};
    if (!desktop)
        argv.push_back(headless.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string socket = home.path().toStdString() + "/.vorlix-agents/run/vorlix.sock";
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        std::perror("spawn");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    double ms = -1;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        if (canConnect(socket)) {
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main() {
    if (std::getenv("DISPLAY") == nullptr) {
        std::fputs("app_start: needs DISPLAY (run under xvfb-run)\n", stderr);
        return 1;
    }
    std::vector<double> headless;
    std::vector<double> desktop;
    startOnce(false); // warm the page cache for both
    startOnce(true);
    for (int i = 0; i < runs; ++i) {
        const double h = startOnce(false);
        const double d = startOnce(true);
        if (h < 0 || d < 0) {
            std::fputs("app_start: the application never opened its socket\n", stderr);
            return 1;
        }
        headless.push_back(h);
        desktop.push_back(d);
    }
    const double h = median(headless);
    const double d = median(desktop);
    std::printf("headless start: median %.1f ms over %d runs\n", h, runs);
    std::printf("desktop start:  median %.1f ms over %d runs\n", d, runs);
    std::printf("desktop / headless: %.2fx (goal <= 1.5x)\n", d / h);
    return 0;
}
