#include "prefs/Prefs.h"
#include "LogCapture.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "support/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace {

QString configFile() {
    return AppPaths::home() + "/.config/vorlix-agents/preferences.json";
}
QString autostartEntry() {
    return AppPaths::home() + "/.config/autostart/vorlix-agents.desktop";
}

nlohmann::json stored() {
    return nlohmann::json::parse(TestFiles::read(configFile()).toStdString(), nullptr, false);
}

// Counts notifications and keeps every log line.
struct Watch {
    explicit Watch(Prefs& prefs) {
        QObject::connect(&prefs, &Prefs::soundEnabledChanged, [this] { ++sound; });
        QObject::connect(&prefs, &Prefs::launchAtLoginChanged, [this] { ++login; });
        QObject::connect(&prefs, &Prefs::autoApproveLevelChanged, [this] { ++level; });
    }
    int sound = 0;
    int login = 0;
    int level = 0;
    LogCapture log;
};

} // namespace

// A missing file or wrongly typed values keep the defaults, and loading neither writes nor registers.
TEST(PrefsTest, StoredValuesAndWrongTypes) {
    TempHome home;
    // The file, the three values read and, for a level outside -1…1, the stored value the one log line names.
    const std::tuple<const char*, bool, bool, int, const char*> cases[] = {
        {nullptr, true, false, 0, nullptr},
        {R"({"soundEnabled":false,"launchAtLogin":true,"autoApproveLevel":1})", false, true, 1, nullptr},
        {R"({"autoApproveLevel":3})", true, false, 1, "3"},
        {R"({"autoApproveLevel":-7})", true, false, -1, "-7"},
        {R"({"soundEnabled":"no","launchAtLogin":1,"autoApproveLevel":1.5})", true, false, 0, nullptr},
        {R"({"autoApproveLevel":2.0})", true, false, 0, nullptr},
        {R"({"SoundEnabled":false,"nested":{"soundEnabled":false}})", true, false, 0, nullptr},
    };
    for (const auto& [file, sound, login, level, logged] : cases) {
        SCOPED_TRACE(file ? file : "no file");
        if (file)
            TestFiles::write(configFile(), file);
        LogCapture log;
        const Prefs prefs;
        EXPECT_EQ(std::tuple(prefs.soundEnabled(), prefs.launchAtLogin(), prefs.autoApproveLevel()),
                  std::tuple(sound, login, level));
        EXPECT_EQ(log.lines, logged
                                 ? QStringList{QStringLiteral("Vorlix Agents: %1: autoApproveLevel %2 is outside -1 to "
                                                              "1; using %3")
                                                   .arg(configFile(), logged, QString::number(level))}
                                 : QStringList());
        EXPECT_EQ(TestFiles::read(configFile()), QByteArray(file));
        EXPECT_FALSE(QFileInfo::exists(autostartEntry()));
    }
}

TEST(PrefsTest, OnlyTheChangedKeyIsRewrittenWhole) {
    TempHome home;
    TestFiles::write(configFile(), R"({"soundEnabled":"loud","autoApproveLevel":2.5,"later":{"keep":[1,"two",null]}})");
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(configFile()).constData(), &before), 0);
    Prefs prefs;
    prefs.setAutoApproveLevel(1);
    EXPECT_EQ(stored(),
              nlohmann::json::parse(R"({"soundEnabled":"loud","autoApproveLevel":1,"later":{"keep":[1,"two",null]}})"));
    EXPECT_TRUE(Prefs().soundEnabled()) << "the wrong-typed value still reads as the default";
    // A new file renamed into place, never the old one truncated and rewritten.
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(configFile()).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(QDir(QFileInfo(configFile()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"preferences.json"});

    // Someone edits another key while the application runs: the next assignment keeps that edit.
    TestFiles::write(configFile(), R"({"soundEnabled":false,"autoApproveLevel":1})");
    prefs.setLaunchAtLogin(false);
    EXPECT_EQ(stored(), nlohmann::json::parse(R"({"soundEnabled":false,"autoApproveLevel":1,"launchAtLogin":false})"));
}

// Every assignment writes its key (and registers again); only real changes notify.
TEST(PrefsTest, AssignmentsWriteTheirKeyAndTheAutostartEntry) {
    TempHome home;
    Prefs prefs;
    Watch watch(prefs);
    prefs.setSoundEnabled(true);
    EXPECT_EQ(stored(), nlohmann::json::parse(R"({"soundEnabled":true})"));
    prefs.setSoundEnabled(false);
    prefs.setSoundEnabled(false);
    prefs.setAutoApproveLevel(0);
    prefs.setAutoApproveLevel(2);
    prefs.setLaunchAtLogin(true);
    EXPECT_EQ(stored(), nlohmann::json::parse(R"({"soundEnabled":false,"autoApproveLevel":1,"launchAtLogin":true})"));
    EXPECT_TRUE(TestFiles::read(autostartEntry())
                    .contains("\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n'));

    QFile::remove(autostartEntry());
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(QFileInfo::exists(autostartEntry()));
    prefs.setLaunchAtLogin(false);
    EXPECT_FALSE(QFileInfo::exists(autostartEntry()));
    prefs.setLaunchAtLogin(false); // nothing left to remove is no failure
    EXPECT_EQ(std::tuple(watch.sound, watch.level, watch.login), std::tuple(1, 1, 2));
    EXPECT_TRUE(watch.log.lines.isEmpty());
    const Prefs restarted;
    EXPECT_EQ(std::tuple(restarted.soundEnabled(), restarted.launchAtLogin(), restarted.autoApproveLevel()),
              std::tuple(false, false, 1));
}

// Neither a config folder that is a file nor an autostart entry that is a folder stops the application: the value
// holds for this run and one line says why it was not kept.
TEST(PrefsTest, FailuresOnlyLog) {
    TempHome home;
    QDir().mkpath(autostartEntry() + "/inside");
    Prefs prefs;
    Watch watch(prefs);
    prefs.setLaunchAtLogin(true);
    prefs.setLaunchAtLogin(true);
    EXPECT_TRUE(Prefs().launchAtLogin()) << "the preference keeps the new value";
    prefs.setLaunchAtLogin(false);
    EXPECT_FALSE(Prefs().launchAtLogin());
    ASSERT_EQ(watch.log.lines.size(), 3);
    for (const QString& text : watch.log.lines)
        EXPECT_TRUE(text.startsWith("launch-at-login toggle failed: ")) << text.toStdString();

    watch.log.lines.clear();
    QDir(QFileInfo(configFile()).absolutePath()).removeRecursively();
    TestFiles::write(QFileInfo(configFile()).absolutePath(), "not a folder");
    prefs.setSoundEnabled(false);
    EXPECT_FALSE(prefs.soundEnabled());
    ASSERT_EQ(watch.log.lines.size(), 1);
    EXPECT_TRUE(watch.log.lines.front().startsWith("preferences not saved: "));
}
