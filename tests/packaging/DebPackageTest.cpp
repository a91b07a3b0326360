#include "BridgeProcess.h"

#include <QDir>
#include <QRegularExpression>
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
TEST(DebPackage, HoldsTheInstallListAndComputedDependencies) {
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

    QStringList files;
    for (const QString& line : output({"dpkg-deb", "--contents", deb}, &status).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('d'))
            files << line.section(' ', -1);
    ASSERT_EQ(status, 0);
    QStringList expected = {"bin/VorlixAgents", "bin/vorlix-bridge", "share/applications/vorlix-agents.desktop",
                            "share/icons/hicolor/scalable/apps/vorlix-agents.svg",
                            "share/metainfo/dev.vorlix.agents.metainfo.xml"};
    for (const int size : {16, 32, 48, 128, 256})
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size);
    expected.replaceInStrings(QRegularExpression("^"), "./usr/");
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected);

    const QString depends = output({"dpkg-deb", "--field", deb, "Depends"}, &status);
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
    EXPECT_TRUE(depends.contains("libc6")) << depends.toStdString();
}

} // namespace
