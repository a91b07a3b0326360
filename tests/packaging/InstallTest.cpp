#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Installed {
    QString path;
    int mode;
};

// What `cmake --install` lays out under the prefix: the programs, the menu entry, the icons, the metainfo.
std::vector<Installed> expectedFiles(const QString& prefix) {
    std::vector<Installed> files = {
        {prefix + "/bin/VorlixAgents", 0755},
        {prefix + "/bin/vorlix-bridge", 0755},
        {prefix + "/share/applications/vorlix-agents.desktop", 0644},
        {prefix + "/share/icons/hicolor/scalable/apps/vorlix-agents.svg", 0644},
        {prefix + "/share/metainfo/dev.vorlix.agents.metainfo.xml", 0644},
    };
    for (const int size : {16, 32, 48, 128, 256})
        files.push_back({prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size), 0644});
    std::sort(files.begin(), files.end(), [](const Installed& a, const Installed& b) { return a.path < b.path; });
    return files;
}

// Every regular file below root, relative to it, with its permission bits.
std::vector<Installed> filesBelow(const QString& root) {
    std::vector<Installed> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        files.push_back({QDir(root).relativeFilePath(path), static_cast<int>(st.st_mode & 07777)});
    }
    std::sort(files.begin(), files.end(), [](const Installed& a, const Installed& b) { return a.path < b.path; });
    return files;
}

QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
            int* status = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, args);
    process.waitForFinished(300000);
    if (status != nullptr)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

class Install : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_destDir.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", m_destDir.path());
        int status = 0;
        const QString out = run("cmake", {"--install", VORLIX_BINARY_DIR, "--prefix", "/usr/local"}, env, &status);
        ASSERT_EQ(status, 0) << out.toStdString();
        m_prefix = m_destDir.path() + "/usr/local";
    }

    QTemporaryDir m_destDir;
    QString m_prefix;
};

TEST_F(Install, LaysOutExactlyTheExpectedFilesWithTheirModes) {
    const auto actual = filesBelow(m_prefix);
    const auto expected = expectedFiles(QString());
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(QLatin1Char('/') + actual[i].path, expected[i].path);
        EXPECT_EQ(actual[i].mode, expected[i].mode) << actual[i].path.toStdString();
    }
}

TEST_F(Install, MenuEntryAndMetainfoPassTheValidators) {
    int status = 0;
    QString out = run("desktop-file-validate", {m_prefix + "/share/applications/vorlix-agents.desktop"}, {}, &status);
    EXPECT_EQ(status, 0) << out.toStdString();
    EXPECT_FALSE(out.contains("error")) << out.toStdString();
    out = run("appstreamcli", {"validate", "--no-net", m_prefix + "/share/metainfo/dev.vorlix.agents.metainfo.xml"}, {},
              &status);
    EXPECT_EQ(status, 0) << out.toStdString();
}

TEST_F(Install, IconsHaveTheirSizesAndACreatureOnThem) {
    for (const int size : {16, 32, 48, 128, 256}) {
        const QImage icon(m_prefix + QStringLiteral("/share/icons/hicolor/%1x%1/apps/vorlix-agents.png").arg(size));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        // The creature's lit cells stand out in colour against the dark island behind them.
        int coloured = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                coloured += qAlpha(icon.pixel(x, y)) == 255 && QColor::fromRgba(icon.pixel(x, y)).hsvSaturation() > 80;
        EXPECT_GT(coloured, size * size / 20) << size;
    }
    QFile svg(m_prefix + "/share/icons/hicolor/scalable/apps/vorlix-agents.svg");
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.startsWith("<svg") || text.startsWith("<?xml"));
    EXPECT_TRUE(text.contains("<path fill=\"#fa87bf\" d=\"M"));
}

} // namespace
