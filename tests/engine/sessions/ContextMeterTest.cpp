#include "sessions/ContextMeter.h"
#include "BridgeProcess.h"
#include "TempHome.h"
#include "TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr qint64 limit = 200000;

QString writeFile(const TempHome& home, const QByteArray& data) {
    const QString path = QString::fromStdString(home.path()) + "/t.jsonl";
    TestFiles::write(path, data);
    return path;
}

std::optional<qint64> readUsed(const TempHome& home, const QByteArray& data) {
    const auto usage = ContextMeter::read(writeFile(home, data), limit);
    return usage ? std::optional(usage->used) : std::nullopt;
}

QByteArray usageLine(const QByteArray& usage) {
    return R"({"type":"assistant","message":{"usage":)" + usage + "}}\n";
}

QByteArray tokenCount(const QByteArray& info) {
    return R"({"type":"event_msg","payload":{"type":"token_count","info":{)" + info + "}}}\n";
}

} // namespace

// A real transcript's tail cut anywhere: a whole last usage line counts, a cut one does not, nothing reads past it.
TEST(ContextMeterTest, RealTranscriptsCutAnywhere) {
    TempHome home;
    // Codex keeps its counts in token_count events: the latest call's input against the model's own window.
    // Claude: input 12 + cache read 4200 + cache creation 1500 on each assistant line of the captured session.
    const std::tuple<const char*, const char*, ContextUsage, const char*> transcripts[] = {
        {"claude", "\"usage\"", {5712, limit}, "5k / 200k"},
        {"codex", "\"token_count\"", {5000, 258400}, "5k / 258k"},
    };
    for (const auto& [agent, marker, usage, label] : transcripts) {
        const QByteArray data = QByteArray::fromStdString(readFixture(agent + std::string("/transcript.jsonl")));
        const auto whole = ContextMeter::read(writeFile(home, data), limit);
        ASSERT_EQ(whole, usage);
        EXPECT_EQ(whole->label(), label);
        const qsizetype lastUsage = data.lastIndexOf('\n', data.lastIndexOf(marker)) + 1;
        for (qsizetype at = 0; at < data.size(); ++at) {
            const bool insideCharacter = (static_cast<unsigned char>(data[at]) & 0xC0) == 0x80;
            if (std::abs(at - lastUsage) > 64 && !insideCharacter && at % 61 != 0)
                continue;
            ASSERT_EQ(ContextMeter::latestUsage(data.mid(at), at > 0, limit),
                      at <= lastUsage ? std::optional(usage) : std::nullopt)
                << marker << " cut at " << at;
        }
    }
}

// Only the last tailBytes of a longer file are read: a first line cut by the window is a fragment.
TEST(ContextMeterTest, WindowOfALongFile) {
    TempHome home;
    const QByteArray line = usageLine(R"({"input_tokens":42})");
    const QByteArray exact = line + QByteArray(ContextMeter::tailBytes - line.size(), '\n');
    EXPECT_EQ(readUsed(home, exact), 42);
    EXPECT_EQ(readUsed(home, exact + '\n'), std::nullopt) << "one byte more makes the first line a fragment";
}

TEST(ContextMeterTest, WhichLinesCount) {
    const QByteArray five = usageLine(R"({"input_tokens":5})");
    struct Case {
        const char* name;
        QByteArray text;
        std::optional<qint64> used;
        qint64 window = limit;
    };
    const std::vector<Case> cases = {
        {"sum of the three counts",
         usageLine(
             R"({"input_tokens":1,"cache_read_input_tokens":2,"cache_creation_input_tokens":3,"output_tokens":9})"),
         6},
        {"zero total passed over for an earlier line",
         five + usageLine(R"({"input_tokens":0,"cache_read_input_tokens":0})"), 5},
        {"not objects, usage missing or not an object",
         five + "[1,2]\n\"text\"\n{\"message\":{}}\n{\"message\":{\"usage\":[1]}}\n{\"message\":\"usage\"}\nnot json\n",
         5},
        {"empty lines and no final line feed", "\n\n" + five.chopped(1), 5},
        {"carriage returns", five.chopped(1) + "\r\n", 5},
        {"a sum past 64 bits is skipped",
         five + usageLine(R"({"input_tokens":9223372036854775807,"cache_read_input_tokens":1})"), 5},
        {"nesting past 512 levels is malformed",
         five + R"({"message":{"usage":{"input_tokens":1,"x":)" + QByteArray(600, '[') + QByteArray(600, ']') + "}}}\n",
         5},
        {"invalid UTF-8 in a whole file", five + "{\"a\":\"\xff\"}\n", std::nullopt},
        {"a cut-off character at the end", five + "{\"a\":\"\xe2\x80", std::nullopt},
        {"a token_count event after an older usage line",
         five + tokenCount(R"("last_token_usage":{"input_tokens":77})"), 77},
        {"a token_count of 0 or without last usage is passed over",
         five + tokenCount(R"("total_token_usage":{"input_tokens":9})") +
             tokenCount(R"("last_token_usage":{"input_tokens":0})"),
         5},
        // A Codex line brings its own window; without one (or a nonsense one) the default window holds.
        {"a window of its own", tokenCount(R"("last_token_usage":{"input_tokens":10},"model_context_window":128000)"),
         10, 128000},
        {"a window of 0", tokenCount(R"("last_token_usage":{"input_tokens":10},"model_context_window":0)"), 10},
    };
    TempHome home;
    for (const auto& c : cases) {
        const auto usage = ContextMeter::latestUsage(c.text, false, limit);
        EXPECT_EQ(usage, c.used ? std::optional(ContextUsage{*c.used, c.window}) : std::nullopt) << c.name;
        EXPECT_EQ(readUsed(home, c.text), c.used) << c.name;
    }
}

TEST(ContextMeterTest, PathsThatAreNotTranscripts) {
    TempHome home;
    const QString base = QString::fromStdString(home.path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(base + "/fifo").constData(), 0600), 0);
    // A FIFO without a writer must not block the main thread; devices never end.
    for (const QString& path : {base + "/missing.jsonl", base, base + "/fifo", QString("/dev/zero"), QString()})
        EXPECT_FALSE(ContextMeter::read(path, limit)) << path.toStdString();
}
