// The program as the till starts it: two copies on one program folder, and
// what the first one does to itself and to its folders at start.
#include "paysim/conversation.h"
#include "paysim/paysim_server.h"
#include "platform/core_dumps.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/child_process.h"
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
#include <csignal>
#include <memory>

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
        test::DieWithParent(process, [] {
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
            QStringLiteral("search --sync --onlyvisible --name ^Mereval$ key --window %1 Return")
                .split(u' '));
    }
    ASSERT_EQ(second.process.state(), QProcess::NotRunning);
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 1);
    EXPECT_EQ(first.process.state(), QProcess::Running);
}

// A payment cut short by a crash (SIGKILL), and the program started twice
// again on the same folder: only an outcome the till cannot know is warned
// of, and once.

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

class ProgramCrash : public ::testing::TestWithParam<bool> {
protected:
    // One X server for all steps: a start-up per test costs CI time.
    static void SetUpTestSuite() { xvfb_ = std::make_unique<test::XvfbServer>(); }
    static void TearDownTestSuite() { xvfb_.reset(); }

    QByteArray Journal() const { return env_.ReadFile(QStringLiteral("journal.txt")); }
    // The window is up and has had its start-up turn.
    bool WindowShown() const {
        return xvfb_->Run(
            QStringLiteral("xdotool"),
            QStringLiteral("search --sync --onlyvisible --name ^Mereval.-.POS:").split(u' '));
    }

    static inline std::unique_ptr<test::XvfbServer> xvfb_;
    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
};

TEST_P(ProgramCrash, WarnsOnceAtRestartExactlyWhenTheOutcomeIsUnknown) {
    const bool approved = GetParam();
    ASSERT_TRUE(xvfb_->IsRunning());
    ASSERT_TRUE(server_.Listen());
    server_.SetScript(
        [approved](paysim::Conversation& conversation, const paysim::ReceivedMessage& m) {
            if (m.Code() == code::StartTransaction && approved) {
                conversation.Send(code::ApproveMessage, {{field::Stan, session::LongToBytes(77)}});
            }
            return paysim::ScriptResult::Handled;
        });
    QFile settings(env_.SettingsPath());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("ReportMode=0\nKKPort=" + QByteArray::number(server_.Port()) +
                   "\nPOS=12345678\n");
    settings.close();
    {
        ProgramCopy till(xvfb_->Display());
        ASSERT_TRUE(WindowShown());
        // Keys 60 ms apart are typing, not a swipe; Return once the burst is over.
        ASSERT_TRUE(xvfb_->Run(QStringLiteral("xdotool"),
                               QStringLiteral("search --sync --onlyvisible --name ^Mereval.-.POS: "
                                              "windowfocus --sync %1 type --delay 60 12.00")
                                   .split(u' ')));
        QTest::qWait(200);
        ASSERT_TRUE(xvfb_->Run(QStringLiteral("xdotool"),
                               {QStringLiteral("key"), QStringLiteral("Return")}));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return approved ? Journal().contains("\tend\tapproved STAN=77\n")
                                : !server_.Received().isEmpty();
            },
            10000));
        ::kill(pid_t(till.process.processId()), SIGKILL);
        ASSERT_TRUE(till.process.waitForFinished());
    }
    for (int restart = 0; restart < 2; ++restart) {
        ProgramCopy till(xvfb_->Display());
        ASSERT_TRUE(WindowShown());
        const bool warned = QTest::qWaitFor([&] { return Journal().count("\twarned\n") > 0; },
                                            approved ? 1000 : 10000);
        EXPECT_EQ(warned, !approved) << "restart " << restart;
        EXPECT_LE(Journal().count("\twarned\n"), 1) << "restart " << restart;
    }
    EXPECT_FALSE(Journal().contains("4761739001010010"));
}

INSTANTIATE_TEST_SUITE_P(Steps, ProgramCrash, ::testing::Bool(), [](const auto& info) {
    return info.param ? "AfterTheApprovalArrived" : "AfterTheRequestWentOut";
});

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
