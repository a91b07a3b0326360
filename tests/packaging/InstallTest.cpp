#include "BridgeProcess.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

// Every file below root (links and all), relative to it, with its permission bits.
std::map<QString, unsigned> filesBelow(const QString& root) {
    std::map<QString, unsigned> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        files[QDir(root).relativeFilePath(path)] = TestFiles::mode(path);
    }
    return files;
}

// Runs a tool to its end; its output, both streams, for the failure message.
std::string run(const std::vector<std::string>& command, int* status, const BridgeProcess::EnvChanges& env = {}) {
    const BridgeProcess::Result result = BridgeProcess::run(command, {}, env, 300000);
    *status = result.exitStatus;
    return result.out + result.err;
}

// One install, looked at whole: the files and their modes, the validators' word, the icon sizes.
TEST(Install, LaysOutTheExpectedFilesThatPassTheValidators) {
    QTemporaryDir destDir;
    int status = 0;
    std::string out = run({"cmake", "--install", VORLIX_BINARY_DIR, "--prefix", "/usr/local"}, &status,
                          {{"DESTDIR", destDir.path().toStdString()}});
    ASSERT_EQ(status, 0) << out;
    const QString prefix = destDir.path() + "/usr/local";
    // The programs, the menu entry, the icons, the metainfo, with their modes.
    std::map<QString, unsigned> expected = {{"bin/VorlixAgents", 0755},
                                            {"bin/vorlix-bridge", 0755},
                                            {"share/applications/vorlix-agents.desktop", 0644},
                                            {"share/icons/hicolor/scalable/apps/vorlix-agents.svg", 0644},
                                            {"share/metainfo/dev.vorlix.agents.metainfo.xml", 0644}};
    for (const int size : {16, 32, 48, 128, 256})
        expected[QStringLiteral("share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size)] = 0644;
    EXPECT_EQ(filesBelow(prefix), expected);

    const std::string share = prefix.toStdString() + "/share";
    out = run({"desktop-file-validate", share + "/applications/vorlix-agents.desktop"}, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
    out = run({"appstreamcli", "validate", "--no-net", share + "/metainfo/dev.vorlix.agents.metainfo.xml"}, &status);
    EXPECT_EQ(status, 0) << out;

    // What the creature looks like is the sprite tests' business; here each size must be a real image of it.
    for (const int size : {16, 32, 48, 128, 256})
        EXPECT_EQ(QImage(prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size)).size(),
                  QSize(size, size));
    const QByteArray svg = TestFiles::read(prefix + "/share/icons/hicolor/scalable/apps/vorlix-agents.svg");
    EXPECT_TRUE(svg.startsWith("<svg") || svg.startsWith("<?xml"));
}

} // namespace
