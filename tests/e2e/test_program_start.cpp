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
#include <sys/wait.h>

#include <unistd.h>
#include <csignal>
#include <memory>

namespace mereval {
namespace {

using namespace Qt::Literals::StringLiterals;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

class ProgramCopy {
public:
    explicit ProgramCopy(const QString& display) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(environment);
        // Core files allowed, so that only the program itself can forbid them.
        test::DieWithParent(process, [] {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_CORE, &unlimited);
        });
        process.start(QStringLiteral(MEREVAL_EXECUTABLE), QStringList());
    }
    ~ProgramCopy() {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
};

// One X server for the binary: a start-up per test costs CI time.
class ProgramStart : public ::testing::Test {
protected:
    static void SetUpTestSuite() { xvfb_ = std::make_unique<test::XvfbServer>(); }
    static void TearDownTestSuite() { xvfb_.reset(); }
    void SetUp() override { ASSERT_TRUE(xvfb_->IsRunning()); }

    QByteArray Journal() const { return env_.ReadFile(QStringLiteral("journal.txt")); }
    bool XdoTool(const QString& arguments) const {
        return xvfb_->Run(QStringLiteral("xdotool"), arguments.split(u' '));
    }
    bool WindowShown() const {
        return XdoTool(u"search --sync --onlyvisible --name ^Mereval.-.POS:"_s);
    }

    static inline std::unique_ptr<test::XvfbServer> xvfb_;
    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
};

TEST_F(ProgramStart, SecondCopyOnOneFolderShowsABoxAndEnds) {
    const QString stale = env_.FilePath(QStringLiteral(".settings.k1lled"));
    QFile(stale).open(QIODevice::WriteOnly);
    ProgramCopy first(xvfb_->Display());
    ASSERT_TRUE(WindowShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(stale); }));
    // No core file: tracks and PINs are in its memory.
    QFile limits(QStringLiteral("/proc/%1/limits").arg(first.process.processId()));
    ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
    EXPECT_TRUE(limits.readAll().contains("Max core file size        0                    0 "));

    ProgramCopy second(xvfb_->Display());
    QByteArray errors;
    const auto told = [&] {
        errors += second.process.readAllStandardError();
        return QString::fromUtf8(errors).contains(u"Programm juba töötab."_s);
    };
    ASSERT_TRUE(QTest::qWaitFor(told, 10000));
    ASSERT_EQ(second.process.state(), QProcess::Running);  // the box waits for the cashier
    // Return on OK; again while the box may not yet take keys.
    for (int tries = 0; tries < 50 && !second.process.waitForFinished(200); ++tries) {
        XdoTool(u"search --sync --onlyvisible --name ^Mereval$ key --window %1 Return"_s);
    }
    EXPECT_EQ(second.process.exitCode(), 1);
    EXPECT_EQ(first.process.state(), QProcess::Running);
}

// A payment cut short by a crash, then two starts: only an outcome the till
// cannot know is warned of, and once.
class ProgramCrash : public ProgramStart, public ::testing::WithParamInterface<bool> {};

TEST_P(ProgramCrash, WarnsOnceAtRestartExactlyWhenTheOutcomeIsUnknown) {
    const bool approved = GetParam();
    ASSERT_TRUE(server_.Listen());
    server_.SetScript([approved](paysim::Conversation& peer, const paysim::ReceivedMessage& m) {
        if (m.Code() == code::StartTransaction && approved) {
            peer.Send(code::ApproveMessage, {{field::Stan, session::LongToBytes(77)}});
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
        ASSERT_TRUE(
            XdoTool(u"search --sync --onlyvisible --name ^Mereval.-.POS: "
                    u"windowfocus --sync %1 type --delay 60 12.00"_s));
        QTest::qWait(200);
        ASSERT_TRUE(XdoTool(u"key Return"_s));
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
}

INSTANTIATE_TEST_SUITE_P(Steps, ProgramCrash, ::testing::Bool(), [](const auto& info) {
    return info.param ? "AfterTheApprovalArrived" : "AfterTheRequestWentOut";
});

TEST(CoreDumps, OffMakesTheProcessUndumpable) {
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
