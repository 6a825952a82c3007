// The program as the till starts it: two copies on one program folder, and
// what the first one does to itself and to its folders at start.
#include "platform/core_dumps.h"
#include "support/temp_environment.h"
#include "support/xvfb_server.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mereval {
namespace {

QByteArray ReadProcFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether process pid holds an flock on the file, as the kernel lists it.
bool HoldsFlock(qint64 pid, const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return false;
    }
    const QByteArray owner = ' ' + QByteArray::number(pid) + ' ';
    const QByteArray inode = ':' + QByteArray::number(quint64(status.st_ino)) + ' ';
    for (const QByteArray& line : ReadProcFile(QStringLiteral("/proc/locks")).split('\n')) {
        if (line.contains("FLOCK") && line.contains(owner) && line.contains(inode)) {
            return true;
        }
    }
    return false;
}

class ProgramCopy {
public:
    explicit ProgramCopy(const QString& display = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display.isEmpty()) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.insert(QStringLiteral("DISPLAY"), display);
        }
        process.setProcessEnvironment(environment);
        // Core files allowed, so that only the program itself can forbid them.
        process.setChildProcessModifier([] {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_CORE, &unlimited);
        });
        process.start(QStringLiteral(MEREVAL_EXECUTABLE), QStringList());
    }
    ~ProgramCopy() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QProcess process;
};

TEST(ProgramStart, SecondCopyOnOneFolderShowsABoxAndEnds) {
    const test::XvfbServer xvfb;
    ASSERT_TRUE(xvfb.IsRunning());
    const test::TempProgramEnvironment env;
    const QString stale = env.FilePath(QStringLiteral(".settings.k1lled"));
    QFile(stale).open(QIODevice::WriteOnly);

    ProgramCopy first;
    ASSERT_TRUE(first.process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return HoldsFlock(first.process.processId(),
                              env.FilePath(QStringLiteral("mereval.lock")));
        },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(stale); }));
    // No core file: tracks and PINs are in its memory.
    EXPECT_TRUE(ReadProcFile(QStringLiteral("/proc/%1/limits").arg(first.process.processId()))
                    .contains("Max core file size        0                    0 "));

    ProgramCopy second(xvfb.Display());
    QByteArray errors;
    const auto told = [&] {
        errors += second.process.readAllStandardError();
        return QString::fromUtf8(errors).contains(
            QStringLiteral(u"Programm juba töötab. Samast programmikaustast saab korraga "
                           u"töötada ainult üks koopia."));
    };
    ASSERT_TRUE(QTest::qWaitFor(told, 10000));
    ASSERT_EQ(second.process.state(), QProcess::Running);  // the box waits for the cashier
    // Return on OK; again while the box may not yet take keys.
    for (int tries = 0; tries < 50 && !second.process.waitForFinished(200); ++tries) {
        xvfb.Run(
            QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"), QStringLiteral("^Mereval$"), QStringLiteral("key"),
             QStringLiteral("--window"), QStringLiteral("%1"), QStringLiteral("Return")});
    }
    ASSERT_EQ(second.process.state(), QProcess::NotRunning);
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 1);
    EXPECT_EQ(first.process.state(), QProcess::Running);
}

TEST(ProgramStart, CoreDumpsOffMakesTheProcessUndumpable) {
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit core{};
        const bool off = platform::DisableCoreDumps() && ::prctl(PR_GET_DUMPABLE) == 0 &&
                         ::getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_max == 0;
        ::_exit(off ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace mereval
