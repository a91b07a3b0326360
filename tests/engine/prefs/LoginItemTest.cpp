#include "prefs/LoginItem.h"
#include "BridgeProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString makeExecutable(const QString& folder) {
    const QString path = folder + "/VorlixAgents";
    TestFiles::write(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    return path;
}

// After an upgrade the installed program is replaced in place: an entry that names it keeps working, while one
// that names a build tree breaks when the tree goes.
TEST(LoginItem, StartsAnInstalledProgramByNameAndAnyOtherByPath) {
    QTemporaryDir root;
    const QString installed = makeExecutable(root.path() + "/usr/bin");
    const QString build = makeExecutable(root.path() + "/src/build/bin");
    QDir().mkpath(root.path() + "/link");
    QFile::link(installed, root.path() + "/link/VorlixAgents");
    const struct {
        QString executable;
        QStringList searchPath;
        QString command;
    } cases[] = {
        {installed, {root.path() + "/usr/bin"}, "VorlixAgents"},
        // A link on PATH that leads to the same file is the same program.
        {installed, {root.path() + "/link"}, "VorlixAgents"},
        // Another program of that name comes first on PATH: the name would start the wrong one.
        {build, {root.path() + "/usr/bin", root.path() + "/src/build/bin"}, build},
        {build, {}, build},
        {root.path() + "/gone/VorlixAgents", {root.path() + "/gone"}, root.path() + "/gone/VorlixAgents"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoginItem::launchCommand(c.executable, c.searchPath), c.command) << c.executable.toStdString();
}

// Unusual paths are quoted and escaped as desktop entries need, and the validator accepts each; a line break cannot
// be written at all.
TEST(LoginItem, EntryEscapesUnusualPathsAndPassesTheValidator) {
    QTemporaryDir root;
    const QString file = root.path() + "/vorlix-agents.desktop";
    const std::pair<QString, const char*> cases[] = {
        {"/usr/bin/VorlixAgents", "Exec=/usr/bin/VorlixAgents\n"},
        {"/opt/My Apps/VorlixAgents", "Exec=\"/opt/My Apps/VorlixAgents\"\n"},
        {"/opt/a$b/x", "Exec=\"/opt/a\\\\$b/x\"\n"},
        {"/opt/say\"hi\"/x", "Exec=\"/opt/say\\\\\"hi\\\\\"/x\"\n"},
        {"/opt/back\\slash", "Exec=\"/opt/back\\\\\\\\slash\"\n"},
        {"/opt/100%/x", "Exec=/opt/100%%/x\n"},
        {"/opt/two\nlines", ""},
    };
    for (const auto& [path, exec] : cases) {
        const QByteArray entry = LoginItem::desktopEntry(path);
        EXPECT_EQ(entry.isEmpty(), *exec == '\0') << entry.toStdString();
        EXPECT_TRUE(entry.contains(exec)) << entry.toStdString();
        if (entry.isEmpty())
            continue;
        TestFiles::write(file, entry);
        const BridgeProcess::Result validator = BridgeProcess::run({"desktop-file-validate", file.toStdString()}, {});
        EXPECT_EQ(validator.exitStatus, 0) << validator.out << validator.err;
        EXPECT_EQ((validator.out + validator.err).find("error"), std::string::npos) << validator.out << validator.err;
    }
}

} // namespace
