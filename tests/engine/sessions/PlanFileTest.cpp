#include "sessions/PlanFile.h"
#include "BridgeProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
const QByteArray fixturePlan = "/home/dev/.claude/plans/please-create-the-marker-purring-ripple.md";

// The real plan-mode transcript naming `older`, then one more of its plan-mode lines naming `newer`.
QString transcriptFor(const QTemporaryDir& dir, const QString& older, const QString& newer) {
    QByteArray text = QByteArray::fromStdString(readFixture("claude/plan/transcript.jsonl"));
    QByteArray line;
    for (const QByteArray& each : text.split('\n')) {
        if (each.contains(fixturePlan))
            line = each;
    }
    text += QByteArray(line).replace(fixturePlan, newer.toUtf8()) + '\n';
    const QString path = dir.filePath("session.jsonl");
    TestFiles::write(path, text.replace(fixturePlan, older.toUtf8()));
    return path;
}
} // namespace

// The newest plan file of the transcript is read, bounded, and only when it is a regular file: a FIFO, a folder or
// a device would block the main thread or never end.
TEST(PlanFile, OnlyARegularFileIsReadAndNeverPastTheCap) {
    QTemporaryDir dir;
    const QString older = dir.filePath("older.md"), plan = dir.filePath("plan.md");
    TestFiles::write(older, "# Old plan");
    const QString transcript = transcriptFor(dir, older, plan);
    EXPECT_EQ(PlanFile::pathIn(transcript), plan);

    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    // "é" straddles the cap: the cut falls before it.
    const QByteArray big = QByteArray(PlanFile::maxBytes - 1, 'x') + "\xC3\xA9" + QByteArray(5000, 'y');
    const QByteArray exact(PlanFile::maxBytes, 'z');
    const QString marker = QString::fromUtf8(PlanFile::cutMarker);
    const std::tuple<const char*, std::optional<QByteArray>, std::optional<QString>> cases[] = {
        {"plan.md", QByteArray("# Plan\n\n1. Write the marker\n"), QString("# Plan\n\n1. Write the marker\n")},
        {"big.md", big, QString(PlanFile::maxBytes - 1, 'x') + marker},
        {"exact.md", exact, QString(exact)},
        {"fifo", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"missing.md", std::nullopt, std::nullopt},
        {"/dev/zero", std::nullopt, std::nullopt},
    };
    for (const auto& [name, bytes, read] : cases) {
        const QString path = QDir(dir.path()).filePath(QString::fromUtf8(name));
        if (bytes)
            TestFiles::write(path, *bytes);
        EXPECT_EQ(PlanFile::read(path), read) << name;
    }
    EXPECT_EQ(PlanFile::pathIn(dir.filePath("fifo")), std::nullopt) << "a FIFO transcript is not waited on";
}
