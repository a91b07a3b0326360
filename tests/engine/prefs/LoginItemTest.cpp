#include "prefs/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString makeExecutable(const QString& folder) {
    QDir().mkpath(folder);
    const QString path = folder + "/VorlixAgents";
    QFile::copy("/bin/true", path);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
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
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(LoginItem::desktopEntry(command));
        file.close();
        QProcess validator;
        validator.setProcessChannelMode(QProcess::MergedChannels);
        validator.start("desktop-file-validate", {path});
        ASSERT_TRUE(validator.waitForFinished(60000));
        const QString out = QString::fromUtf8(validator.readAll());
        EXPECT_EQ(validator.exitCode(), 0) << out.toStdString();
        EXPECT_FALSE(out.contains("error")) << out.toStdString();
    }
}

} // namespace
