#include "common/code_page.h"
#include "common/value_helpers.h"
#include "e2e/e2e_checks.h"
#include "paysim/message_log.h"
#include "paysim/paysim_server.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

// The simulator as the product tests use it: what it answers, by cents.
namespace mereval::paysim {
namespace {

namespace catalogue = session::catalogue;
namespace code = catalogue::code;
namespace field = catalogue::field;
namespace record = catalogue::record;
using session::MessageCodec;
using test::CodesOf;

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

class PaySim : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Listen()); }

    // The till's side of one operation: the request, the messages up to the
    // result, then the closing "0023" pair. Frames that do not decode are
    // counted in dropped_.
    std::vector<ReceivedMessage> Operation(const QByteArray& requestCode, const FieldList& body) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server_.Port());
        EXPECT_TRUE(socket.waitForConnected());
        FieldList fields = {
            {field::Code, requestCode}, {field::PosId, "00000001"}, {field::Session, "000042"}};
        fields.insert(fields.end(), body.begin(), body.end());
        socket.write(BuildFrame(fields));
        std::vector<ReceivedMessage> messages;
        QByteArray buffer;
        const auto next = [&] {
            buffer += socket.readAll();
            MessageCodec codec;
            const QByteArray before = buffer;
            const qint16 status = codec.Parse(buffer, buffer);
            if (status == MessageCodec::kDecoded) {
                messages.push_back(
                    {0, before.first(before.size() - buffer.size()), PresentFields(codec)});
            }
            dropped_ += status != MessageCodec::kDecoded && status != MessageCodec::kIncomplete;
            return status == MessageCodec::kDecoded;
        };
        const QSet<QByteArray> results = {code::TransactionDeclined, code::ApproveMessage,
                                          code::DeclineMessage, code::ReportData};
        while (QTest::qWaitFor(next, 5000) && !results.contains(messages.back().Code())) {
        }
        socket.write(BuildFrame({{field::Code, code::EndTransaction}}));
        if (!QTest::qWaitFor(next, 5000) || messages.back().Code() != code::EndTransaction) {
            ADD_FAILURE() << "no closing \"0023\"";
            return {};
        }
        messages.pop_back();
        return messages;
    }

    PaySimServer server_;
    int dropped_ = 0;
};

TEST_F(PaySim, ApprovalCarriesBothReceiptsWithTheMaskedCard) {
    const std::vector<ReceivedMessage> messages = Operation(code::StartTransaction, Payment(12.00));
    ASSERT_EQ(CodesOf(messages), (QList<QByteArray>{"0002", "0002", "0012"}));
    const ReceivedMessage& approval = messages.back();
    ASSERT_EQ(approval.Field(field::Stan).size(), 4);
    const qint32 stan = common::LongFromBytes(approval.Field(field::Stan));
    const QMap<qint16, QByteArray> receipts = Decode(approval.Field(field::Receipts));
    ASSERT_EQ(receipts.keys(), (QList<qint16>{1, 2}));
    for (const QByteArray& receipt : receipts) {
        const QString text = common::FromCodePage(receipt);
        EXPECT_TRUE(text.contains(QStringLiteral("12.00 EUR")));
        EXPECT_TRUE(text.contains(QStringLiteral("476173******0010")));
        EXPECT_TRUE(text.contains(session::FormatFixedWidth(stan, 6)));
        EXPECT_TRUE(text.contains(QStringLiteral("\r\nKuupäev:")));  // Windows-1257, CR LF
        EXPECT_FALSE(receipt.contains("4761739001010010"));
    }
    EXPECT_TRUE(receipts[1].contains("KAUPMEHE KOOPIA"));
    EXPECT_TRUE(receipts[2].contains("KLIENDI KOOPIA"));
}

struct OutcomeCase {
    const char* name;
    const char* request;
    double amount;
    QList<QByteArray> codes;
    QString decline;  // text and code; empty for an approval
    bool receipts = true;
    int dropped = 0;
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
    ASSERT_EQ(CodesOf(messages), c.codes);
    const ReceivedMessage& result = messages.back();
    if (!c.decline.isEmpty()) {
        EXPECT_EQ(common::FromCodePage(result.Field(field::Text)) + u' ' +
                      QString::fromLatin1(result.Field(field::DeclineCode)),
                  c.decline);
    } else {
        EXPECT_GT(common::LongFromBytes(result.Field(field::Stan)), 0);
        EXPECT_TRUE(result.Has(field::Receipts));
        EXPECT_EQ(result.Field(field::Receipts).isEmpty(), !c.receipts);
    }
    EXPECT_EQ(dropped_, c.dropped);
}

const QList<QByteArray> kApproved = {"0002", "0002", "0012"};

INSTANTIATE_TEST_SUITE_P(
    Requests, PaySimOutcome,
    ::testing::Values(
        OutcomeCase{"PaymentDeclines",
                    code::StartTransaction,
                    7.01,
                    {"0002", "0013"},
                    QStringLiteral("Tehing keelatud 05")},
        OutcomeCase{"NegativeAmountCountsItsCents",
                    code::StartTransaction,
                    -3.10,
                    {"0002", "0006"},
                    QStringLiteral("Kaart on suletud 62")},
        OutcomeCase{"TipDeclines",
                    code::TipRequest,
                    1.01,
                    {"0002", "0013"},
                    QStringLiteral("Tehing keelatud 05")},
        OutcomeCase{
            "CompletionApproves", code::ReservationCompletionRequest, 20.00, {"0002", "0012"}, {}},
        OutcomeCase{"UnlistedCentsApprove", code::StartTransaction, 4.37, kApproved, {}},
        OutcomeCase{"ApprovalWithoutReceipts", code::StartTransaction, 1.09, kApproved, {}, false},
        // What a till must survive.
        OutcomeCase{"SplitDelivery", code::StartTransaction, 8.11, {"0002", "0012"}, {}},
        OutcomeCase{"ForeignMessages",
                    code::StartTransaction,
                    8.12,
                    {"0002", "0002", "0002", "0002", "0012"},
                    {}},
        OutcomeCase{"MalformedFrame", code::StartTransaction, 8.13, kApproved, {}, true, 1},
        OutcomeCase{"ReleasedQuestion",
                    code::StartTransaction,
                    8.08,
                    {"0008", "0004", "0002", "0002", "0012"},
                    {}}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return info.param.name; });

TEST_F(PaySim, ReportRecordsDecodeLieInThePeriodAndVaryEnoughToGroup) {
    constexpr qint32 kRows = 60;
    server_.Settings().reportRows = kRows;
    const std::vector<ReceivedMessage> messages =
        Operation(code::ReportRequest,
                  {{field::PeriodStart, "260101000000"}, {field::PeriodEnd, "260131235959"}});
    ASSERT_FALSE(messages.empty());
    const ReceivedMessage& report = messages.back();
    ASSERT_EQ(report.Code(), code::ReportData);
    EXPECT_EQ(report.Field(field::RecordCount), session::LongToBytes(kRows));
    EXPECT_EQ(report.fields.lastKey(), field::FirstRecord + kRows - 1);

    const QRegularExpression maskedCard(QStringLiteral("^\\d{6}\\*{6}\\d{4}$"));
    QSet<QByteArray> terminals, dates, cards, flags;
    int unsent = 0, declined = 0, cancelled = 0;
    for (qint16 index = field::FirstRecord; index < field::FirstRecord + kRows; ++index) {
        const QMap<qint16, QByteArray> r = Decode(report.Field(index));
        ASSERT_EQ(r.lastKey(), record::Cancelled) << index;
        const QByteArray time = r[record::DateTime];
        EXPECT_TRUE(time >= "260101000000" && time <= "260131235959") << time.constData();
        EXPECT_GT(session::DoubleFromBytes(r[record::Amount]), 0);
        EXPECT_TRUE(maskedCard.match(QString::fromLatin1(r[record::Card])).hasMatch());
        ASSERT_EQ(r[record::SendStatus].size(), 1);
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

}  // namespace
}  // namespace mereval::paysim
