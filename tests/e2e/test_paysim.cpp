#include "common/code_page.h"
#include "common/value_helpers.h"
#include "e2e/e2e_checks.h"
#include "e2e/paysim_test_client.h"
#include "paysim/message_log.h"
#include "paysim/paysim_server.h"
#include "paysim/report_generator.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/child_process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace mereval::paysim {
namespace {

namespace catalogue = session::catalogue;
namespace code = catalogue::code;
namespace field = catalogue::field;
namespace record = catalogue::record;
using session::MessageCodec;
using test::CodesOf;
using test::PaySimTestClient;

const QByteArray kTrack = QByteArrayLiteral(";4761739001010010=25121010000012300000?");

FieldList Payment(double amount) {
    const QByteArray zero = catalogue::ByteValue(0);
    return {{field::Amount, session::DoubleToBytes(amount)},
            {field::CardData, kTrack},
            {field::TransactionKind, catalogue::ByteValue(catalogue::KindPayment)},
            {field::Reserved7, zero},
            {field::Reserved11, zero},
            {field::Reserved14, zero}};
}

QMap<qint16, QByteArray> Decode(const QByteArray& frame) {
    MessageCodec codec;
    QByteArray rest;
    EXPECT_EQ(codec.Parse(frame, rest), MessageCodec::kDecoded);
    EXPECT_TRUE(rest.isEmpty());
    return PresentFields(codec);
}

QString TextOf(const ReceivedMessage& message) {
    return common::FromCodePage(message.Field(field::Text));
}

class PaySim : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Settings().keepAliveIntervalMs = 20;
        server_.Settings().keepAliveDurationMs = 100;
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
    }

    std::unique_ptr<PaySimTestClient> Connect() {
        auto client = std::make_unique<PaySimTestClient>();
        EXPECT_TRUE(client->Connect(server_.Port()));
        return client;
    }

    // The request's messages up to the result, then the closing "0023" pair.
    std::vector<ReceivedMessage> Operation(const QByteArray& code, const FieldList& body) {
        const auto client = Connect();
        client->Send(code, body);
        std::vector<ReceivedMessage> messages = client->UntilResult();
        client->Send(code::EndTransaction);
        const std::optional<ReceivedMessage> end = client->Next();
        EXPECT_TRUE(end && end->Code() == code::EndTransaction);
        return messages;
    }

    PaySimServer server_;
};

TEST_F(PaySim, ApprovalSendsStatusTextsTwoReceiptsAndIncreasingStans) {
    const std::vector<ReceivedMessage> messages = Operation(code::StartTransaction, Payment(12.00));
    ASSERT_EQ(CodesOf(messages), (QList<QByteArray>{"0002", "0002", "0012"}));
    EXPECT_EQ(TextOf(messages[0]), QStringLiteral("Sisesta kaart"));
    EXPECT_EQ(TextOf(messages[1]), QStringLiteral("Ühendus pangaga..."));
    for (const ReceivedMessage& message : messages) {
        EXPECT_EQ(message.Field(field::PosId), PaySimTestClient::PosId());
        EXPECT_EQ(message.Field(field::Session), PaySimTestClient::Session());
    }

    const ReceivedMessage& approval = messages.back();
    const qint32 stan = common::LongFromBytes(approval.Field(field::Stan));
    ASSERT_EQ(approval.Field(field::Stan).size(), 4);
    const QMap<qint16, QByteArray> receipts = Decode(approval.Field(field::Receipts));
    ASSERT_EQ(receipts.keys(), (QList<qint16>{1, 2}));
    const QString merchant = common::FromCodePage(receipts[1]);
    const QString customer = common::FromCodePage(receipts[2]);
    for (const QString& receipt : {merchant, customer}) {
        EXPECT_TRUE(receipt.contains(QStringLiteral("12.00 EUR")));
        EXPECT_TRUE(receipt.contains(QStringLiteral("476173******0010")));
        EXPECT_TRUE(receipt.contains(session::FormatFixedWidth(stan, 6)));
        EXPECT_TRUE(receipt.contains(QStringLiteral("\r\nKuupäev:")));  // Windows-1257, CR LF
    }
    EXPECT_TRUE(merchant.contains(QStringLiteral("KAUPMEHE KOOPIA")));
    EXPECT_TRUE(customer.contains(QStringLiteral("KLIENDI KOOPIA")));
    EXPECT_FALSE(receipts[1].contains("4761739001010010") ||
                 receipts[2].contains("4761739001010010"));

    const std::vector<ReceivedMessage> next = Operation(code::StartTransaction, Payment(3.00));
    ASSERT_FALSE(next.empty());
    EXPECT_GT(common::LongFromBytes(next.back().Field(field::Stan)), stan);
}

struct OutcomeCase {
    const char* name;
    const char* request;
    double amount;  // unused for "0016"
    const char* result;
    const char16_t* declineText;  // nullptr for an approval
    const char* declineCode;
    bool receipts = true;
};

void PrintTo(const OutcomeCase& c, std::ostream* out) {
    *out << c.name;
}

class PaySimOutcome : public PaySim, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(PaySimOutcome, CentsChooseTheResult) {
    const OutcomeCase& c = GetParam();
    FieldList body = Payment(c.amount);
    if (QByteArray(c.request) != code::StartTransaction) {
        body = {{field::Amount, session::DoubleToBytes(c.amount)},
                {field::ReceiptNumber, session::LongToBytes(77)}};
    }
    const std::vector<ReceivedMessage> messages = Operation(c.request, body);
    ASSERT_FALSE(messages.empty());
    const ReceivedMessage& result = messages.back();
    EXPECT_EQ(result.Code(), c.result);
    if (c.declineText != nullptr) {
        EXPECT_EQ(TextOf(result), QString::fromUtf16(c.declineText));
        EXPECT_EQ(result.Field(field::DeclineCode), c.declineCode);
    } else {
        EXPECT_GT(common::LongFromBytes(result.Field(field::Stan)), 0);
        EXPECT_TRUE(result.Has(field::Receipts));
        EXPECT_EQ(result.Field(field::Receipts).isEmpty(), !c.receipts);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PaySimOutcome,
    ::testing::Values(OutcomeCase{"PaymentDeclines", code::StartTransaction, 7.01,
                                  code::DeclineMessage, u"Tehing keelatud", "05"},
                      OutcomeCase{"NegativeAmountCountsItsCents", code::StartTransaction, -3.10,
                                  code::TransactionDeclined, u"Kaart on suletud", "62"},
                      OutcomeCase{"TipDeclines", code::TipRequest, 1.01, code::DeclineMessage,
                                  u"Tehing keelatud", "05"},
                      OutcomeCase{"CompletionApproves", code::ReservationCompletionRequest, 20.00,
                                  code::ApproveMessage, nullptr, ""},
                      OutcomeCase{"CancellationApproves", code::VoidRequest, 0.01,
                                  code::ApproveMessage, nullptr, ""},
                      OutcomeCase{"UnlistedCentsApprove", code::StartTransaction, 4.37,
                                  code::ApproveMessage, nullptr, ""},
                      OutcomeCase{"ApprovalWithoutReceipts", code::StartTransaction, 1.09,
                                  code::ApproveMessage, nullptr, "", false}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

TEST_F(PaySim, KeepAlivesComeEveryIntervalForTheWholeDurationBeforeTheApproval) {
    const std::vector<ReceivedMessage> messages = Operation(code::StartTransaction, Payment(9.05));
    ASSERT_EQ(CodesOf(messages),
              (QList<QByteArray>{"0003", "0003", "0003", "0003", "0003", "0002", "0002", "0012"}));
}

TEST_F(PaySim, PosCommandGetsStatusTextAndResponseWithTheOverriddenPosId) {
    server_.Settings().replyPosId = "77777777";
    const std::vector<ReceivedMessage> messages =
        Operation(code::PosCommandRequest, {{field::PosCommand, catalogue::ByteValue(2)}});
    ASSERT_EQ(CodesOf(messages), (QList<QByteArray>{"0002", "0027"}));
    for (const ReceivedMessage& message : messages) {
        EXPECT_EQ(message.Field(field::PosId), "77777777");
        EXPECT_EQ(message.Field(field::Session), PaySimTestClient::Session());
    }
}

TEST_F(PaySim, ReportRecordsDecodeLieInThePeriodAndVaryEnoughToGroup) {
    constexpr qint32 kRows = 60;
    server_.Settings().reportRows = kRows;
    const FieldList period = {{field::PeriodStart, "260101000000"},
                              {field::PeriodEnd, "260131235959"}};
    const std::vector<ReceivedMessage> messages = Operation(code::ReportRequest, period);
    ASSERT_FALSE(messages.empty());
    const ReceivedMessage& report = messages.back();
    ASSERT_EQ(report.Code(), code::ReportData);
    EXPECT_EQ(report.Field(field::ReportVersion), session::LongToBytes(0));
    EXPECT_EQ(report.Field(field::RecordCount), session::LongToBytes(kRows));
    EXPECT_EQ(report.fields.lastKey(), field::FirstRecord + kRows - 1);

    const QRegularExpression maskedCard(QStringLiteral("^\\d{6}\\*{6}\\d{4}$"));
    QSet<QByteArray> terminals, dates, cards, flags;
    int unsent = 0, declined = 0, cancelled = 0;
    QByteArray previousTime;
    for (qint16 index = field::FirstRecord; index < field::FirstRecord + kRows; ++index) {
        const QMap<qint16, QByteArray> r = Decode(report.Field(index));
        ASSERT_EQ(r.lastKey(), record::Cancelled) << index;
        const QByteArray time = r[record::DateTime];
        EXPECT_TRUE(time >= "260101000000" && time <= "260131235959") << time.constData();
        EXPECT_GE(time, previousTime);
        previousTime = time;
        EXPECT_GT(session::DoubleFromBytes(r[record::Amount]), 0);
        EXPECT_TRUE(maskedCard.match(QString::fromLatin1(r[record::Card])).hasMatch());
        EXPECT_EQ(r[record::Stan].size(), 4);
        ASSERT_EQ(r[record::SendStatus].size(), 1);
        EXPECT_EQ(r[record::Flags].size(), 6);
        terminals.insert(r[record::Terminal]);
        dates.insert(time.left(6));
        cards.insert(r[record::Card]);
        flags.insert(r[record::Flags]);
        unsent += static_cast<quint8>(r[record::SendStatus][0]) >= 200;
        declined += common::LongFromBytes(r[record::ResponseCode]) != 0;
        cancelled += common::LongFromBytes(r[record::Cancelled]) == 1;
    }
    EXPECT_GE(terminals.size(), 2);
    EXPECT_GE(dates.size(), 5);
    EXPECT_LT(cards.size(), kRows);  // repeating cards
    EXPECT_GE(cards.size(), 5);      // and distinct ones
    EXPECT_TRUE(flags.contains("000010") && flags.contains("000001"));
    EXPECT_GT(unsent, 0);
    EXPECT_GT(declined, 0);
    EXPECT_GT(cancelled, 0);

    const std::vector<ReceivedMessage> again = Operation(code::ReportRequest, period);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.back().fields, report.fields);
    const std::vector<ReceivedMessage> other =
        Operation(code::ReportRequest,
                  {{field::PeriodStart, "260201000000"}, {field::PeriodEnd, "260201235959"}});
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other.back().Field(field::FirstRecord), report.Field(field::FirstRecord));
}

TEST_F(PaySim, ReportRowsStopAtTheHighestFieldIndex) {
    server_.Settings().reportRows = kMaxReportRows + 5;
    const std::vector<ReceivedMessage> messages =
        Operation(code::ReportRequest,
                  {{field::PeriodStart, "250101000000"}, {field::PeriodEnd, "251231235959"}});
    ASSERT_FALSE(messages.empty());
    const ReceivedMessage& report = messages.back();
    EXPECT_EQ(report.Field(field::RecordCount), session::LongToBytes(32668));
    EXPECT_EQ(report.fields.lastKey(), MessageCodec::kMaxIndex);
    EXPECT_EQ(Decode(report.Field(MessageCodec::kMaxIndex)).lastKey(), record::Cancelled);
}

TEST_F(PaySim, RobustnessScenariosSendWhatAClientMustSurvive) {
    QSignalSpy sent(&server_, &PaySimServer::frameSent);
    std::vector<ReceivedMessage> split = Operation(code::StartTransaction, Payment(8.11));
    ASSERT_EQ(CodesOf(split), (QList<QByteArray>{"0002", "0012"}));
    ASSERT_EQ(sent.count(), 3);  // two pieces, then "0023"
    QByteArray firstPiece = sent[0][1].toByteArray();
    EXPECT_EQ(DescribeTraffic(Direction::Out, firstPiece).size(), 1);
    EXPECT_FALSE(firstPiece.isEmpty());  // the approval's first half

    const std::vector<ReceivedMessage> foreign = Operation(code::StartTransaction, Payment(8.12));
    ASSERT_EQ(CodesOf(foreign), (QList<QByteArray>{"0002", "0002", "0002", "0002", "0012"}));
    EXPECT_NE(foreign[0].Field(field::PosId), PaySimTestClient::PosId());
    EXPECT_EQ(foreign[0].Field(field::Session), PaySimTestClient::Session());
    EXPECT_EQ(foreign[1].Field(field::PosId), PaySimTestClient::PosId());
    EXPECT_EQ(foreign[1].Field(field::Session), "000043");

    const auto client = Connect();
    client->Send(code::StartTransaction, Payment(8.13));
    const std::vector<ReceivedMessage> malformed = client->UntilResult();
    ASSERT_FALSE(malformed.empty());
    EXPECT_EQ(malformed.back().Code(), code::ApproveMessage);
    EXPECT_EQ(client->Dropped(), 1);

    const std::vector<ReceivedMessage> released = Operation(code::StartTransaction, Payment(8.08));
    ASSERT_EQ(CodesOf(released), (QList<QByteArray>{"0008", "0004", "0002", "0002", "0012"}));
}

TEST(PaySimLog, ShowsNumbersWithTheirBytesAndMasksCardDataAndPins) {
    QByteArray stream = BuildFrame({{field::Code, code::StartTransaction},
                                    {field::Amount, session::DoubleToBytes(12.34)},
                                    {field::CardData, kTrack},
                                    {field::TransactionKind, catalogue::ByteValue(1)}}) +
                        BuildFrame({{field::Code, code::InputResponse},
                                    {field::ButtonCode, catalogue::ByteValue(1)},
                                    {field::InputText, "1234"}});
    const QByteArray incomplete = BuildFrame({{field::Code, code::KeepAlive}}).first(3);
    stream += incomplete;
    const QStringList lines = DescribeTraffic(Direction::In, stream);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].toStdString(), "IN  0001 4=12.34 [AE 47 E1 7A 14 AE 28 40] 5=\"" +
                                          std::string(35, '*') + "000?\" 6=[01]");
    EXPECT_EQ(lines[1].toStdString(), "IN  0011 5=\"****\" 11=[01]");
    EXPECT_EQ(stream, incomplete);
}

void RunPaySim(QProcess& process, const QStringList& arguments) {
    test::DieWithParent(process);
    process.start(QStringLiteral(MEREVAL_PAYSIM_EXECUTABLE), arguments);
    EXPECT_TRUE(process.waitForStarted());
}

TEST(PaySimExecutable, LogsEachMessageOnOneLineWithoutTheCardData) {
    QProcess process;
    RunPaySim(process, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--delay-ms"),
                        QStringLiteral("0")});
    QByteArray output;
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QRegularExpressionMatch match;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += process.readAllStandardOutput();
            match = listening.match(QString::fromUtf8(output));
            return match.hasMatch();
        },
        PaySimTestClient::kWaitMs));

    PaySimTestClient client;
    ASSERT_TRUE(client.Connect(match.captured(1).toUShort()));
    client.Send(code::StartTransaction, Payment(7.01));
    ASSERT_FALSE(client.UntilResult().empty());
    client.Send(code::EndTransaction);
    ASSERT_TRUE(client.Next());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += process.readAllStandardOutput();
            return output.contains("OUT 0023");
        },
        PaySimTestClient::kWaitMs));
    process.kill();
    process.waitForFinished();

    const QString log = QString::fromUtf8(output);
    EXPECT_TRUE(log.contains(QStringLiteral("IN  0001 2=\"00000001\" 3=\"000042\" 4=7.01 [")));
    EXPECT_TRUE(log.contains(
        QStringLiteral("OUT 0013 2=\"00000001\" 3=\"000042\" 5=\"Tehing keelatud\" 9=\"05\"")));
    EXPECT_TRUE(
        log.contains(QStringLiteral(" 5=\"") + QString(35, u'*') + QStringLiteral("000?\"")));
    EXPECT_FALSE(output.contains("4761739001010010"));
    EXPECT_FALSE(output.contains("=2512"));
}

}  // namespace
}  // namespace mereval::paysim
