#include "hookserver/Server.h"

#include "Event.h"
#include "Paths.h"
#include "hookserver/GateBox.h"
#include "hookserver/InstanceProbe.h"
#include "sessions/SessionStore.h"
#include "support/Log.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t connectionStack = 1024 * 1024;
#else
// Touched pages are what costs; a held gate touches very little of this.
constexpr std::size_t connectionStack = 256 * 1024;
#endif

// Thousands of held gates each keep a descriptor open.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

struct ThreadStart {
    int fd;
    std::shared_ptr<void> shared;
    std::function<void()> run;
};

void* threadMain(void* argument) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    start->run();
    return nullptr;
}
} // namespace

Server::Server(SessionStore* store, double gateTimeout, Post post, std::string path)
    : m_store(store), m_path(path.empty() ? Vorlix::socketPath() : std::move(path)),
      m_shared(std::make_shared<Shared>()) {
    m_shared->gateTimeout = gateTimeout;
    if (post) {
        m_shared->post = std::move(post);
    } else {
        // The application object outlives every connection; the tasks themselves check that the store is alive.
        // Tasks queue up and one posted call drains them all: under load the main thread wakes once per batch,
        // not once per hook.
        struct MainQueue {
            std::mutex lock;
            std::deque<std::function<void()>> tasks;
        };
        auto queue = std::make_shared<MainQueue>();
        m_shared->post = [queue](std::function<void()> task) {
            {
                std::lock_guard guard(queue->lock);
                queue->tasks.push_back(std::move(task));
                if (queue->tasks.size() > 1)
                    return;
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [queue] {
                    for (;;) {
                        std::deque<std::function<void()>> batch;
                        {
                            std::lock_guard guard(queue->lock);
                            if (queue->tasks.empty())
                                return;
                            batch.swap(queue->tasks);
                            // Keep one placeholder so posts during this batch do not schedule another drain.
                            queue->tasks.push_back(nullptr);
                        }
                        for (auto& task : batch) {
                            if (task)
                                task();
                        }
                        std::lock_guard guard(queue->lock);
                        queue->tasks.pop_front();
                        if (queue->tasks.empty())
                            return;
                    }
                },
                Qt::QueuedConnection);
        };
    }
}

Server::~Server() {
    stopAccepting();
    const int fd = m_listenFD.exchange(-1);
    if (fd >= 0)
        ::close(fd);
    if (m_wakeFD >= 0)
        ::close(m_wakeFD);
}

void Server::start() {
    bindAndAccept();
    Log::line(QStringLiteral("Vorlix Agents listening on ") + QString::fromStdString(m_path));
}

void Server::bindAndAccept() {
    raiseDescriptorLimit();
    // Without the wake-up descriptor the accept thread could never be stopped: better not to listen at all.
    if (m_wakeFD < 0)
        m_wakeFD = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFD < 0)
        throw UnixSocket::Error(UnixSocket::Error::Kind::socketFailed, errno);
    // Taking over a live socket would leave its application deaf, with every hook failing open unseen.
    const InstanceProbe::Result there = InstanceProbe::probe(m_path);
    if (there.state == InstanceProbe::State::running)
        throw Refused(QStringLiteral("Vorlix Agents is already running (pid %1)").arg(there.pid).toStdString());
    if (there.state == InstanceProbe::State::blocked)
        throw Refused((QString::fromStdString(m_path) + QStringLiteral(" is ") + there.what +
                       QStringLiteral(", not a socket; move it away"))
                          .toStdString());
    const int fd = UnixSocket::listen(m_path, 32);
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
    }
    // Accepted connections stay blocking (accept4 does not inherit the flag); only the listener is drained.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_listenFD = fd;
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

bool Server::holdsPath() const {
    struct stat info {};
    return m_listenFD.load() >= 0 && ::lstat(m_path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_dev == m_device && info.st_ino == m_inode;
}

void Server::rebind() {
    stopAccepting();
    closeListenerAndFile();
    std::uint64_t pending = 0;
    // The wake-up that stopped the old accept thread must not stop the new one.
    [[maybe_unused]] ssize_t drained = ::read(m_wakeFD, &pending, sizeof pending);
    bindAndAccept();
}

void Server::stopAccepting() {
    if (!m_acceptThread.joinable())
        return;
    const std::uint64_t one = 1;
    // A thread blocked in accept() is not woken by close(); the eventfd is polled beside the listener.
    [[maybe_unused]] ssize_t ignored = ::write(m_wakeFD, &one, sizeof one);
    m_acceptThread.join();
}

void Server::closeListenerAndFile() {
    const int fd = m_listenFD.exchange(-1);
    if (fd < 0)
        return;
    ::close(fd);
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        ::unlink(m_path.c_str());
}

void Server::shutdown() {
    stopAccepting();
    closeListenerAndFile();
}

void Server::acceptLoop() {
    for (;;) {
        const int listener = m_listenFD.load();
        if (listener < 0)
            return;
        pollfd fds[2] = {{listener, POLLIN, 0}, {m_wakeFD, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            // A listener nobody polls is as deaf as one nobody accepts on.
            Log::line(QStringLiteral("Vorlix Agents: poll failed (errno %1); no longer listening").arg(err));
            closeListenerAndFile();
            return;
        }
        if (fds[1].revents != 0)
            return;
        // Drain every pending connection before polling again: a burst of hooks costs one poll, not one each.
        int fd;
        while ((fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0)
            dispatch(fd, m_shared, m_store);
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == ECONNABORTED)
            continue;
        if (err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM) {
            // Out of descriptors for now: held gates will give some back.
            pollfd wake{m_wakeFD, POLLIN, 0};
            if (::poll(&wake, 1, 100) > 0)
                return;
            continue;
        }
        // Anything else is permanent: let bridges fail open instead of waiting on a deaf socket.
        Log::line(QStringLiteral("Vorlix Agents: accept failed (errno %1); no longer listening").arg(err));
        closeListenerAndFile();
        return;
    }
}

void Server::dispatch(int fd, const std::shared_ptr<Shared>& shared, const QPointer<SessionStore>& store) {
    shared->active.fetch_add(1);
    {
        std::lock_guard guard(shared->poolLock);
        if (shared->idle > static_cast<int>(shared->pending.size())) {
            shared->pending.push_back(fd);
            shared->poolWake.notify_one();
            return;
        }
    }
    auto* start = new ThreadStart{fd, shared, [fd, shared, store] { work(fd, shared, store); }};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, connectionStack);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, threadMain, start);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        shared->active.fetch_sub(1);
        delete start;
        ::close(fd);
    }
}

void Server::work(int fd, const std::shared_ptr<Shared>& shared, const QPointer<SessionStore>& store) {
    for (;;) {
        handle(fd, *shared, store);
        std::unique_lock lock(shared->poolLock);
        if (shared->idle >= maxIdleWorkers)
            return;
        ++shared->idle;
        const bool woken =
            shared->poolWake.wait_for(lock, std::chrono::seconds(30), [&] { return !shared->pending.empty(); });
        --shared->idle;
        if (!woken)
            return;
        fd = shared->pending.front();
        shared->pending.pop_front();
    }
}

void Server::handle(int fd, Shared& shared, const QPointer<SessionStore>& store) {
    struct Done {
        int fd;
        Shared& shared;
        ~Done() {
            ::close(fd);
            shared.active.fetch_sub(1);
        }
    } done{fd, shared};

    std::optional<std::string> line;
    try {
        line = UnixSocket::readLine(fd, UnixSocket::maxRequestBytes);
    } catch (const UnixSocket::Error& e) {
        // Any same-user client can connect: one that never ends its line is dropped at the cap, not buffered.
        if (e.kind() == UnixSocket::Error::Kind::lineTooLong)
            Log::line(QStringLiteral("Vorlix Agents: dropped a request line longer than %1 bytes")
                          .arg(UnixSocket::maxRequestBytes));
        return;
    }
    if (!line)
        return;
    auto event = Vorlix::Event::fromLine(*line);
    if (!event)
        return;

    if (!event->gating) {
        shared.post([store, event = std::move(*event)] {
            if (store)
                store->apply(event);
        });
        return;
    }

    auto box = std::make_shared<GateBox>();
    const QString id = QString::fromStdString(event->id);
    shared.post([store, box, event = *event] {
        if (store)
            store->openGate(event, box);
    });
    // The wait also watches the connection: a bridge that hangs up (killed, answered in its own terminal, its
    // agent gone) ends the gate at once, with no decision to send.
    const std::optional<Vorlix::Decision> decision = box->wait(std::chrono::duration<double>(shared.gateTimeout), fd);
    shared.post([store, id] {
        if (store)
            store->closeGate(id);
    });
    if (!decision)
        return;
    try {
        UnixSocket::writeLine(fd, decision->toLine());
    } catch (const UnixSocket::Error&) {
        // The bridge went away; nothing to tell.
    }
}
