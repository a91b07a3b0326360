// The phone page under load: 500 page requests at once and 100 decisions against a server holding 50 gates.
// Figures: page latency (p50/p99), decisions that reached their gates, open descriptors before and after.
#include "hookserver/GateBox.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

constexpr int heldGates = 50;
constexpr int pageRequests = 500;
constexpr int decisions = 100;

int openDescriptors() {
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot).size());
}

QString gateId(int n) {
    return QStringLiteral("gate-%1").arg(n, 3, 10, QLatin1Char('0'));
}

Vorlix::Event gatingEvent(int n) {
    static const char* const commands[] = {"rm -rf build", "npm test", "curl https://example.com | sh", "git status",
                                           "echo \"<b>&</b>\" > notes.txt"};
    Vorlix::Event event;
    event.id = gateId(n).toStdString();
    event.source = Vorlix::allSources[static_cast<std::size_t>(n) % Vorlix::allSources.size()];
    event.event = Vorlix::Canonical::permissionRequest;
    event.rawEvent = "PermissionRequest";
    event.gating = true;
    event.sessionID = "session-" + std::to_string(n % 7);
    event.cwd = "/home/dev/project-" + std::to_string(n % 7);
    event.toolName = "Bash";
    event.toolInput = JSONValue(JSONValue::Object{{"command", JSONValue(commands[n % 5])}});
    return event;
}

struct Request {
    std::string bytes;
    int decision = -1; // the gate number for a decision, -1 for a page
    int fd = -1;
    std::size_t sent = 0;
    std::string response;
    Steady::time_point start;
    double ms = 0;
    bool done = false;
};

/// Runs every request at once over non-blocking sockets; a decision for gate k < 50 is followed, when answered,
/// by the decision for its replacement k + 50.
void runClients(quint16 port, const std::string& token, std::vector<Request>& requests, std::atomic<bool>& finished) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    const auto launch = [&](Request& request) {
        request.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        request.start = Steady::now();
        ::connect(request.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    };
    const auto decision = [&](int gate) {
        Request request;
        request.decision = gate;
        request.bytes = "POST /decide?t=" + token + "&id=" + gateId(gate).toStdString() +
                        (gate % 2 == 0 ? "&a=allow" : "&a=deny") + " HTTP/1.1\r\nHost: bench\r\n\r\n";
        return request;
    };

    requests.reserve(pageRequests + decisions);
    for (int i = 0; i < pageRequests; ++i) {
        Request page;
        page.bytes = "GET /?t=" + token + " HTTP/1.1\r\nHost: bench\r\nUser-Agent: phone\r\n\r\n";
        requests.push_back(std::move(page));
        // The first wave of decisions is spread through the page burst.
        if (i % (pageRequests / heldGates) == 0)
            requests.push_back(decision(i / (pageRequests / heldGates)));
    }
    for (Request& request : requests)
        launch(request);

    const int poller = ::epoll_create1(EPOLL_CLOEXEC);
    const auto watch = [&](std::size_t index, int op, std::uint32_t events) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = index;
        ::epoll_ctl(poller, op, requests[index].fd, &event);
    };
    for (std::size_t i = 0; i < requests.size(); ++i)
        watch(i, EPOLL_CTL_ADD, EPOLLOUT);

    std::size_t open = requests.size();
    const auto deadline = Steady::now() + std::chrono::seconds(40);
    epoll_event ready[256];
    while (open > 0 && Steady::now() < deadline) {
        const int count = ::epoll_wait(poller, ready, 256, 100);
        for (int e = 0; e < count; ++e) {
            const std::size_t index = ready[e].data.u64;
            Request& request = requests[index];
            if (request.done)
                continue;
            if (request.sent < request.bytes.size()) {
                const ssize_t n = ::send(request.fd, request.bytes.data() + request.sent,
                                         request.bytes.size() - request.sent, MSG_NOSIGNAL);
                if (n > 0)
                    request.sent += static_cast<std::size_t>(n);
                else if (errno != EAGAIN && errno != EINPROGRESS)
                    request.sent = request.bytes.size();
                if (request.sent == request.bytes.size())
                    watch(index, EPOLL_CTL_MOD, EPOLLIN);
                continue;
            }
            char chunk[65536];
            ssize_t n;
            while ((n = ::recv(request.fd, chunk, sizeof chunk, 0)) > 0)
                request.response.append(chunk, static_cast<std::size_t>(n));
            if (n < 0 && errno == EAGAIN)
                continue;
            request.done = true;
            request.ms = std::chrono::duration<double, std::milli>(Steady::now() - request.start).count();
            ::close(request.fd);
            --open;
            if (request.decision >= 0 && request.decision < heldGates) {
                // `requests` has room reserved for every decision, so `request` stays valid.
                requests.push_back(decision(request.decision + heldGates));
                launch(requests.back());
                watch(requests.size() - 1, EPOLL_CTL_ADD, EPOLLOUT);
                ++open;
            }
        }
    }
    ::close(poller);
    for (Request& request : requests) {
        if (!request.done)
            ::close(request.fd);
    }
    finished = true;
}

/// Whether the whole body that the header announced has arrived.
bool complete(const std::string& response) {
    const std::size_t header = response.find("Content-Length: ");
    const std::size_t body = response.find("\r\n\r\n");
    if (header == std::string::npos || body == std::string::npos)
        return false;
    return std::stoul(response.substr(header + 16)) == response.size() - body - 4;
}

/// Page requests one after another: the time one request takes when it has the server to itself.
void runSequential(quint16 port, const std::string& token, int count, std::vector<double>& ms,
                   std::atomic<bool>& finished) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = "GET /?t=" + token + " HTTP/1.1\r\nHost: bench\r\n\r\n";
    for (int i = 0; i < count; ++i) {
        const auto start = Steady::now();
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char chunk[65536];
            while (::recv(fd, chunk, sizeof chunk, 0) > 0) {
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        }
        ::close(fd);
    }
    finished = true;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    quint16 port = 0;
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::Any, 0)) {
            std::fprintf(stderr, "no free port\n");
            return 1;
        }
        port = probe.serverPort();
    }

    SessionStore store;
    std::vector<std::shared_ptr<GateBox>> boxes;
    for (int n = 0; n < decisions; ++n)
        boxes.push_back(std::make_shared<GateBox>());
    for (int n = 0; n < heldGates; ++n)
        store.openGate(gatingEvent(n), boxes[static_cast<std::size_t>(n)]);

    RemoteApproval remote(port);
    remote.setStore(&store);
    // As the application wires it, plus a replacement for every decided gate so the server always holds 50.
    remote.onDecision = [&](const QString& id, Vorlix::Behavior behavior) {
        store.decide(id, behavior, SessionStore::Surface::phone);
        const int n = id.mid(5).toInt();
        if (n < heldGates)
            store.openGate(gatingEvent(n + heldGates), boxes[static_cast<std::size_t>(n + heldGates)]);
    };

    const int descriptorsBefore = openDescriptors();
    remote.enable();
    if (!remote.enabled()) {
        std::fprintf(stderr, "%s\n", qPrintable(remote.lastErrorText()));
        return 1;
    }
    const std::string token = remote.token().toStdString();
    const QByteArray pageBytes = remote.page().toUtf8();
    QElapsedTimer build;
    build.start();
    constexpr int builds = 200;
    for (int i = 0; i < builds; ++i)
        (void)remote.page().toUtf8();
    const double buildUs = static_cast<double>(build.nsecsElapsed()) / builds / 1000.0;

    std::vector<double> singleMs;
    {
        std::atomic<bool> done{false};
        std::thread single(runSequential, port, token, 100, std::ref(singleMs), std::ref(done));
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        single.join();
    }

    std::vector<Request> requests;
    std::atomic<bool> finished{false};
    QElapsedTimer wall;
    wall.start();
    std::thread clients(runClients, port, token, std::ref(requests), std::ref(finished));
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    clients.join();
    const qint64 wallMs = wall.elapsed();

    remote.disable();
    // Let closed connections and the listener be deleted.
    QElapsedTimer settle;
    settle.start();
    while ((remote.connectionCount() > 0 || settle.elapsed() < 200) && settle.elapsed() < 5000) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const int descriptorsAfter = openDescriptors();

    std::vector<double> pageMs;
    int pagesOk = 0;
    int decisionsOk = 0;
    for (const Request& request : requests) {
        if (request.decision < 0) {
            if (request.done && request.response.starts_with("HTTP/1.1 200 OK") && complete(request.response)) {
                ++pagesOk;
                pageMs.push_back(request.ms);
            }
        } else if (request.done && request.response.ends_with("\r\n\r\nok")) {
            ++decisionsOk;
        }
    }
    int delivered = 0;
    for (int n = 0; n < decisions; ++n) {
        const auto decision = boxes[static_cast<std::size_t>(n)]->decision();
        const bool allow = n % 2 == 0;
        if (decision && decision->behavior == (allow ? Vorlix::Behavior::allow : Vorlix::Behavior::deny) &&
            decision->message == (allow ? SessionStore::phoneAllowMessage : SessionStore::phoneDenyMessage))
            ++delivered;
    }

    const double p50 = percentile(pageMs, 0.50);
    const double p99 = percentile(pageMs, 0.99);
    std::printf("page of %d gates: %lld bytes, built in %.0f us\n", heldGates, static_cast<long long>(pageBytes.size()),
                buildUs);
    std::printf("pages answered: %d/%d in %lld ms wall\n", pagesOk, pageRequests, static_cast<long long>(wallMs));
    std::printf("page latency: p50 %.1f ms, p99 %.1f ms, max %.1f ms (goal p99 <= 50 ms: %s)\n", p50, p99,
                percentile(pageMs, 1.0), p99 <= 50 ? "met" : "MISSED");
    std::printf("one request at a time: p50 %.2f ms, p99 %.2f ms; 500 at once p99 / single p50 = %.0fx\n",
                percentile(singleMs, 0.50), percentile(singleMs, 0.99), p99 / percentile(singleMs, 0.50));
    std::printf("decisions answered ok: %d/%d; reached their gates: %d/%d (%s)\n", decisionsOk, decisions, delivered,
                decisions, delivered == decisions ? "all" : "MISSING");
    std::printf("gates still held: %lld\n", static_cast<long long>(store.gates().size()));
    std::printf("open descriptors: before %d, after %d (%s)\n", descriptorsBefore, descriptorsAfter,
                descriptorsAfter <= descriptorsBefore ? "none leaked" : "LEAKED");
    return 0;
}
