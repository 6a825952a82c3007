#include "common/program_settings.h"
#include "common/value_helpers.h"
#include "e2e/e2e_checks.h"
#include "paysim/conversation.h"
#include "paysim/paysim_server.h"
#include "paysim/report_generator.h"
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
#include <tuple>
#include <vector>

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

// The window's side is a double; everything else is the program's own, down
// to the socket and the file.
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

    void TearDown() override {
        report_.reset();
        session_.reset();
    }

    bool March2009(qint16 group = 0, quint8 onlyApproved = 0) {
        return report_->PrepareReport(QDate(2009, 3, 1), QDate(2009, 3, 31), group, onlyApproved,
                                      false);
    }

    bool Idle() const { return view_.runningSwitches.isEmpty() || !view_.runningSwitches.last(); }
    bool WaitIdle() {
        return QTest::qWaitFor([this] { return Idle(); }, kWaitMs);
    }

    // The payment system answers the report request with this body.
    void AnswerWith(const paysim::FieldList& body) {
        server_.SetScript([body](Conversation& conversation, const ReceivedMessage& message) {
            if (message.Code() == code::ReportRequest) {
                conversation.Send(code::ReportData, body);
                return ScriptResult::Handled;
            }
            return ScriptResult::RunScenario;
        });
    }

    QString ReportPath() const { return env_.FilePath(u"Report.pdf"_s); }

    // The window went back to idle exactly once and shows nothing left over.
    void ExpectIdleAgain() {
        EXPECT_TRUE(Idle());
        EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
        EXPECT_EQ(view_.statusLines.last(), QString());
        EXPECT_GE(view_.entryClears, 1);
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    common::ProgramSettings settings_;
    test::ReportViewDouble view_;
    test::OpenerDouble opener_;
    std::unique_ptr<session::PaymentSession> session_;
    std::unique_ptr<TransactionReport> report_;
};

// Rows of the report read back: the words that are a row's time.
int RowsIn(const QList<test::PdfPage>& pages) {
    static const QRegularExpression time(u"^\\d\\d:\\d\\d:\\d\\d$"_s);
    int rows = 0;
    for (const test::PdfPage& page : pages) {
        for (const test::PdfWord& word : page.words) {
            // Below the title block, whose period line holds times too.
            rows += word.top > 30 && time.match(word.text).hasMatch() ? 1 : 0;
        }
    }
    return rows;
}

TEST_F(ReportEndToEndTest, TheSimulatorsReportBecomesAGroupedPdfAndOpens) {
    server_.Settings().reportRows = 300;
    ASSERT_TRUE(March2009(3, 1));  // "Kaart", only successful ones
    ASSERT_TRUE(WaitIdle());

    ASSERT_EQ(test::CodesOf(server_.Received()), QList<QByteArray>{code::ReportRequest});
    const ReceivedMessage& request = server_.Received()[0];
    EXPECT_EQ(request.Field(field::PeriodStart), "090301000000");
    EXPECT_EQ(request.Field(field::PeriodEnd), "090331235959");
    EXPECT_EQ(session_->ReportPeriodText(), kPeriod);

    // What the simulator sent, counted on its own terms.
    int approved = 0;
    for (const auto& [index, record] :
         paysim::ReportDataBody("090301000000", "090331235959", 300)) {
        if (index < field::FirstRecord) {
            continue;
        }
        session::MessageCodec codec;
        QByteArray frame = record;
        ASSERT_EQ(codec.Parse(frame, frame), session::MessageCodec::kDecoded);
        approved += common::LongFromBytes(codec.GetField(8, {})) < 100 ? 1 : 0;
    }

    QString check;
    EXPECT_TRUE(test::QpdfCheck(ReportPath(), &check)) << check.toStdString();
    const auto pages = test::ReadPdf(ReportPath());
    ASSERT_TRUE(pages);
    ASSERT_GT(pages->size(), 1);
    EXPECT_EQ(RowsIn(*pages), approved);
    for (qsizetype p = 0; p < pages->size(); ++p) {
        EXPECT_EQ((*pages)[p].LineAt(test::TextBottom(20, 9)), kPeriod);
        EXPECT_TRUE((*pages)[p].LineAt(test::TextBottom(270, 9)).endsWith(QString::number(p + 1)));
    }
    // Grouped on the card: no card column; the amounts take its width and
    // still end at 179.
    EXPECT_EQ((*pages)[0].LineAt(test::TextBottom(45, 9)),
              u"Terminal Kuupaev Kell STAN Kood Summa Saadetud"_s);
    EXPECT_NEAR((*pages)[0].WordsAt(test::TextBottom(50, 9))[5].right, 179, 0.01);

    EXPECT_EQ(opener_.opened, QStringList{ReportPath()});
    EXPECT_TRUE(view_.boxes.isEmpty());
    ExpectIdleAgain();
}

TEST_F(ReportEndToEndTest, ARequestIsRefusedDuringAKeyBurstOrAnotherOperation) {
    EXPECT_FALSE(report_->PrepareReport(QDate(2009, 3, 1), QDate(2009, 3, 31), 5, 0, true));
    EXPECT_TRUE(Idle());
    EXPECT_EQ(report_->State().ReportStartCode, QString());

    server_.SetScript([](Conversation&, const ReceivedMessage&) { return ScriptResult::Handled; });
    ASSERT_TRUE(March2009(1, 0));
    EXPECT_FALSE(report_->PrepareReport(QDate(2010, 1, 1), QDate(2010, 1, 2), 5, 1, false));
    EXPECT_EQ(report_->State().ReportStartCode, u"090301000000"_s);
    EXPECT_EQ(report_->State().ReportGroup, column::Terminal);
    EXPECT_FALSE(report_->State().ReportOnlyApproved);
    EXPECT_TRUE(QTest::qWaitFor([this] { return server_.Received().size() == 1; }, kWaitMs));
    EXPECT_EQ(settings_.session, 42);  // one operation only
}

// What goes wrong after the request is told in one box, and the window is
// idle again.
TEST_F(ReportEndToEndTest, AFailureAfterTheRequestIsToldInABox) {
    server_.Settings().reportRows = 5;
    const std::vector<std::tuple<const char*, std::function<void()>, QString>> cases = {
        {"unknown version",
         [this] {
             AnswerWith({{field::ReportVersion, session::LongToBytes(10)},
                         {field::RecordCount, session::LongToBytes(1)},
                         {field::FirstRecord, test::RecordFrame({})}});
         },
         kUnknownReportFormat},
        {"unwritable file", [this] { ASSERT_TRUE(QDir(env_.Folder()).mkdir(u"Report.pdf"_s)); },
         u"Aruanne koostamine ebaõnnestus: "_s},
        {"no viewer",
         [this] {
             ASSERT_TRUE(QDir(env_.Folder()).rmdir(u"Report.pdf"_s));
             opener_.result = false;
         },
         u"Aruande kuvamine ebaõnnestus."_s},
    };
    for (const auto& [name, arrange, box] : cases) {
        SCOPED_TRACE(name);
        arrange();
        view_.boxes.clear();
        view_.runningSwitches.clear();
        ASSERT_TRUE(March2009());
        ASSERT_TRUE(WaitIdle());
        ASSERT_EQ(view_.boxes.size(), 1);
        EXPECT_TRUE(view_.boxes[0].startsWith(box)) << view_.boxes[0].toStdString();
        EXPECT_EQ(opener_.opened.isEmpty(), box != u"Aruande kuvamine ebaõnnestus."_s);
        ExpectIdleAgain();
        server_.SetScript({});
    }
    EXPECT_TRUE(test::QpdfCheck(ReportPath()));  // without a viewer it stays on disk
}

}  // namespace
}  // namespace mereval::report
