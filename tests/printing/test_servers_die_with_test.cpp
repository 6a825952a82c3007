#include "support/child_process.h"
#include "support/private_cups.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

namespace mereval::test {
namespace {

// Children of pid, by /proc: their pids and names.
QList<QPair<qint64, QString>> ChildrenOf(qint64 pid) {
    QList<QPair<qint64, QString>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd > 0 && fields.size() > 1 && fields[1].toLongLong() == pid) {
            children.append(
                {entry.toLongLong(), QString::fromLatin1(line.mid(
                                         line.indexOf('(') + 1, nameEnd - line.indexOf('(') - 1))});
        }
    }
    return children;
}

bool Gone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
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
