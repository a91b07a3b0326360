#include "BridgeProcess.h"
#include "TestFiles.h"

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

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

// One install, looked at whole: the files and their modes, the validators' word, the icons.
TEST(Install, LaysOutTheExpectedFilesThatPassTheValidatorsAndShowTheCreature) {
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

    for (const int size : {16, 32, 48, 128, 256}) {
        const QImage icon(prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        // The creature's lit cells stand out in colour against the dark island behind them.
        int coloured = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                coloured += qAlpha(icon.pixel(x, y)) == 255 && QColor::fromRgba(icon.pixel(x, y)).hsvSaturation() > 80;
        EXPECT_GT(coloured, size * size / 20) << size;
    }
    const QByteArray svg = TestFiles::read(prefix + "/share/icons/hicolor/scalable/apps/vorlix-agents.svg");
    EXPECT_TRUE(svg.startsWith("<svg") || svg.startsWith("<?xml"));
}

// Installing needs only the build packages: with a test tool missing, the plain step still passes for a user who
// is not root, and only the test step asks for root, naming what is missing.
TEST(Install, DependencyStepNeedsRootOnlyForWhatIsMissing) {
    QTemporaryDir fakes;
    const QString query = fakes.filePath("dpkg-query");
    TestFiles::write(query, "#!/bin/sh\ncase \"$*\" in *chromium*) exit 1;; esac\nexec /usr/bin/dpkg-query \"$@\"\n");
    QFile::setPermissions(query, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(fakes.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    // As an unprivileged user even when the tests run as root.
    std::vector<std::string> user;
    if (::geteuid() == 0)
        user = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    const BridgeProcess::EnvChanges path = {{"PATH", fakes.path().toStdString() + ":/usr/bin:/bin:/usr/sbin:/sbin"}};
    const std::string script = VORLIX_SOURCE_DIR "/scripts/install-deps.sh";
    int status = 0;
    std::vector<std::string> command = user;
    command.insert(command.end(), {"bash", script});
    EXPECT_EQ(run(command, &status, path), "");
    EXPECT_EQ(status, 0);
    command.push_back("--test");
    EXPECT_NE(run(command, &status, path).find("missing packages: chromium; run as root"), std::string::npos);
    EXPECT_EQ(status, 1);
}

} // namespace
