#pragma once

#include "UnixSocket.h"

#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <thread>

class SessionStore;

/// The application's end of the hook socket: one accept thread, one thread per connection. Every touch of the
/// store is a task posted to the main thread; a gating connection blocks its own thread on the gate's box.
class Server final {
public:
    class Refused : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };
    /// Runs a task on the main thread, later.
    using Post = std::function<void(std::function<void()>)>;

    static constexpr double gateTimeoutSeconds = 86000;

    /// `post` defaults to a queued call on the store's thread; tests inject their own queue.
    explicit Server(SessionStore* store, double gateTimeout = gateTimeoutSeconds, Post post = {},
                    std::string path = {});
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    /// Listens and starts accepting; throws UnixSocket::Error, or Refused when the path is not ours to take: a
    /// running application answers there, or something other than a socket sits on it. A stale socket is replaced.
    void start();
    /// The socket file is still the one we bound (not removed, not replaced).
    bool holdsPath() const;
    /// Stops accepting and binds again; held gates keep their connections. Throws like start().
    void rebind();
    int listenFD() const { return m_listenFD.load(); }
    const std::string& path() const { return m_path; }
    /// On quit: close the listener and delete the socket file, but only if the file is still the one we bound
    /// (a newer instance may have taken the path over).
    void shutdown();
    /// Connections being handled right now (held gates included).
    int activeConnections() const { return m_shared->active.load(); }

private:
    // Finished workers wait a while for the next connection instead of exiting: creating a thread per hook
    // costs more than handling the hook. A worker held by a gate never blocks the others; new ones are made.
    struct Shared {
        Post post;
        double gateTimeout = gateTimeoutSeconds;
        std::atomic<int> active{0};
        std::mutex poolLock;
        std::condition_variable poolWake;
        std::deque<int> pending;
        int idle = 0;
    };
    static constexpr int maxIdleWorkers = 16;

    void bindAndAccept();
    void acceptLoop();
    void stopAccepting();
    void closeListenerAndFile();
    static void handle(int fd, Shared& shared, const QPointer<SessionStore>& store);
    static void work(int fd, const std::shared_ptr<Shared>& shared, const QPointer<SessionStore>& store);
    static void dispatch(int fd, const std::shared_ptr<Shared>& shared, const QPointer<SessionStore>& store);

    QPointer<SessionStore> m_store;
    std::string m_path;
    std::shared_ptr<Shared> m_shared;
    std::atomic<int> m_listenFD{-1};
    int m_wakeFD = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::thread m_acceptThread;
};
