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

QByteArray ProcFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1StringView(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

// Children of pid: their pids and names.
QList<QPair<qint64, QString>> ChildrenOf(qint64 pid) {
    QList<QPair<qint64, QString>> children;
    const QByteArray path = "task/" + QByteArray::number(pid) + "/children";
    for (const QByteArray& child : ProcFile(pid, path.constData()).split(' ')) {
        children.append(
            {child.toLongLong(), QString::fromLatin1(ProcFile(child.toLongLong(), "comm"))});
    }
    return children;
}

// Gone or a zombie that nobody has reaped yet.
bool Gone(qint64 pid) {
    const QByteArray stat = ProcFile(pid, "stat");
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
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
    ASSERT_TRUE(output.contains("started\n")) << output.toStdString();
    const auto servers = ChildrenOf(test.processId());
    QStringList names;
    for (const auto& server : servers) {
        names.append(server.second);
    }
    ASSERT_TRUE(names.contains(QStringLiteral("Xvfb")) && names.contains(QStringLiteral("cupsd")))
        << names.join(u' ').toStdString();

    test.kill();
    test.waitForFinished();
    for (const auto& server : servers) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Gone(server.first); }, 5000))
            << server.second.toStdString() << " outlived its test";
    }
}

}  // namespace
}  // namespace mereval::test
