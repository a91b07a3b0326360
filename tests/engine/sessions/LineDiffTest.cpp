#include "sessions/LineDiff.h"
#include "BridgeProcess.h"
#include "TestFiles.h"
#include "sessions/FileChange.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using K = DiffLine::Kind;

// One letter per line: ' ' unchanged, '-' removed, '+' added, '~' gap; then the text.
QString render(const QList<DiffLine>& lines) {
    QString out;
    for (const DiffLine& line : lines) {
        const char mark = line.kind == K::context   ? ' '
                          : line.kind == K::removed ? '-'
                          : line.kind == K::added   ? '+'
                                                    : '~';
        out += QLatin1Char(mark) + line.text + QLatin1Char('|');
    }
    return out;
}

JSONValue payloadInput(const char* name) {
    const auto payload = JSONValue::parse(readFixture("claude/tools/" + std::string(name)));
    EXPECT_TRUE(payload);
    return payload ? *payload->find("tool_input") : JSONValue();
}

QString numbered(int count, int changedEvery = 0) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1%2\n").arg(i).arg(changedEvery && i % changedEvery == 0 ? "*" : "");
    return text;
}

} // namespace

TEST(LineDiffTest, ShortestScripts) {
    const struct {
        const char* name;
        QString oldText, newText, expected;
    } cases[] = {
        {"identical", "a\nb\n", "a\nb\n", " a| b|"},
        {"both empty", "", "", ""},
        {"line breaks differ only", "a\r\nb\r\n", "a\nb", " a| b|"},
        {"old Mac breaks", "a\rb", "a\nc", " a|-b|+c|"},
        {"pure insertion", "a\nd", "a\nb\nc\nd", " a|+b|+c| d|"},
        {"multi-line change keeps the shared line", "f()\n  x = 1\n  y = 2\nend", "f()\n  x = 3\n  y = 2\n  z\nend",
         " f()|-  x = 1|+  x = 3|   y = 2|+  z| end|"},
        // Each new line right after the old one it replaces, then what is left over.
        {"block replaced", "k\na\nb\nk", "k\nA\nB\nk", " k|-a|+A|-b|+B| k|"},
        {"block shrinks", "a\nb\nc", "A", "-a|+A|-b|-c|"},
        {"block grows", "x = 1", "x = 2\ny = 3\nz = 4", "-x = 1|+x = 2|+y = 3|+z = 4|"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(render(LineDiff::diff(c.oldText, c.newText)), c.expected) << c.name;
}

TEST(LineDiffTest, CompactAndShown) {
    // Changes at lines 3 and 40 of 60: two hunks with two lines of context each, a gap between them.
    QString edited = numbered(60);
    edited.replace("line 3\n", "line three\n").replace("line 40\n", "");
    const auto shown = LineDiff::shown(LineDiff::diff(numbered(60), edited));
    EXPECT_EQ(render(shown.lines), " line 1| line 2|-line 3|+line three| line 4| line 5|~| line 38| line 39|-line 40|"
                                   " line 41| line 42|");
    EXPECT_EQ(shown.more, 0);

    const auto many = LineDiff::shown(LineDiff::diff(QString(), numbered(30)));
    EXPECT_EQ(many.lines.size(), LineDiff::maxShown);
    EXPECT_EQ(many.more, 18);
    EXPECT_EQ(LineDiff::moreText(many.more), QStringLiteral("\u2026 18 more lines"));
    // Three hunks: the cut falls on the second gap, which goes; the marker counts the third hunk's five lines.
    QString three = numbered(60);
    three.replace("line 3\n", "").replace("line 20\n", "").replace("line 40\n", "");
    const auto cut = LineDiff::shown(LineDiff::diff(numbered(60), three));
    EXPECT_EQ(render(cut.lines),
              " line 1| line 2|-line 3| line 4| line 5|~| line 18| line 19|-line 20| line 21| line 22|");
    EXPECT_EQ(cut.more, 5);
    // Unchanged text shows its first lines rather than nothing.
    EXPECT_EQ(render(LineDiff::shown(LineDiff::diff("a\nb\nc\nd", "a\nb\nc\nd")).lines), " a| b|");
}

// A 2 000-line file: a single change stays a five-line hunk; a change on every line (past the edit budget) and a
// scattered one still end, with every line accounted for and at most maxShown shown.
TEST(LineDiffTest, LargeFilesStayBounded) {
    QString oneChanged = numbered(2000);
    oneChanged.replace("line 1000\n", "line 1000 changed\n");
    EXPECT_EQ(render(LineDiff::compact(LineDiff::diff(numbered(2000), oneChanged))),
              " line 998| line 999|-line 1000|+line 1000 changed| line 1001| line 1002|");

    const struct {
        QString newText;
        qsizetype removed, added;
    } cases[] = {{numbered(2000, 1), 2000, 2000}, {numbered(2000, 5), 400, 400}};
    for (const auto& c : cases) {
        const QList<DiffLine> lines = LineDiff::diff(numbered(2000), c.newText);
        const auto count = [&](K kind) {
            return std::count_if(lines.begin(), lines.end(), [kind](const DiffLine& l) { return l.kind == kind; });
        };
        EXPECT_EQ(std::pair(count(K::removed), count(K::added)), std::pair(c.removed, c.added));
        const auto shown = LineDiff::shown(lines);
        EXPECT_EQ(shown.lines.size(), LineDiff::maxShown);
        EXPECT_GT(shown.more, 0);
    }
}

TEST(LineDiffTest, FileChangesFromToolInput) {
    const auto shown = [](const std::optional<FileChange>& change) {
        return change ? change->path + ": " + render(change->lines) : QString("(none)");
    };
    EXPECT_EQ(shown(FileChange::from("Edit", payloadInput("PermissionRequest-Edit.json"))),
              "/home/dev/work/src/config.py: -TIMEOUT = 30|+TIMEOUT = 60|-RETRIES = 3|+RETRIES = 5|+BACKOFF = 2.0|");
    // A new file: every line added.
    EXPECT_EQ(shown(FileChange::from("Write", payloadInput("PermissionRequest-Write.json"))),
              "/home/dev/work/notes/plan.md: +# Plan|+|+1. Parse the config|+2. Validate fields|+3. Write the report|");
    const auto multi = JSONValue::parse(R"({"file_path":"/p/a.c","edits":[{"old_string":"a","new_string":"b"},)"
                                        R"({"old_string":"c","new_string":"c\nd"}]})");
    EXPECT_EQ(shown(FileChange::from("MultiEdit", *multi)), "/p/a.c: -a|+b|~| c|+d|");

    const char* none[][2] = {
        {"Bash", R"({"command":"rm -rf build"})"},
        {"Read", R"({"file_path":"/p/a.c","content":"x"})"},
        {"Edit", R"({"file_path":"/p/a.c","old_string":"a","new_string":7})"},
        {"MultiEdit", R"({"edits":[{"old_string":"a","new_string":"b"},"junk"]})"},
        {"MultiEdit", R"({"edits":[]})"},
        {"Write", R"(["content"])"},
    };
    for (const auto& [tool, input] : none)
        EXPECT_FALSE(FileChange::from(tool, *JSONValue::parse(input))) << tool << " " << input;
}

// A write is compared with the file on disk; what cannot be compared says why and shows the new content.
TEST(LineDiffTest, WritesAreComparedWithTheFileOnDisk) {
    QTemporaryDir dir;
    const QString old = "import os\nTIMEOUT = 30\nRETRIES = 3\n";
    TestFiles::write(dir.filePath("config.py"), old.toUtf8());
    TestFiles::write(dir.filePath("big.log"), QByteArray(FileChange::maxCompared + 1, 'x'));
    TestFiles::write(dir.filePath("blob.bin"), QByteArray("a\0b", 3));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder") && QFile::link(dir.filePath("loop"), dir.filePath("loop")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);

    const QString edited = "import os\nTIMEOUT = 60\nRETRIES = 3\n";
    const QString diff = " import os|-TIMEOUT = 30|+TIMEOUT = 60| RETRIES = 3|";
    const QString whole = "~replaces the whole file (3 lines); ";
    const QString added = "|+import os|+TIMEOUT = 60|+RETRIES = 3|";
    // A FIFO is never opened: it would block.
    const struct {
        QString path, cwd, content, expected;
    } cases[] = {
        {dir.filePath("config.py"), {}, edited, diff},
        {"config.py", dir.path(), edited, diff},
        {dir.filePath("config.py"),
         {},
         old,
         "~writes what the file holds already (3 lines)| import os| TIMEOUT = "
         "30| RETRIES = 3|"},
        {"config.py", {}, edited, whole + "its folder is not known" + added},
        {dir.filePath("big.log"), {}, edited, whole + "the old one is larger than 1 MiB" + added},
        {dir.filePath("blob.bin"), {}, edited, whole + "the old one is not text" + added},
        {dir.filePath("folder"), {}, edited, whole + "the old one is not a regular file" + added},
        {dir.filePath("fifo"), {}, edited, whole + "the old one is not a regular file" + added},
        {dir.filePath("loop"), {}, edited, whole + "the old one cannot be read" + added},
    };
    for (const auto& c : cases) {
        const JSONValue input(JSONValue::Object{{"file_path", JSONValue(c.path.toStdString())},
                                                {"content", JSONValue(c.content.toStdString())}});
        const auto change = FileChange::from("Write", input, c.cwd);
        EXPECT_EQ(change ? render(change->lines) : "(none)", c.expected) << c.path.toStdString();
    }
}
