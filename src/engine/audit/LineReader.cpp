#include "audit/LineReader.h"

#include "support/FileIO.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

LineReader::Status LineReader::forEachLine(const QString& path, const std::function<void(std::string_view)>& each,
                                           QString* error) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    // Checked before opening too: opening a device can have effects of its own.
    if (::stat(native.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Status::missing : Status::failed;
    if (!S_ISREG(info.st_mode))
        return Status::notRegular;
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0)
                ::close(fd);
        }
    } const file{::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    const int fd = file.fd;
    if (fd < 0) {
        if (error != nullptr)
            *error = FileIO::errorText(errno);
        return Status::failed;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Status::notRegular;

    std::unique_ptr<char[]> chunk(new char[chunkBytes]);
    std::string partial;
    for (;;) {
        const ssize_t n = ::read(fd, chunk.get(), chunkBytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error != nullptr)
                *error = FileIO::errorText(errno);
            return Status::failed;
        }
        if (n == 0)
            break;
        std::string_view rest(chunk.get(), static_cast<std::size_t>(n));
        for (std::size_t newline = rest.find('\n'); newline != std::string_view::npos; newline = rest.find('\n')) {
            // A line wholly inside the chunk is handed over without a copy.
            if (partial.empty()) {
                if (newline > 0)
                    each(rest.substr(0, newline));
            } else {
                partial.append(rest.substr(0, newline));
                each(partial);
                partial.clear();
            }
            rest.remove_prefix(newline + 1);
        }
        partial.append(rest);
    }
    if (!partial.empty())
        each(partial);
    return Status::ok;
}
