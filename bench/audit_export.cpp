// Exports a journal of 200 000 entries over 30 day files and compares it with only reading the same bytes.
#include "audit/AuditLog.h"
#include "support/AppIdentity.h"
#include "support/AppPaths.h"
#include "support/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int entryCount = 200000;
constexpr int dayCount = 30;
constexpr int rounds = 3;
constexpr double goal = 200000;

const char* const agents[] = {"claude", "codex", "grok", "kiro"};
const char* const kinds[] = {"tool", "tool", "tool", "approved", "denied", "auto-allowed", "auto-denied"};
const char* const tools[] = {"Bash", "Read", "Edit", "Write", "Grep", "mcp__github__create_issue"};
const char* const details[] = {
    "ls -la",
    "/home/dev/work/src/engine/SessionStore.cpp",
    "git commit -m \"Fix the \\\"flaky\\\" test\" && git push origin HEAD",
    "rm -rf build && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug && cmake --build build -j8",
    "curl -fsSL https://example.com/install.sh | sh",
    "",
};

// Deterministic, varied entries; one in three without a risk, as tool runs have none.
QByteArray journalLine(int i, const QDateTime& day) {
    AuditEntry e;
    e.ts = day.addSecs((i * 7) % 86000);
    e.agent = QString::fromLatin1(agents[i % 4]);
    e.sessionID = QStringLiteral("0bef23a7-e4a0-46ed-9f71-%1").arg(i % 97, 12, 10, QLatin1Char('0'));
    e.project = i % 11 == 0 ? QStringLiteral("client, legacy") : QStringLiteral("vorlix-agents");
    e.kind = QString::fromLatin1(kinds[i % 7]);
    e.tool = QString::fromLatin1(tools[i % 6]);
    e.detail = QString::fromLatin1(details[i % 6]);
    if (e.kind != QLatin1String("tool"))
        e.risk = i % 4;
    return *e.toJson() + '\n';
}

QList<QString> generate(const QString& folder) {
    QDir().mkpath(folder);
    QList<QString> files;
    const QDateTime first = QDateTime::fromString(QStringLiteral("2026-02-01T00:00:00Z"), Qt::ISODate);
    for (int d = 0; d < dayCount; ++d) {
        const QDateTime day = first.addDays(d);
        const int from = entryCount * d / dayCount;
        const int to = entryCount * (d + 1) / dayCount;
        QByteArray text;
        for (int i = from; i < to; ++i)
            text += journalLine(i, day);
        const QString path = folder + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd")) + ".jsonl";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return {};
        files << path;
    }
    return files;
}

// The floors: reading the same files' bytes raw, and that plus writing a file as large as the export
// atomically (the I/O no export can avoid).
bool readRaw(const QList<QString>& files, qint64* bytes) {
    *bytes = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        *bytes += file.readAll().size();
    }
    return true;
}

bool readRawAndWrite(const QList<QString>& files, qint64 outputSize, const QString& target) {
    qint64 bytes = 0;
    if (!readRaw(files, &bytes))
        return false;
    const QByteArray output(outputSize, 'x');
    QSaveFile out(target);
    return out.open(QIODevice::WriteOnly) && out.write(output) == output.size() && out.commit();
}

// This thread's CPU time: on a shared machine wall time also counts other programs' turns.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double best(const QList<double>& seconds) {
    return *std::min_element(seconds.begin(), seconds.end());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    // Never the real home: the journal and the desktop export both land in a fresh folder.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vb-audit-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home\n");
        return 1;
    }
    qputenv("HOME", home.path().toUtf8());
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_DATA_HOME"})
        qunsetenv(name);

    const QList<QString> files = generate(AppPaths::auditDir());
    if (files.size() != dayCount) {
        std::fprintf(stderr, "cannot write the day files\n");
        return 1;
    }
    const ManualClock clock(QDateTime::fromString(QStringLiteral("2026-01-01T00:00:00Z"), Qt::ISODate));
    const AuditLog log(AppPaths::auditDir(), clock);

    QList<double> exportTimes;
    QList<double> exportCpuTimes;
    QList<double> readTimes;
    QList<double> ioTimes;
    qint64 bytes = 0;
    qint64 csvBytes = 0;
    const auto seconds = [](const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; };
    for (int round = 0; round <= rounds; ++round) { // round 0 warms the page cache and checks the result
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuSeconds();
        const auto path = log.exportCSV();
        const double exportedCpu = cpuSeconds() - cpuStart;
        const double exported = seconds(timer);
        if (!path) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        if (round == 0) {
            QFile csv(*path);
            const QByteArray text = csv.open(QIODevice::ReadOnly) ? csv.readAll() : QByteArray();
            if (text.count('\n') != entryCount) {
                std::fprintf(stderr, "export did not hold %d rows\n", entryCount);
                return 1;
            }
            csvBytes = text.size();
        }
        timer.restart();
        const bool read = readRaw(files, &bytes);
        const double readOnly = seconds(timer);
        timer.restart();
        const bool io = readRawAndWrite(files, csvBytes, home.path() + QStringLiteral("/floor.csv"));
        const double readWrite = seconds(timer);
        if (!read || !io) {
            std::fprintf(stderr, "the floor could not run\n");
            return 1;
        }
        if (round == 0)
            continue;
        exportTimes << exported;
        exportCpuTimes << exportedCpu;
        readTimes << readOnly;
        ioTimes << readWrite;
    }

    const auto rate = [](const QList<double>& times) { return entryCount / best(times); };
    std::printf("journal: %d entries in %d day files, %.1f MB; export %.1f MB\n", entryCount, dayCount,
                static_cast<double>(bytes) / 1e6, static_cast<double>(csvBytes) / 1e6);
    std::printf("%-30s %11.0f entries/s  (best of %d: %.3f s)\n", "export CSV, wall time:", rate(exportTimes), rounds,
                best(exportTimes));
    std::printf("%-30s %11.0f entries/s  (%.3f s)\n", "export CSV, CPU time:", rate(exportCpuTimes),
                best(exportCpuTimes));
    std::printf("%-30s %11.0f entries/s  (%.3f s)\n", "floor, raw read:", rate(readTimes), best(readTimes));
    std::printf("%-30s %11.0f entries/s  (%.3f s)\n", "floor, raw read + same write:", rate(ioTimes), best(ioTimes));
    std::printf("export / (read + write) time: %.1fx\n", best(exportTimes) / best(ioTimes));
    std::printf("goal >= %.0f entries/s (wall time): %s\n", goal, rate(exportTimes) >= goal ? "met" : "NOT met");
    return 0;
}
