#include "sessions/FileChange.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString text(const JSONValue& object, std::string_view key) {
    const JSONValue* member = object.find(key);
    const auto value = member ? member->stringValue() : std::nullopt;
    return value ? QString::fromStdString(*value) : QString();
}

bool hasString(const JSONValue& object, std::string_view key) {
    const JSONValue* member = object.find(key);
    return member && member->kind() == JSONValue::Kind::String;
}

bool isEdit(const JSONValue& value) {
    return value.isObject() && hasString(value, "old_string") && hasString(value, "new_string");
}

/// The file a write replaces: its text, or why it cannot be compared. A missing file is an empty text.
struct OldFile {
    std::optional<QString> text;
    QString whyNot;
};

OldFile readOld(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {QString(), {}};
        return {std::nullopt, QStringLiteral("the old one cannot be read")};
    }
    // Never opened unless regular: opening a device or a FIFO can block or have effects of its own.
    if (!S_ISREG(info.st_mode))
        return {std::nullopt, QStringLiteral("the old one is not a regular file")};
    if (info.st_size > FileChange::maxCompared)
        return {std::nullopt, QStringLiteral("the old one is larger than 1 MiB")};
    // Non-blocking all the same: the path may have become something else since stat.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {std::nullopt, QStringLiteral("the old one cannot be read")};
    QByteArray bytes;
    OldFile out{std::nullopt, QStringLiteral("the old one cannot be read")};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        // One byte more than the limit tells a file that grew past it since stat.
        const qint64 limit = FileChange::maxCompared + 1;
        bytes.resize(std::min<qint64>(info.st_size + 1, limit));
        qint64 filled = 0;
        for (;;) {
            if (filled == bytes.size() && bytes.size() < limit)
                bytes.resize(std::min<qint64>(bytes.size() * 2, limit));
            if (filled == bytes.size())
                break;
            const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<std::size_t>(bytes.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                filled = -1;
            if (got <= 0)
                break;
            filled += got;
        }
        if (filled > FileChange::maxCompared)
            out.whyNot = QStringLiteral("the old one is larger than 1 MiB");
        else if (filled >= 0) {
            bytes.truncate(filled);
            if (bytes.contains('\0'))
                out.whyNot = QStringLiteral("the old one is not text");
            else
                out = {QString::fromUtf8(bytes), {}};
        }
    }
    ::close(fd);
    return out;
}

std::optional<FileChange> write(const QString& path, const QString& content, const QString& cwd) {
    const bool relative = QDir::isRelativePath(path);
    OldFile old{QString(), {}};
    if (!path.isEmpty() && relative && cwd.isEmpty())
        old = {std::nullopt, QStringLiteral("its folder is not known")};
    else if (!path.isEmpty())
        old = readOld(relative ? QDir(cwd).filePath(path) : path);
    FileChange change{path, {}};
    const qsizetype count = LineDiff::splitLines(content).size();
    const QString lines = QStringLiteral("%1 %2").arg(count).arg(count == 1 ? "line" : "lines");
    if (!old.text) {
        change.lines.append(
            {DiffLine::Kind::note, QStringLiteral("replaces the whole file (%1); ").arg(lines) + old.whyNot});
        change.lines.append(LineDiff::diff(QString(), content));
        return change;
    }
    change.lines = LineDiff::diff(*old.text, content);
    if (!old.text->isEmpty() && LineDiff::splitLines(*old.text) == LineDiff::splitLines(content))
        change.lines.prepend(
            {DiffLine::Kind::note, QStringLiteral("writes what the file holds already (%1)").arg(lines)});
    return change;
}

} // namespace

std::optional<FileChange> FileChange::from(const QString& tool, const JSONValue& input, const QString& cwd) {
    if (!input.isObject())
        return std::nullopt;
    const QString path = hasString(input, "file_path") ? text(input, "file_path") : text(input, "path");

    if (isEdit(input))
        return FileChange{path, LineDiff::diff(text(input, "old_string"), text(input, "new_string"))};

    if (const JSONValue* edits = input.find("edits"); edits && edits->kind() == JSONValue::Kind::Array) {
        FileChange change{path, {}};
        for (const JSONValue& edit : edits->array()) {
            if (!isEdit(edit))
                return std::nullopt;
            if (!change.lines.isEmpty())
                change.lines.append({DiffLine::Kind::gap, {}});
            change.lines.append(LineDiff::diff(text(edit, "old_string"), text(edit, "new_string")));
        }
        if (!change.lines.isEmpty())
            return change;
        return std::nullopt;
    }

    if (tool.contains(QLatin1String("write"), Qt::CaseInsensitive) && hasString(input, "content"))
        return write(path, text(input, "content"), cwd);
    return std::nullopt;
}
