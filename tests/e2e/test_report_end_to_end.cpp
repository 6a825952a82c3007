#include "common/program_settings.h"
#include "e2e/e2e_checks.h"
#include "paysim/conversation.h"
#include "paysim/paysim_server.h"
#include "report/report_data.h"
#include "report/transaction_report.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/payment_session.h"
#include "support/temp_environment.h"
#include "unit/report/pdf_readback.h"
#include "unit/report/report_fixtures.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace mereval::report {
namespace {

using namespace Qt::Literals::StringLiterals;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using paysim::Conversation;
using paysim::ReceivedMessage;
using paysim::ScriptResult;

constexpr int kWaitMs = 20000;
const QString kPeriod = u"Periood: 01.03.2009 00:00:00 - 31.03.2009 23:59:59"_s;

// The window's side is a double; the rest is the program's own.
class ReportEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
        settings_.fPOSID = u"12345678"_s;
        settings_.fAddress = u"127.0.0.1"_s;
        settings_.fPort = server_.Port();
        settings_.session = 41;
        session_ = std::make_unique<session::PaymentSession>(
            view_, settings_, session::SessionTimeouts{5000, 15000, 5000});
        report_ = std::make_unique<TransactionReport>(*session_, view_, opener_);
    }

    bool March2009(qint16 group = 0, quint8 onlyApproved = 0) {
        return report_->PrepareReport(QDate(2009, 3, 1), QDate(2009, 3, 31), group, onlyApproved,
                                      false);
    }

    bool Idle() const { return view_.runningSwitches.isEmpty() || !view_.runningSwitches.last(); }

    // Back to idle exactly once, nothing left over on the window.
    void WaitIdleAgain() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return Idle(); }, kWaitMs));
        EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
        EXPECT_EQ(view_.statusLines.last(), QString());
        EXPECT_GE(view_.entryClears, 1);
    }

    QString ReportPath() const { return env_.FilePath(u"Report.pdf"_s); }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    common::ProgramSettings settings_;
    test::ReportViewDouble view_;
    test::OpenerDouble opener_;
    std::unique_ptr<session::PaymentSession> session_;
    std::unique_ptr<TransactionReport> report_;
};

TEST_F(ReportEndToEndTest, TheSimulatorsReportBecomesAGroupedPdfAndOpens) {
    server_.Settings().reportRows = 300;
    ASSERT_TRUE(March2009(3, 1));  // "Kaart", only successful ones
    WaitIdleAgain();

    ASSERT_EQ(test::CodesOf(server_.Received()), QList<QByteArray>{code::ReportRequest});
    const ReceivedMessage& request = server_.Received()[0];
    EXPECT_EQ(request.Field(field::PeriodStart), "090301000000");
    EXPECT_EQ(request.Field(field::PeriodEnd), "090331235959");

    QString check;
    EXPECT_TRUE(test::QpdfCheck(ReportPath(), &check)) << check.toStdString();
    const auto pages = test::ReadPdf(ReportPath());
    ASSERT_TRUE(pages);
    ASSERT_GT(pages->size(), 1);
    // Rows are the words that are a time, below the title block's period.
    static const QRegularExpression time(u"^\\d\\d:\\d\\d:\\d\\d$"_s);
    int rows = 0;
    for (const test::PdfPage& page : *pages) {
        for (const test::PdfWord& word : page.words) {
            rows += word.top > 30 && time.match(word.text).hasMatch() ? 1 : 0;
        }
    }
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 300);  // only the approved ones of the simulator's 300
    for (qsizetype p = 0; p < pages->size(); ++p) {
        EXPECT_EQ((*pages)[p].LineAt(test::TextBottom(20, 9)), kPeriod);
        EXPECT_TRUE((*pages)[p].LineAt(test::TextBottom(270, 9)).endsWith(QString::number(p + 1)));
    }
    // Grouped on the card: no card column, the amounts take its width.
    EXPECT_EQ((*pages)[0].LineAt(test::TextBottom(45, 9)),
              u"Terminal Kuupaev Kell STAN Kood Summa Saadetud"_s);
    EXPECT_NEAR((*pages)[0].WordsAt(test::TextBottom(50, 9))[5].right, 179, 0.01);

    EXPECT_EQ(opener_.opened, QStringList{ReportPath()});
    EXPECT_TRUE(view_.boxes.isEmpty());
}

TEST_F(ReportEndToEndTest, ARequestIsRefusedDuringAKeyBurstOrAnotherOperation) {
    EXPECT_FALSE(report_->PrepareReport(QDate(2009, 3, 1), QDate(2009, 3, 31), 5, 0, true));
    EXPECT_TRUE(Idle());

    server_.SetScript([](Conversation&, const ReceivedMessage&) { return ScriptResult::Handled; });
    ASSERT_TRUE(March2009(1, 0));
    EXPECT_FALSE(report_->PrepareReport(QDate(2010, 1, 1), QDate(2010, 1, 2), 5, 1, false));
    EXPECT_EQ(report_->State().ReportStartCode, u"090301000000"_s);
    EXPECT_TRUE(QTest::qWaitFor([this] { return server_.Received().size() == 1; }, kWaitMs));
    EXPECT_EQ(settings_.session, 42);  // one operation only
}

TEST_F(ReportEndToEndTest, AFailureAfterTheRequestIsToldInABox) {
    server_.Settings().reportRows = 5;
    const paysim::FieldList unknownVersion = {{field::ReportVersion, session::LongToBytes(10)},
                                              {field::RecordCount, session::LongToBytes(1)},
                                              {field::FirstRecord, test::RecordFrame({})}};
    bool answered = false;  // only the first request: then the simulator's own report
    server_.SetScript([&](Conversation& conversation, const ReceivedMessage& message) {
        if (answered || message.Code() != code::ReportRequest) {
            return ScriptResult::RunScenario;
        }
        answered = true;
        conversation.Send(code::ReportData, unknownVersion);
        return ScriptResult::Handled;
    });
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] {}, kUnknownReportFormat},
        {[this] { ASSERT_TRUE(QDir(env_.Folder()).mkdir(u"Report.pdf"_s)); },
         u"Aruanne koostamine ebaõnnestus: "_s},
        {[this] {
             ASSERT_TRUE(QDir(env_.Folder()).rmdir(u"Report.pdf"_s));
             opener_.result = false;
         },
         u"Aruande kuvamine ebaõnnestus."_s},
    };
    for (const auto& [arrange, box] : cases) {
        arrange();
        view_.boxes.clear();
        view_.runningSwitches.clear();
        ASSERT_TRUE(March2009());
        WaitIdleAgain();
        ASSERT_EQ(view_.boxes.size(), 1);
        EXPECT_TRUE(view_.boxes[0].startsWith(box)) << view_.boxes[0].toStdString();
    }
    EXPECT_TRUE(test::QpdfCheck(ReportPath()));  // without a viewer it stays on disk
}

}  // namespace
}  // namespace mereval::report
