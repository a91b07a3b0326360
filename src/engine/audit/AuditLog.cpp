#include "audit/AuditLog.h"

#include "audit/LineReader.h"

#include "Source.h"
#include "support/FileIO.h"
#include "support/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char csvHeader[] = "timestamp,agent,project,event,tool,risk,detail";

// Appends to the end whatever else the file holds. A file left without a final line feed (a write cut short)
// gets one first, so the cut line cannot swallow this record too.
bool appendLine(const QString& path, QByteArray line) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    if (info.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
            line.prepend('\n');
    }
    const char* data = line.constData();
    qsizetype left = line.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0 && errno != EINTR)
        ok = false;
    return ok;
}

bool needsQuotes(std::string_view field) {
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

void appendQuoted(QByteArray& out, std::string_view field) {
    out += '"';
    size_t start = 0;
    for (size_t quote = field.find('"'); quote != std::string_view::npos; quote = field.find('"', start)) {
        out.append(field.data() + start, static_cast<qsizetype>(quote + 1 - start));
        out += '"';
        start = quote + 1;
    }
    out.append(field.data() + start, static_cast<qsizetype>(field.size() - start));
    out += '"';
}

// Plain fields stay as they are; one holding a separator, a quote or a line break is quoted so the row survives.
void appendField(QByteArray& out, std::string_view field) {
    if (needsQuotes(field))
        appendQuoted(out, field);
    else
        out.append(field.data(), static_cast<qsizetype>(field.size()));
}

} // namespace

int AuditLog::Score::trust() const {
    const qint64 asked = approved + denied;
    return asked == 0 ? 100 : static_cast<int>(approved * 100 / asked);
}

AuditLog::AuditLog(QString folder, const Clock& clock, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_clock(clock) {
    load();
}

QString AuditLog::dayFilePath(const QDateTime& ts) const {
    FileIO::makePrivateDir(m_folder);
    const QDate day = m_clock.local(ts).date();
    return m_folder + QLatin1Char('/') + QString::asprintf("%04d-%02d-%02d.jsonl", day.year(), day.month(), day.day());
}

void AuditLog::load() {
    const QString path = dayFilePath(m_clock.now());
    // Line by line and uncapped: a damaged line costs only itself, and a big day is still a day. Anything but a
    // regular file is passed over and left where it is.
    QString error;
    const LineReader::Status status = LineReader::forEachLine(
        path,
        [this](std::string_view line) {
            if (auto entry = AuditEntry::fromJson(line))
                m_today.append(std::move(*entry));
        },
        &error);
    if (status == LineReader::Status::notRegular)
        Log::line(QStringLiteral("Vorlix Agents: journal %1 is not a regular file; not read").arg(path));
    else if (status == LineReader::Status::failed)
        Log::line(QStringLiteral("Vorlix Agents: journal %1 could not be read (%2)").arg(path, error));
    std::reverse(m_today.begin(), m_today.end());
}

bool AuditLog::record(const AuditEntry& entry) {
    m_today.prepend(entry);
    if (m_today.size() > todayLimit)
        m_today.removeLast();
    emit todayChanged();

    auto line = entry.toJson();
    if (!line)
        return false;
    line->append('\n');
    return appendLine(dayFilePath(entry.ts), *line);
}

QList<AuditLog::Score> AuditLog::scoreboard() const {
    QList<Score> scores;
    QHash<QString, qsizetype> index;
    for (const AuditEntry& entry : m_today) {
        auto found = index.constFind(entry.agent);
        if (found == index.constEnd()) {
            found = index.insert(entry.agent, scores.size());
            scores.append(Score{entry.agent, displayName(entry.agent)});
        }
        Score& score = scores[*found];
        if (entry.kind == AuditKind::tool) {
            ++score.toolsRun;
        } else if (entry.kind == AuditKind::approved) {
            ++score.approved;
        } else if (entry.kind == AuditKind::denied || entry.kind == AuditKind::autoDenied) {
            ++score.denied;
        } else if (entry.kind == AuditKind::autoAllowed) {
            ++score.autoAllowed;
            ++score.approved;
        }
        if (entry.risk && *entry.risk >= 2)
            ++score.risky;
    }
    std::stable_sort(scores.begin(), scores.end(),
                     [](const Score& a, const Score& b) { return a.toolsRun > b.toolsRun; });
    return scores;
}

qint64 AuditLog::clicksSaved() const {
    return std::count_if(m_today.begin(), m_today.end(),
                         [](const AuditEntry& entry) { return entry.kind.startsWith(QLatin1String("auto")); });
}

QString AuditLog::displayName(const QString& agent) {
    const QByteArray raw = agent.toUtf8();
    if (const auto source = Vorlix::sourceFromRaw(std::string_view(raw.constData(), static_cast<size_t>(raw.size())))) {
        const std::string_view name = Vorlix::displayName(*source);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return agent;
}

QString AuditLog::exportPath() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/') +
           QLatin1String(exportFileName);
}

void AuditLog::appendRow(QByteArray& out, std::string_view line, AuditEntry::Raw& raw) {
    if (!AuditEntry::readRaw(line, raw))
        return;
    // Lines we wrote pass straight through; another spelling of a moment is written in ours.
    std::optional<QByteArray> respelled;
    if (!AuditEntry::isWrittenForm(raw.ts)) {
        const auto ts = AuditEntry::fromIsoText(raw.ts);
        respelled = ts ? AuditEntry::isoText(*ts) : std::nullopt;
        if (!respelled)
            return;
    }
    out += '\n';
    if (respelled)
        out += *respelled;
    else
        out.append(raw.ts.data(), static_cast<qsizetype>(raw.ts.size()));
    out += ',';
    appendField(out, raw.agent);
    out += ',';
    appendField(out, raw.project);
    out += ',';
    appendField(out, raw.kind);
    out += ',';
    appendField(out, raw.tool);
    out += ',';
    char risk[16];
    const auto end = std::to_chars(risk, risk + sizeof risk, raw.risk.value_or(-1)).ptr;
    out.append(risk, end - risk);
    out += ',';
    appendQuoted(out, raw.detail);
}

std::optional<QString> AuditLog::exportCSV() const {
    FileIO::makePrivateDir(m_folder);
    const QDir dir(m_folder);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    QStringList names = dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files | QDir::Hidden, QDir::NoSort);
    // Text order of "yyyy-MM-dd" is date order.
    std::sort(names.begin(), names.end());

    const QString path = exportPath();
    // The desktop folder is the user's: created as usual when missing. The export is as private as the journal.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly) &&
              (!isNew || file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    // Rows go out a batch at a time, each day file read line by line: memory stays small whatever the journal's
    // size.
    QByteArray out(csvHeader);
    AuditEntry::Raw raw; // its buffers serve every line
    const auto flush = [&] {
        ok = ok && file.write(out) == out.size();
        out.clear();
    };
    for (const QString& name : std::as_const(names)) {
        if (!ok)
            break;
        LineReader::forEachLine(dir.filePath(name), [&](std::string_view line) {
            appendRow(out, line, raw);
            if (out.size() >= qsizetype(LineReader::chunkBytes))
                flush();
        });
    }
    flush();
    if (!ok || !file.commit()) {
        Log::line(QStringLiteral("audit export failed: ") + file.errorString());
        file.cancelWriting();
        return std::nullopt;
    }
    return path;
}
