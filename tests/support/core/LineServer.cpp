#include "LineServer.h"

#include "UnixSocket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

LineServer::LineServer(const std::string& path, Responder responder) : m_path(path), m_responder(std::move(responder)) {
    m_listenFD = UnixSocket::listen(path, 64);
    m_wakeFD = ::eventfd(0, EFD_CLOEXEC);
    m_thread = std::thread([this] { loop(); });
}

LineServer::~LineServer() {
    ::eventfd_write(m_wakeFD, 1);
    m_thread.join();
    ::close(m_listenFD);
    ::close(m_wakeFD);
    ::unlink(m_path.c_str());
}

void LineServer::loop() {
    for (;;) {
        pollfd fds[2] = {{m_listenFD, POLLIN, 0}, {m_wakeFD, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        int fd = ::accept(m_listenFD, nullptr, nullptr);
        if (fd < 0)
            continue;
        try {
            // A reply that cannot be written still leaves its line counted.
            if (const std::optional<std::string> line = UnixSocket::readLine(fd)) {
                {
                    std::lock_guard guard(m_mutex);
                    m_lines.push_back(*line);
                }
                if (const auto reply = m_responder(*line))
                    UnixSocket::writeLine(fd, *reply);
            }
        } catch (const UnixSocket::Error&) {
        }
        ::close(fd);
        m_changed.notify_all();
    }
}

std::vector<std::string> LineServer::lines() {
    std::lock_guard guard(m_mutex);
    return m_lines;
}

bool LineServer::waitForLines(std::size_t n, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_lines.size() >= n; });
}
