#include "BridgeProcess.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {
// What the bridge reads to name the agent and its terminal: the shell running the tests may have any of it.
bool agentVariable(const std::string& name) {
    static const char* const exact[] = {
        "TMUX",         "TMUX_PANE",        "WEZTERM_PANE",   "KITTY_WINDOW_ID", "KITTY_LISTEN_ON",
        "TERM_PROGRAM", "ITERM_SESSION_ID", "TERM_SESSION_ID"};
    for (const char* candidate : exact)
        if (name == candidate)
            return true;
    return name.rfind("GROK_", 0) == 0;
}

// Environment changes on top of ours, as NAME=value strings; the agent's and terminal's variables start unset.
std::vector<std::string> environmentWith(const BridgeProcess::EnvChanges& changes) {
    std::map<std::string, std::optional<std::string>> merged;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (const char* eq = std::strchr(*entry, '=')) {
            std::string name(*entry, static_cast<std::size_t>(eq - *entry));
            if (!agentVariable(name))
                merged[name] = std::string(eq + 1);
        }
    for (const auto& [name, value] : changes)
        merged[name] = value;
    std::vector<std::string> result;
    for (const auto& [name, value] : merged)
        if (value)
            result.push_back(name + "=" + *value);
    return result;
}

// One read into sink; at the end of the stream the descriptor is closed and set to -1.
ssize_t readSome(int& fd, std::string& sink) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        sink.append(buffer, static_cast<std::size_t>(n));
    else
        ::close(std::exchange(fd, -1));
    return n;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
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
    std::vector<std::string> argStrings = arguments;
    const std::vector<char*> envp = pointers(envStrings);
    const std::vector<char*> argv = pointers(argStrings);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]})
        ::close(fd);
    if (rc != 0) {
        for (int fd : {in[1], out[0], err[0]})
            ::close(fd);
        throw std::runtime_error(std::string("spawn failed: ") + std::strerror(rc));
    }
    // The payloads are small; a child that stops reading early must not kill us with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    for (std::size_t written = 0; written < input.size();) {
        const ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
    running = {pid, out[0], err[0]};
    return pid;
}

BridgeProcess::Result Running::finish(int timeoutMs) {
    BridgeProcess::Result result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (outFD >= 0 || errFD >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            kill();
            break;
        }
        // poll passes over a closed (negative) descriptor and leaves its revents 0.
        pollfd fds[2] = {{outFD, POLLIN, 0}, {errFD, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0)
            continue; // interrupted
        if (fds[0].revents != 0)
            readSome(outFD, result.out);
        if (fds[1].revents != 0)
            readSome(errFD, result.err);
    }
    for (int fd : {outFD, errFD})
        if (fd >= 0)
            ::close(fd);
    outFD = errFD = -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

bool Running::readErrUntil(std::string& log, const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (log.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd fd{errFD, POLLIN, 0};
        if (::poll(&fd, 1, 100) > 0 && readSome(errFD, log) <= 0)
            return false;
    }
    return true;
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
    return {std::istreambuf_iterator<char>(file), {}};
}
