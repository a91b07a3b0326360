#include "sessions/PlanFile.h"

#include "JSONValue.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Opened without blocking and checked on the open descriptor, so a file swapped for a FIFO after a look at its
// name is still refused.
bool openRegular(const QString& path, QFile& file) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
} // namespace

std::optional<QString> PlanFile::forTranscript(const QString& transcript) {
    const std::optional<QString> path = pathIn(transcript);
    return path ? read(*path) : std::nullopt;
}

std::optional<QString> PlanFile::pathIn(const QString& transcript) {
    QFile file;
    if (!openRegular(transcript, file))
        return std::nullopt;
    std::optional<QString> newest;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        // Only the few plan-mode lines are worth parsing.
        if (!line.contains("\"plan_mode\""))
            continue;
        const auto json = JSONValue::parse(line.toStdString());
        const JSONValue* attachment = json ? json->find("attachment") : nullptr;
        if (attachment == nullptr || attachment->find("type") == nullptr ||
            attachment->find("type")->stringValue() != std::optional<std::string>("plan_mode"))
            continue;
        const JSONValue* path = attachment->find("planFilePath");
        if (const auto text = path ? path->stringValue() : std::nullopt; text && text->starts_with('/'))
            newest = QString::fromStdString(*text);
    }
    return newest;
}

std::optional<QString> PlanFile::read(const QString& path) {
    QFile file;
    if (!openRegular(path, file))
        return std::nullopt;
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (bytes.size() <= maxBytes)
        return QString::fromUtf8(bytes);
    // Back up to the start of the character the cut falls in.
    qsizetype cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return QString::fromUtf8(bytes) + QString::fromUtf8(cutMarker);
}
