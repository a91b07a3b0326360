#include "BridgeProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
std::vector<std::string> environmentWith(const BridgeProcess::EnvChanges& changes) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text(*entry);
        auto eq = text.find('=');
        if (eq != std::string::npos)
            merged[text.substr(0, eq)] = text.substr(eq + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value)
            merged[name] = *value;
        else
            merged.erase(name);
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged)
        result.push_back(name + "=" + value);
    return result;
}
} // namespace

int BridgeProcess::start(const std::vector<std::string>& arguments, const std::string& input, const EnvChanges& env,
                         Running& running) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<std::string> envStrings = environmentWith(env);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = arguments;
    std::vector<char*> argv;
    for (auto& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error(std::string("spawn failed: ") + std::strerror(rc));
    }
    // The payloads are small; a child that stops reading early must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    while (written < input.size()) {
        ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
    running.pid = pid;
    running.outFD = out[0];
    running.errFD = err[0];
    return pid;
}

BridgeProcess::Result Running::finish(int timeoutMs) {
    BridgeProcess::Result result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill();
            break;
        }
        pollfd fds[2] = {{outFD, POLLIN, 0}, {errFD, POLLIN, 0}};
        int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                (i == 0 ? outFD : errFD) = -1;
                --open;
            }
        }
        if (outFD < 0 && errFD < 0)
            break;
        if (outFD < 0 || errFD < 0) {
            // Keep polling the one still open; poll ignores negative descriptors.
        }
    }
    if (outFD >= 0)
        ::close(outFD);
    if (errFD >= 0)
        ::close(errFD);
    outFD = errFD = -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

void Running::kill() {
    if (pid > 0)
        ::kill(pid, SIGKILL);
}

BridgeProcess::Result BridgeProcess::run(const std::vector<std::string>& arguments, const std::string& input,
                                         const EnvChanges& env, int timeoutMs) {
    Running running;
    start(arguments, input, env, running);
    return running.finish(timeoutMs);
}

BridgeProcess::Result BridgeProcess::bridge(const std::string& source, const std::string& input, const EnvChanges& env,
                                            int timeoutMs) {
    return run({VORLIX_BRIDGE_PATH, "--source", source}, input, env, timeoutMs);
}

std::string readFixture(const std::string& relative) {
    std::ifstream file(std::string(VORLIX_AGENT_FIXTURES) + "/" + relative, std::ios::binary);
    if (!file)
        throw std::runtime_error("missing fixture " + relative);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
