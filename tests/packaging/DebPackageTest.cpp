#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString output(const QString& program, const QStringList& args, int* status) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    process.waitForFinished(600000);
    *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

// The package holds what `cmake --install` lays out, under /usr, and depends on what its binaries link.
TEST(DebPackage, HoldsTheInstallListAndComputedDependencies) {
    if (QStandardPaths::findExecutable("dpkg-deb").isEmpty() ||
        QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        GTEST_SKIP() << "dpkg-deb or dpkg-shlibdeps is not installed";
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    int status = 0;
    const QString log = output(
        "cpack", {"-G", "DEB", "-B", out.path(), "--config", QStringLiteral(VORLIX_BINARY_DIR) + "/CPackConfig.cmake"},
        &status);
    ASSERT_EQ(status, 0) << log.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"vorlix-agents_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << log.toStdString();
    const QString deb = out.path() + "/" + debs.first();
    EXPECT_TRUE(debs.first().startsWith("vorlix-agents_1.0.0_")) << debs.first().toStdString();

    QStringList files;
    for (const QString& line : output("dpkg-deb", {"--contents", deb}, &status).split('\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith('d'))
            files << line.section(' ', -1);
    }
    ASSERT_EQ(status, 0);
    files.sort();
    QStringList expected = {"./usr/bin/VorlixAgents", "./usr/bin/vorlix-bridge",
                            "./usr/share/applications/vorlix-agents.desktop",
                            "./usr/share/icons/hicolor/scalable/apps/vorlix-agents.svg",
                            "./usr/share/metainfo/dev.vorlix.agents.metainfo.xml"};
    for (const int size : {16, 32, 48, 128, 256})
        expected << QStringLiteral("./usr/share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size);
    expected.sort();
    EXPECT_EQ(files, expected);

    const QString depends = output("dpkg-deb", {"--field", deb, "Depends"}, &status);
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
    EXPECT_TRUE(depends.contains("libc6")) << depends.toStdString();
}

} // namespace
