#include "Bridge.h"

#include "AgentAnswer.h"
#include "HookPayload.h"
#include "Paths.h"
#include "UnixSocket.h"
#include "Uuid.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int parentCheckMs = 500;

std::optional<std::string> readAll(int fd) {
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return data;
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

void writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += static_cast<std::size_t>(n);
    }
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

double now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Waits for the reply to become readable, giving up when the agent that started us is gone: an orphaned hook
// must not hold a gate open for nobody. The parent is checked by its pid, not with PR_SET_PDEATHSIG, which fires
// when the thread that forked us exits, any worker thread of a multi-threaded agent.
bool awaitReply(int fd, pid_t parent) {
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int n = ::poll(&ready, 1, parentCheckMs);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
        if (::getppid() != parent)
            return false;
    }
}

// Closes the connection on every path out of run().
struct Connection {
    int fd;
    ~Connection() { ::close(fd); }
};

} // namespace

int Bridge::run(const std::vector<std::string_view>& arguments) {
    using namespace Vorlix;
    const Source source = HookPayload::source(arguments, environment);

    auto input = readAll(STDIN_FILENO);
    if (!input || input->empty())
        return 0;
    auto payload = JSONValue::parse(*input);
    if (!payload)
        return 0;
    auto id = randomUuid();
    if (!id)
        return 0;
    const Event event =
        HookPayload::event(*payload, source, environment, std::move(*id), TerminalContext::current(), now());
    const std::string line = event.toLine();
    // Only a gating hook waits, so only it needs to know who started it; the others make no extra system call.
    const pid_t parent = event.gating ? ::getppid() : 0;

    Connection connection{UnixSocket::connect(socketPath())};
    UnixSocket::writeLine(connection.fd, line);
    if (!event.gating)
        return 0;

    if (!awaitReply(connection.fd, parent))
        return 0;
    // A peer that never ends its line must not grow the hook without bound: past the cap it fails open.
    auto reply = UnixSocket::readLine(connection.fd, UnixSocket::maxReplyBytes);
    if (!reply)
        return 0;
    auto decision = Decision::fromLine(*reply);
    if (!decision)
        return 0;
    const AgentAnswer answer = AgentAnswer::forDecision(source, event.event, *decision);
    writeAll(STDOUT_FILENO, answer.out);
    writeAll(STDERR_FILENO, answer.err);
    return answer.exitStatus;
}
