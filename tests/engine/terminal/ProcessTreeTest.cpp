#include "terminal/ProcessTree.h"
#include "TempHome.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

// Parents come from /proc/<pid>/stat, whose process name may hold blanks and parentheses.
TEST(ProcessTree, ReadsParentsPastAwkwardProcessNames) {
    TempHome home;
    const QString odd = QString::fromStdString(home.path()) + QStringLiteral("/a) b (c");
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), odd));
    QProcess child;
    child.start(odd, {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted());
    const auto pid = static_cast<pid_t>(child.processId());
    auto expected = ProcessTree::lineage(getpid());
    expected.insert(expected.begin(), pid);
    EXPECT_EQ(ProcessTree::lineage(pid), expected);
    child.kill();
    child.waitForFinished();
    EXPECT_FALSE(ProcessTree::parentOf(pid));
}
