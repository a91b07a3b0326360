#include "BridgeProcess.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString output(const std::vector<std::string>& command, int* status) {
    const BridgeProcess::Result result = BridgeProcess::run(command, {}, {}, 600000);
    *status = result.exitStatus;
    return QString::fromStdString(result.out + result.err);
}

// The package holds what `cmake --install` lays out, under /usr, and depends on what its binaries link.
TEST(DebPackage, HoldsItsFilesUnderUsrAndComputedDependencies) {
    if (QStandardPaths::findExecutable("dpkg-deb").isEmpty() ||
        QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps is not installed";
    QTemporaryDir out;
    int status = 0;
    const QString log = output(
        {"cpack", "-G", "DEB", "-B", out.path().toStdString(), "--config", VORLIX_BINARY_DIR "/CPackConfig.cmake"},
        &status);
    ASSERT_EQ(status, 0) << log.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"vorlix-agents_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << log.toStdString();
    const std::string deb = (out.path() + "/" + debs.first()).toStdString();

    // Which files an install lays out is the install test's business; here they must sit under /usr.
    const QString contents = output({"dpkg-deb", "--contents", deb}, &status);
    ASSERT_EQ(status, 0);
    for (const char* file : {"bin/VorlixAgents", "bin/vorlix-bridge", "share/applications/vorlix-agents.desktop"})
        EXPECT_TRUE(contents.contains(QStringLiteral(" ./usr/%1\n").arg(file))) << file << contents.toStdString();

    const QString depends = output({"dpkg-deb", "--field", deb, "Depends"}, &status);
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
    EXPECT_TRUE(depends.contains("libc6")) << depends.toStdString();
}

} // namespace
