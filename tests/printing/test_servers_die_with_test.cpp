#include "support/child_process.h"
#include "support/private_cups.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

namespace mereval::test {
namespace {

QByteArray ProcFile(const QByteArray& pid, const QByteArray& name) {
    QFile file(QString::fromLatin1("/proc/" + pid + '/' + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

// Run only as the child of the test below: starts the servers and waits to be killed.
TEST(DISABLED_ServersOfAKilledTest, Hold) {
    XvfbServer display;
    PrivateCups cups;
    QString error;
    ASSERT_TRUE(display.IsRunning() && cups.Start(error)) << error.toStdString();
    fputs("started\n", stdout);
    fflush(stdout);
    QThread::sleep(60);
}

TEST(ServersDieWithTheirTest, WhenCtestKillsTheTest) {
    QProcess test;
    DieWithParent(test);
    test.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--gtest_filter=DISABLED_ServersOfAKilledTest.Hold"),
                QStringLiteral("--gtest_also_run_disabled_tests")});
    QByteArray output;
    while (!output.contains("started\n") && test.waitForReadyRead(30000)) {
        output += test.readAllStandardOutput();
    }
    const QByteArray pid = QByteArray::number(test.processId());
    const QList<QByteArray> servers = ProcFile(pid, "task/" + pid + "/children").split(' ');
    ASSERT_EQ(servers.size(), 2);  // Xvfb and cupsd
    test.kill();
    test.waitForFinished();
    for (const QByteArray& server : servers) {
        // Gone, or a zombie that nobody has reaped yet.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QByteArray stat = ProcFile(server, "stat");
                return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
            },
            5000));
    }
}

}  // namespace
}  // namespace mereval::test
