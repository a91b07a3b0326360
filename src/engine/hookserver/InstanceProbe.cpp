#include "hookserver/InstanceProbe.h"

#include "UnixSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISREG(mode))
        return QStringLiteral("a regular file");
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    return QStringLiteral("a device or other special file");
}
} // namespace

InstanceProbe::Result InstanceProbe::probe(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    if (!S_ISSOCK(info.st_mode))
        return {State::blocked, 0, kindOf(info.st_mode)};
    int fd = -1;
    try {
        fd = UnixSocket::connect(path);
    } catch (const UnixSocket::Error&) {
        return {State::stale, 0, {}};
    }
    ucred credentials{};
    socklen_t size = sizeof credentials;
    const pid_t pid = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
    // Closing without a line is a connection the server drops unanswered.
    ::close(fd);
    return {State::running, pid, {}};
}

QString InstanceProbe::statusLine(const Result& result) {
    if (result.state == State::running)
        return QStringLiteral("Vorlix Agents is running (pid %1)").arg(result.pid);
    return QStringLiteral("Vorlix Agents is not running \u2014 hooks let every call through unanswered");
}
