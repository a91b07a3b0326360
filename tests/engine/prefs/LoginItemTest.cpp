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
        {installed, {root.path() + "/empty", root.path() + "/usr/bin"}, "VorlixAgents"},
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

TEST(LoginItem, EntryPassesTheDesktopFileValidator) {
    QTemporaryDir root;
    for (const QString& command : {QStringLiteral("VorlixAgents"), QStringLiteral("/opt/My Apps/VorlixAgents")}) {
        const QString path = root.path() + "/vorlix-agents.desktop";
        TestFiles::write(path, LoginItem::desktopEntry(command));
        const BridgeProcess::Result validator = BridgeProcess::run({"desktop-file-validate", path.toStdString()}, {});
        EXPECT_EQ(validator.exitStatus, 0) << validator.out << validator.err;
        EXPECT_EQ((validator.out + validator.err).find("error"), std::string::npos) << validator.out << validator.err;
    }
}

} // namespace
