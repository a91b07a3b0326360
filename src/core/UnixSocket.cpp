#include "UnixSocket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace UnixSocket {

namespace {
const char* kindWords(Error::Kind kind) {
    switch (kind) {
    case Error::Kind::socketFailed:
        return "socket failed";
    case Error::Kind::connectFailed:
        return "connect failed";
    case Error::Kind::bindFailed:
        return "bind failed";
    case Error::Kind::listenFailed:
        return "listen failed";
    case Error::Kind::pathTooLong:
        return "socket path too long";
    case Error::Kind::closed:
        return "connection closed";
    case Error::Kind::lineTooLong:
        return "line too long";
    }
    return "connection closed";
}

bool carriesErrno(Error::Kind kind) {
    return kind != Error::Kind::pathTooLong && kind != Error::Kind::closed && kind != Error::Kind::lineTooLong;
}

// mkdir -p, private whatever the umask: whoever can write to the folder can replace the socket. Failures are
// left for the bind to report.
void makeParents(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
        ::mkdir(file.substr(0, slash).c_str(), 0700);
}

int newSocket() {
    // Close-on-exec so that children the application starts (git) never inherit the socket.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw Error(Error::Kind::socketFailed, errno);
    return fd;
}

// Closes the descriptor on any failure after its creation, so nothing leaks to the caller.
template <typename Call> void orClose(int fd, Error::Kind kind, Call call) {
    if (call() == 0)
        return;
    int err = errno;
    ::close(fd);
    throw Error(kind, err);
}
} // namespace

namespace {
// The address for a socket just created: on a path that does not fit, the socket is closed before throwing.
sockaddr_un addressOrClose(int fd, std::string_view path) {
    try {
        return makeAddr(path);
    } catch (...) {
        ::close(fd);
        throw;
    }
}
} // namespace

Error::Error(Kind kind, int err) : m_kind(kind), m_errno(err), m_text(kindWords(kind)) {
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on the temporary string a chain of + builds.
    if (carriesErrno(kind)) {
        m_text += ": ";
        m_text += std::system_category().message(err);
    }
}

sockaddr_un makeAddr(std::string_view path) {
    if (path.size() > maxPathBytes)
        throw Error(Error::Kind::pathTooLong);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    addr.sun_path[path.size()] = '\0';
    return addr;
}

int connect(std::string_view path) {
    const int fd = newSocket();
    const sockaddr_un addr = addressOrClose(fd, path);
    orClose(fd, Error::Kind::connectFailed,
            [&] { return ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr); });
    return fd;
}

int listen(std::string_view path, int backlog) {
    std::string file(path);
    makeParents(file);
    ::unlink(file.c_str());
    const int fd = newSocket();
    const sockaddr_un addr = addressOrClose(fd, path);
    orClose(fd, Error::Kind::bindFailed,
            [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr); });
    orClose(fd, Error::Kind::listenFailed, [&] { return ::listen(fd, backlog); });
    ::chmod(file.c_str(), 0600);
    return fd;
}

void writeLine(int fd, std::string_view data) {
    std::string buffer;
    buffer.reserve(data.size() + 1);
    buffer.append(data);
    buffer.push_back('\n');
    std::size_t written = 0;
    while (written < buffer.size()) {
        ssize_t n = ::send(fd, buffer.data() + written, buffer.size() - written, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, buffer.data() + written, buffer.size() - written);
        if (n <= 0)
            throw Error(Error::Kind::closed);
        written += static_cast<std::size_t>(n);
    }
}

std::optional<std::string> readLine(int fd, std::size_t maxBytes) {
    std::string line;
    char chunk[4096];
    bool peekable = true;
    for (;;) {
        // Peek a chunk, then consume exactly up to the newline: the bytes after it stay unread.
        ssize_t n = peekable ? ::recv(fd, chunk, sizeof chunk, MSG_PEEK) : ::read(fd, chunk, 1);
        if (n < 0 && peekable && errno == ENOTSOCK) {
            peekable = false;
            continue;
        }
        if (n < 0)
            throw Error(Error::Kind::closed);
        if (n == 0) {
            if (line.empty())
                return std::nullopt;
            return line;
        }
        std::size_t available = static_cast<std::size_t>(n);
        const char* newline = static_cast<const char*>(std::memchr(chunk, '\n', available));
        std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - chunk) + 1 : available;
        if (line.size() + take - (newline != nullptr ? 1 : 0) > maxBytes)
            throw Error(Error::Kind::lineTooLong);
        if (peekable) {
            ssize_t consumed = ::recv(fd, chunk, take, 0);
            if (consumed != static_cast<ssize_t>(take))
                throw Error(Error::Kind::closed);
        }
        if (newline != nullptr) {
            line.append(chunk, take - 1);
            return line;
        }
        line.append(chunk, take);
    }
}

} // namespace UnixSocket
