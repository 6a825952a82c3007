#include "common/code_page.h"
#include "common/program_settings.h"
#include "common/value_helpers.h"
#include "e2e/loopback_sockets.h"
#include "paysim/conversation.h"
#include "paysim/message_fields.h"
#include "paysim/paysim_server.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "session/payment_session.h"
#include "session/session_view.h"
#include "session/traffic_log.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "support/wire_form.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

namespace mereval::session {
namespace {

namespace code = catalogue::code;
namespace field = catalogue::field;
using paysim::Conversation;
using paysim::FieldList;
using paysim::ReceivedMessage;
using paysim::ScriptResult;
using namespace Qt::Literals::StringLiterals;

constexpr int kWaitMs = 5000;
const QByteArray kPos = QByteArrayLiteral("12345678");
const QByteArray kSession = QByteArrayLiteral("000042");  // the first operation of every test
const QString kTrack = QStringLiteral(";4761739001010010=25121010000012300000?");
const QByteArray kCardNumber = QByteArrayLiteral("4761739001010010");

// Time-outs for runs that end by the peer: long enough that a loaded
// machine never trips them.
constexpr SessionTimeouts kRoomy{5000, 10000, 5000};
// For runs that end by a time-out.
constexpr SessionTimeouts kShort{300, 600, 300};

const QString kApproved = QStringLiteral("Toiming on teostatud. Kviitungi number: ");
const QString kConnectionLost = QStringLiteral(u"Ühendus maksesüsteemiga katkes. (");

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}
QByteArray Byte(quint8 value) {
    return catalogue::ByteValue(value);
}

using test::WireField;
QByteArray WireFrame(const char* messageCode, const QByteArray& session, const QByteArray& body) {
    return test::WireFrame(messageCode, kPos, session, body);
}

QByteArray Message(const char* messageCode, const FieldList& body = {},
                   const QByteArray& session = kSession) {
    FieldList fields = {
        {field::Code, messageCode}, {field::PosId, kPos}, {field::Session, session}};
    fields.insert(fields.end(), body.begin(), body.end());
    return paysim::BuildFrame(fields);
}

QByteArray Status(const QString& text) {
    return Message(code::StatusText, {{field::Text, common::ToCodePage(text)}});
}

QByteArray Approval(qint32 stan, const QByteArray& receipts) {
    return Message(code::ApproveMessage,
                   {{field::Receipts, receipts}, {field::Stan, LongToBytes(stan)}});
}

QByteArray ReceiptBlock() {
    return paysim::BuildFrame({{1, "KAUPMEHE KOOPIA\r\n"}, {2, "KLIENDI KOOPIA\r\n"}});
}

QList<QByteArray> CodesOf(const QList<ReceivedMessage>& messages) {
    QList<QByteArray> codes;
    for (const ReceivedMessage& message : messages) {
        codes.append(message.Code());
    }
    return codes;
}

struct BoxRecord {
    quint8 type;
    QString text;
    qint32 buttons;
    bool operator==(const BoxRecord&) const = default;
};

void PrintTo(const BoxRecord& box, std::ostream* out) {
    *out << "{type " << int(box.type) << ", \"" << box.text.toStdString() << "\", buttons "
         << box.buttons << '}';
}

// The window as the session sees it: hands out what the test put into the
// fields and records every call, also as one ordered list of events.
class RecordingView final : public SessionView {
public:
    OperationTab tab = OperationTab::CardPayment;
    QMap<EntryField, QString> entries;
    QString track = kTrack;
    // Called after a box is recorded; a test answers it from here.
    std::function<void(const BoxRecord&)> onBox;

    QStringList statusLines;
    QStringList sessionTexts;
    QList<bool> runningSwitches;
    QList<BoxRecord> boxes;
    int releaseCalls = 0;
    int cardNumberClears = 0;
    int entryClears = 0;
    QList<std::pair<QByteArray, qint32>> prints;
    QStringList events;

    OperationTab SelectedTab() const override { return tab; }
    QString EntryText(EntryField entry) const override { return entries.value(entry); }
    QString CardTrackText() const override { return track; }

    void ShowStatusLine(const QString& text) override {
        statusLines.append(text);
        events.append(QStringLiteral("status ") + text);
    }
    void ShowSessionText(const QString& text) override { sessionTexts.append(text); }
    void SetOperationRunning(bool running) override {
        runningSwitches.append(running);
        events.append(running ? QStringLiteral("running") : QStringLiteral("idle"));
    }
    void ClearCardNumber() override {
        ++cardNumberClears;
        track.clear();
    }
    void ClearEntryFields() override {
        ++entryClears;
        entries.clear();
        events.append(QStringLiteral("clear"));
    }
    void ShowOperationFrame() override {}
    void OpenBox(quint8 boxType, const QString& text, qint32 buttons) override {
        boxes.append({boxType, text, buttons});
        events.append(QStringLiteral("box ") + text);
        if (onBox) {
            onBox(boxes.back());
        }
    }
    void ReleaseBoxes() override {
        ++releaseCalls;
        events.append(QStringLiteral("release"));
    }
    void PrintReceipts(const QByteArray& receipts, qint32 stan) override {
        prints.append({receipts, stan});
        events.append(QStringLiteral("print"));
    }
};

class PaymentSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
        QObject::connect(&server_, &paysim::PaySimServer::frameSent,
                         [this](int, const QByteArray& bytes) { sentBytes_ += bytes; });
        settings_.fPOSID = QString::fromLatin1(kPos);
        settings_.fAddress = QStringLiteral("127.0.0.1");
        settings_.fPort = server_.Port();
        settings_.fDoPrint = true;
        settings_.session = 41;
    }

    // Card data must never reach a file, whatever the run did.
    void TearDown() override {
        session_.reset();
        const QDir folder(env_.Folder());
        for (const QString& name : folder.entryList(QDir::Files)) {
            const QByteArray contents = env_.ReadFile(name);
            EXPECT_FALSE(contents.contains(kCardNumber)) << name.toStdString();
            EXPECT_FALSE(contents.contains(common::ToCodePage(kTrack))) << name.toStdString();
        }
    }

    PaymentSession& MakeSession(SessionTimeouts timeouts = kRoomy) {
        session_ = std::make_unique<PaymentSession>(view_, settings_, timeouts);
        return *session_;
    }

    bool WaitIdle(int timeoutMs = kWaitMs) {
        return QTest::qWaitFor([this] { return !session_->IsRunning(); }, timeoutMs);
    }

    QByteArray Log() const { return env_.ReadFile(QStringLiteral("log.txt")); }

    // The messages that the simulator sent, decoded from the bytes it wrote.
    QList<QMap<qint16, QByteArray>> SentMessages() const {
        QList<QMap<qint16, QByteArray>> messages;
        QByteArray rest = sentBytes_;
        MessageCodec codec;
        while (codec.Parse(rest, rest) == MessageCodec::kDecoded) {
            messages.append(paysim::PresentFields(codec));
        }
        return messages;
    }

    qint32 SentStan() const {
        for (const auto& message : SentMessages()) {
            if (message.value(field::Code) == code::ApproveMessage) {
                return common::LongFromBytes(message.value(field::Stan));
            }
        }
        return -1;
    }

    // The simulator hands every connection's request to the test, which then
    // plays the payment system through peer_; everything else the
    // simulator answers as usual unless swallowEnd says otherwise.
    void PlayPeerByHand(bool swallowEnd = false) {
        server_.SetScript(
            [this, swallowEnd](Conversation& conversation, const ReceivedMessage& message) {
                const QByteArray c = message.Code();
                if (c == code::StartTransaction || c == code::VoidRequest ||
                    c == code::TipRequest || c == code::ReservationCompletionRequest) {
                    peer_ = &conversation;
                    return ScriptResult::Handled;
                }
                return swallowEnd && c == code::EndTransaction ? ScriptResult::Handled
                                                               : ScriptResult::RunScenario;
            });
    }

    bool WaitPeer() {
        return QTest::qWaitFor([this] { return !peer_.isNull(); }, kWaitMs);
    }
    bool WaitStatus(const QString& text) {
        return QTest::qWaitFor([&] { return view_.statusLines.contains(text); }, kWaitMs);
    }
    bool WaitReceived(const char* messageCode) {
        return QTest::qWaitFor([&] { return CodesOf(server_.Received()).contains(messageCode); },
                               kWaitMs);
    }

    void StartPayment(const QString& amount) {
        view_.tab = OperationTab::CardPayment;
        view_.entries[EntryField::Amount] = amount;
        session_->StartOperation();
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    RecordingView view_;
    common::ProgramSettings settings_;
    std::unique_ptr<PaymentSession> session_;
    QByteArray sentBytes_;
    QPointer<Conversation> peer_;
};

// ---------------------------------------------------------------------------
// The operations, end to end

struct OperationCase {
    const char* name;
    OperationTab tab;
    QMap<EntryField, QString> entries;
    qint32 sessionBefore;
    QByteArray sessionSent;
    const char* request;
    QByteArray body;  // after the header, exactly as on the wire
    bool doPrint;
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<OperationCase> OperationCases() {
    const QByteArray zero = Byte(0);
    const QByteArray track = common::ToCodePage(kTrack);
    return {
        {"CardPayment",
         OperationTab::CardPayment,
         {{EntryField::Amount, QStringLiteral("12.34")}},
         41,
         "000042",
         code::StartTransaction,
         WireField(4, Hex("ae47e17a14ae2840")) + WireField(5, track) + WireField(6, zero) +
             WireField(7, zero) + WireField(11, zero) + WireField(14, zero),
         true},
        {"CancellationOfReceiptMinusOne",
         OperationTab::Cancellation,
         {{EntryField::VoidReceipt, QStringLiteral("-1")}},
         41,
         "000042",
         code::VoidRequest,
         WireField(11, zero) + WireField(13, Hex("ffffffff")),
         true},
        {"TipWithReceiptOutOfRange",
         OperationTab::Tip,
         {{EntryField::TipAmount, QStringLiteral("5,00")},
          {EntryField::TipReceipt, QStringLiteral("1000000")}},
         41,
         "000042",
         code::TipRequest,
         WireField(4, Hex("0000000000001440")) + WireField(11, zero) +
             WireField(13, Hex("00000000")),
         true},
        // Past 999999 the session wraps to 1, also from a hand-edited maximum.
        {"ReservationWrapsTheSessionAndPrintsNothingWhenSwitchedOff",
         OperationTab::Reservation,
         {{EntryField::Amount, QStringLiteral(" 7,00 ")}},
         2147483647,
         "000001",
         code::StartTransaction,
         WireField(4, Hex("0000000000001c40")) + WireField(5, track) + WireField(6, Byte(1)) +
             WireField(7, zero) + WireField(11, zero) + WireField(14, zero),
         false},
        {"CompletionWithReceiptOfLetters",
         OperationTab::ReservationCompletion,
         {{EntryField::CompletionAmount, QStringLiteral("20.00")},
          {EntryField::CompletionReceipt, QStringLiteral("12a")}},
         41,
         "000042",
         code::ReservationCompletionRequest,
         WireField(4, Hex("0000000000003440")) + WireField(11, zero) +
             WireField(13, Hex("00000000")),
         true},
    };
}

class PaymentSessionOperation : public PaymentSessionTest,
                                public ::testing::WithParamInterface<OperationCase> {};

TEST_P(PaymentSessionOperation, RequestOnTheWireApprovalAndEnd) {
    const OperationCase& c = GetParam();
    settings_.session = c.sessionBefore;
    settings_.fDoPrint = c.doPrint;
    view_.tab = c.tab;
    view_.entries = c.entries;
    MakeSession().StartOperation();
    ASSERT_TRUE(WaitIdle());

    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(CodesOf(received), (QList<QByteArray>{c.request, code::EndTransaction}));
    EXPECT_EQ(received[0].frame, WireFrame(c.request, c.sessionSent, c.body));
    EXPECT_EQ(received[1].frame, WireFrame(code::EndTransaction, c.sessionSent, {}));

    const qint32 stan = SentStan();
    ASSERT_GT(stan, 0);
    EXPECT_EQ(view_.statusLines.last(), kApproved + QString::number(stan));
    EXPECT_TRUE(view_.boxes.isEmpty());
    if (c.doPrint) {
        QByteArray receipts;
        for (const auto& message : SentMessages()) {
            if (message.value(field::Code) == code::ApproveMessage) {
                receipts = message.value(field::Receipts);
            }
        }
        ASSERT_FALSE(receipts.isEmpty());
        EXPECT_EQ(view_.prints, (QList<std::pair<QByteArray, qint32>>{{receipts, stan}}));
        EXPECT_LT(view_.events.indexOf(QStringLiteral("print")),
                  view_.events.indexOf(QStringLiteral("clear")));
    } else {
        EXPECT_TRUE(view_.prints.isEmpty());
    }
    EXPECT_EQ(view_.entryClears, 1);
    EXPECT_TRUE(view_.entries.isEmpty());
    EXPECT_GE(view_.cardNumberClears, 1);

    const QString sessionText = QString::fromLatin1(c.sessionSent);
    EXPECT_EQ(view_.sessionTexts, QStringList{QStringLiteral("Session: ") + sessionText});
    EXPECT_EQ(settings_.session, sessionText.toInt());
    common::ProgramSettings stored;
    common::LoadSession(stored);
    EXPECT_EQ(stored.session, sessionText.toInt());
    EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
    EXPECT_EQ(session_->State(), OperationState::Idle);

    const QByteArray log = Log();
    if (QByteArray(c.request) == code::StartTransaction) {
        EXPECT_TRUE(
            log.contains(" OUT:Starting Transaction: Session=" + c.sessionSent + ", Amount="));
    } else {
        EXPECT_TRUE(log.contains(" OUT:" + received[0].frame + "\"\r\n"));
    }
    EXPECT_TRUE(log.contains(" OUT:" + received[1].frame + "\"\r\n"));
    EXPECT_TRUE(log.contains(" ApproveMessage: STAN=" + QByteArray::number(stan)));
}

INSTANTIATE_TEST_SUITE_P(Tabs, PaymentSessionOperation, ::testing::ValuesIn(OperationCases()),
                         [](const ::testing::TestParamInfo<OperationCase>& info) {
                             return info.param.name;
                         });

TEST_F(PaymentSessionTest, PosCommandIsTakenAndEndsWithItsOwnStatus) {
    MakeSession();
    ASSERT_TRUE(session_->PreparePOSCommand(3));
    ASSERT_TRUE(WaitIdle());

    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(CodesOf(received),
              (QList<QByteArray>{code::PosCommandRequest, code::EndTransaction}));
    EXPECT_EQ(received[0].frame,
              WireFrame(code::PosCommandRequest, kSession, WireField(7, Byte(3))));
    EXPECT_EQ(view_.statusLines.last(), QStringLiteral(u"Toiming täitmiseks võetud."));
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_TRUE(view_.prints.isEmpty());
    EXPECT_TRUE(Log().contains(" POS_COMMAND_RESPONSE received"));

    // The command is used up: the next operation is the selected tab's again.
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server_.Received()[2].Code(), code::StartTransaction);
}

TEST_F(PaymentSessionTest, ReportRequestsItsPeriodAndTheDataEndsTheOperation) {
    server_.Settings().reportRows = 3;
    QList<QByteArray> handed;
    MakeSession().SetReportDataHandler([&](const MessageCodec& message) {
        handed.append(message.GetField(field::Code, {}));
        // The cashier's abort while the rows arrive must not reach the wire.
        session_->AbortRequest();
    });
    ASSERT_TRUE(
        session_->StartReport(QStringLiteral("240101000000"), QStringLiteral("240131235959")));
    ASSERT_TRUE(WaitIdle());

    ASSERT_EQ(CodesOf(server_.Received()), QList<QByteArray>{code::ReportRequest});
    EXPECT_EQ(server_.Received()[0].frame,
              WireFrame(code::ReportRequest, kSession,
                        WireField(5, "240101000000") + WireField(9, "240131235959")));
    EXPECT_EQ(session_->ReportPeriodText(),
              QStringLiteral("Periood: 01.01.2024 00:00:00 - 31.01.2024 23:59:59"));
    EXPECT_EQ(handed, QList<QByteArray>{code::ReportData});
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_FALSE(Log().contains(Message(code::AbortRequest)));
    EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));

    // The report is used up: the next operation is the selected tab's again.
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(server_.Received()[1].Code(), code::StartTransaction);
}

// ---------------------------------------------------------------------------
// Declines and boxes

struct DeclineCase {
    const char* name;
    const char* amount;
    const char16_t* text;
    const char* logged;
};

void PrintTo(const DeclineCase& c, std::ostream* out) {
    *out << c.name;
}

class PaymentSessionDecline : public PaymentSessionTest,
                              public ::testing::WithParamInterface<DeclineCase> {};

TEST_P(PaymentSessionDecline, IsAnsweredThenShownWithoutItsCode) {
    const DeclineCase& c = GetParam();
    MakeSession();
    bool answeredBeforeBox = false;
    view_.onBox = [&](const BoxRecord&) {
        answeredBeforeBox = Log().contains(" OUT:" + Message(code::EndTransaction) + "\"\r\n");
    };
    StartPayment(QString::fromLatin1(c.amount));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(answeredBeforeBox);

    EXPECT_EQ(CodesOf(server_.Received()),
              (QList<QByteArray>{code::StartTransaction, code::EndTransaction}));
    EXPECT_EQ(view_.boxes, (QList<BoxRecord>{{kBoxMessage, QString::fromUtf16(c.text), 16}}));
    EXPECT_TRUE(Log().contains(common::ToCodePage(QString::fromUtf8(c.logged))));
    EXPECT_TRUE(view_.prints.isEmpty());
    EXPECT_EQ(view_.entryClears, 0);  // the cashier may try again
    EXPECT_EQ(view_.statusLines.last(), QString());
    EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, PaymentSessionDecline,
    ::testing::Values(DeclineCase{"DeclineMessage", "3.01", u"Tehing keelatud",
                                  "Transaction Declined: 05 - Tehing keelatud"},
                      DeclineCase{"TransactionDeclined", "3.10", u"Kaart on suletud",
                                  "Transaction Declined: 62 - Kaart on suletud"}),
    [](const ::testing::TestParamInfo<DeclineCase>& info) { return info.param.name; });

// The answered boxes run through the real window in its end-to-end tests;
// here the payment system takes its question back itself.
TEST_F(PaymentSessionTest, BoxReleasedByThePaymentSystemIsClosedBeforeTheEnd) {
    MakeSession();
    StartPayment(QStringLiteral("2.08"));
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(view_.boxes,
              (QList<BoxRecord>{
                  {kBoxButtons, QStringLiteral("Kas klient kinnitab summa 2.08 EUR?"), 36}}));
    EXPECT_TRUE(view_.statusLines.last().startsWith(kApproved));
    EXPECT_EQ(view_.releaseCalls, 1);
    const QByteArray log = Log();
    EXPECT_TRUE(log.contains(" ButtonBox: Kas klient kinnitab summa 2.08 EUR?"));
    EXPECT_TRUE(log.contains(" ReleaseBoxes."));
    EXPECT_LT(view_.events.indexOf(QStringLiteral("release")),
              view_.events.indexOf(QStringLiteral("idle")));
}

TEST_F(PaymentSessionTest, AnswersWithoutAConnectionSendAndLogNothing) {
    MakeSession();
    session_->ButtonResponse(6);
    session_->InputResponse(1, QStringLiteral("x"));
    EXPECT_FALSE(QFile::exists(TrafficLog::FilePath()));

    StartPayment(QStringLiteral("1.00"));
    session_->ButtonResponse(6);  // still connecting
    EXPECT_FALSE(QFile::exists(TrafficLog::FilePath()));
    ASSERT_TRUE(WaitIdle());

    const QByteArray log = Log();
    session_->ButtonResponse(6);
    session_->InputResponse(1, QStringLiteral("x"));
    EXPECT_EQ(Log(), log);
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_EQ(CodesOf(server_.Received()),
              (QList<QByteArray>{code::StartTransaction, code::EndTransaction}));
}

// ---------------------------------------------------------------------------
// How an operation fails

TEST_F(PaymentSessionTest, FailedConnectionNamesTheSocketError) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const int closedPort = closed.serverPort();
    closed.close();

    MakeSession();
    const std::pair<int, QString> cases[] = {
        {closedPort, u"10061 - Connection refused)"_s},
        // No socket can reach it; quint16 would quietly make it port 4464.
        {70000, u"10049 - Invalid port 70000)"_s},
    };
    for (const auto& [port, detail] : cases) {
        view_.boxes.clear();
        view_.runningSwitches.clear();
        settings_.fPort = port;
        StartPayment(QStringLiteral("1.00"));
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(view_.boxes,
                  (QList<BoxRecord>{
                      {kBoxMessage, u"Ei saa ühendust maksesüsteemiga. ("_s + detail, 16}}));
        EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
    }
    // The numbers are used up all the same.
    common::ProgramSettings stored;
    common::LoadSession(stored);
    EXPECT_EQ(stored.session, 43);
}

TEST_F(PaymentSessionTest, ConnectionThatNeverCompletesTimesOut) {
    test::UnansweredListener listener;
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.IsFull(); }, kWaitMs));
    settings_.fPort = listener.Port();

    MakeSession({300, 60000, 60000});
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.boxes, (QList<BoxRecord>{{kBoxMessage, kConnectionLost + u"Timeout)"_s, 16}}));
    EXPECT_FALSE(QFile::exists(TrafficLog::FilePath()));  // no request was sent
}

TEST_F(PaymentSessionTest, AbortBeforeTheConnectionIsMadeWritesOnAClosedSocket) {
    MakeSession();
    StartPayment(QStringLiteral("1.00"));
    session_->AbortRequest();

    EXPECT_FALSE(session_->IsRunning());
    EXPECT_EQ(view_.boxes,
              (QList<BoxRecord>{
                  {kBoxMessage, kConnectionLost + u"Attempt to write on closed socket)"_s, 16}}));
    EXPECT_TRUE(Log().contains(" OUT:" + Message(code::AbortRequest) + "\"\r\n"));
    EXPECT_EQ(view_.runningSwitches, (QList<bool>{true, false}));
}

TEST_F(PaymentSessionTest, AbortOnAnOpenConnectionLeavesTheEndToThePaymentSystem) {
    MakeSession();
    StartPayment(QStringLiteral("1.06"));
    ASSERT_TRUE(WaitReceived(code::StartTransaction));
    session_->AbortRequest();
    EXPECT_TRUE(session_->IsRunning());
    ASSERT_TRUE(WaitIdle());

    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(CodesOf(received), (QList<QByteArray>{code::StartTransaction, code::AbortRequest,
                                                    code::EndTransaction}));
    EXPECT_EQ(received[1].frame, WireFrame(code::AbortRequest, kSession, {}));
    EXPECT_EQ(view_.boxes, (QList<BoxRecord>{{kBoxMessage, u"Katkestatud"_s, 16}}));
}

TEST_F(PaymentSessionTest, SilentPeerTimesOutAndNoOtherOperationStartsMeanwhile) {
    MakeSession(kShort);
    StartPayment(QStringLiteral("1.06"));
    ASSERT_TRUE(WaitReceived(code::StartTransaction));
    EXPECT_FALSE(session_->PreparePOSCommand(1));
    EXPECT_FALSE(
        session_->StartReport(QStringLiteral("240101000000"), QStringLiteral("240101235959")));
    EXPECT_EQ(settings_.session, 42);

    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.boxes, (QList<BoxRecord>{{kBoxMessage, kConnectionLost + u"Timeout)"_s, 16}}));
    EXPECT_EQ(CodesOf(server_.Received()), QList<QByteArray>{code::StartTransaction});
    EXPECT_EQ(view_.sessionTexts, QStringList{QStringLiteral("Session: 000042")});
}

TEST_F(PaymentSessionTest, PeerClosingMidOperationIsReported) {
    MakeSession();
    StartPayment(QStringLiteral("1.07"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.boxes,
              (QList<BoxRecord>{{kBoxMessage, kConnectionLost + u"Socket closed)"_s, 16}}));
}

TEST_F(PaymentSessionTest, SocketErrorOnAnEstablishedConnectionIsReported) {
    PlayPeerByHand();
    MakeSession();
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());
    ASSERT_TRUE(test::BreakConnectionTo(server_.Port()));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.boxes,
              (QList<BoxRecord>{
                  {kBoxMessage, kConnectionLost + u"10050 - Transport endpoint is not connected)"_s,
                   16}}));
}

// What the payment system does once the program has sent "0023".
enum class AfterEnd { Silent, Closes, ConnectionBreaks };

struct AfterEndCase {
    const char* name;
    AfterEnd peer;
    int endMs;  // long where the peer's doing must end the operation
};

void PrintTo(const AfterEndCase& c, std::ostream* out) {
    *out << c.name;
}

class PaymentSessionAfterEnd : public PaymentSessionTest,
                               public ::testing::WithParamInterface<AfterEndCase> {};

TEST_P(PaymentSessionAfterEnd, EndsQuietlyWithTheApproval) {
    bool broken = false;
    server_.SetScript([this, &broken, peer = GetParam().peer](Conversation& conversation,
                                                              const ReceivedMessage& message) {
        if (message.Code() != code::EndTransaction) {
            return ScriptResult::RunScenario;
        }
        if (peer == AfterEnd::Closes) {
            conversation.Close();
        } else if (peer == AfterEnd::ConnectionBreaks) {
            broken = test::BreakConnectionTo(server_.Port());
        }
        return ScriptResult::Handled;
    });
    MakeSession({5000, 10000, GetParam().endMs});
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_TRUE(view_.statusLines.last().startsWith(kApproved));
    EXPECT_EQ(view_.prints.size(), 1);
    EXPECT_EQ(broken, GetParam().peer == AfterEnd::ConnectionBreaks);
}

INSTANTIATE_TEST_SUITE_P(
    Peer, PaymentSessionAfterEnd,
    ::testing::Values(AfterEndCase{"Silent", AfterEnd::Silent, 300},
                      AfterEndCase{"Closes", AfterEnd::Closes, 60000},
                      AfterEndCase{"ConnectionBreaks", AfterEnd::ConnectionBreaks, 60000}),
    [](const ::testing::TestParamInfo<AfterEndCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Dispatch of what arrives

struct HeaderCase {
    const char* name;
    FieldList header;
    bool accepted;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class PaymentSessionHeader : public PaymentSessionTest,
                             public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(PaymentSessionHeader, DecidesWhetherAMessageIsOurs) {
    const HeaderCase& c = GetParam();
    PlayPeerByHand();
    MakeSession();
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());

    FieldList probe = c.header;
    probe.insert(probe.begin(), {field::Code, code::StatusText});
    probe.push_back({field::Text, "proov"});
    // The probe comes last, so that a dropped one holds nothing up.
    peer_->SendRaw(Status(QStringLiteral("enne")) + paysim::BuildFrame(probe));
    ASSERT_TRUE(WaitStatus(QStringLiteral("enne")));
    peer_->SendRaw(Approval(7, {}));
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(view_.statusLines.contains(QStringLiteral("proov")), c.accepted);
    EXPECT_EQ(view_.statusLines.last(), kApproved + u"7"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, PaymentSessionHeader,
    ::testing::Values(
        HeaderCase{"SessionWithoutZeros", {{field::PosId, kPos}, {field::Session, "42"}}, true},
        HeaderCase{"SessionWithFraction", {{field::PosId, kPos}, {field::Session, "42.4"}}, true},
        HeaderCase{"OtherSession", {{field::PosId, kPos}, {field::Session, "000043"}}, false},
        HeaderCase{"SessionWithLetters", {{field::PosId, kPos}, {field::Session, "42a"}}, false},
        HeaderCase{"NoSession", {{field::PosId, kPos}}, false},
        HeaderCase{"OtherPos", {{field::PosId, "99999999"}, {field::Session, kSession}}, false},
        HeaderCase{"PosWithBlank", {{field::PosId, kPos + ' '}, {field::Session, kSession}}, false},
        HeaderCase{"NoPos", {{field::Session, kSession}}, false}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

TEST_F(PaymentSessionTest, SplitAndBatchedMessagesAreHandledInOrder) {
    PlayPeerByHand();
    MakeSession();
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());

    // Long enough for a length prefix of two bytes.
    const QString two = u"kaks "_s + QString(150, u'-');
    const QByteArray second = Status(two);
    const QByteArray batch =
        Message("0099", {{field::Text, "tundmatu"}}) + Status(QStringLiteral("kolm")) +
        Message(code::ButtonBox, {{field::Text, "Kas?"}, {field::BoxButtons, LongToBytes(4)}}) +
        Message(code::KeepAlive) +
        Message(code::InputBox, {{field::Text, "Sisesta"}, {field::MaskedInput, Byte(0)}}) +
        Message(code::ReleaseBoxes) + Status(QStringLiteral("neli"));
    // Cut inside the length prefix and inside the header.
    peer_->SendRaw(Status(QStringLiteral("üks")) + second.left(1));
    ASSERT_TRUE(WaitStatus(QStringLiteral("üks")));
    peer_->SendRaw(second.mid(1, 4));
    peer_->SendRaw(second.mid(5) + batch);
    ASSERT_TRUE(WaitStatus(QStringLiteral("neli")));
    const QByteArray approval = Approval(9, ReceiptBlock());
    peer_->SendRaw(approval.left(approval.size() / 2));
    peer_->SendRaw(approval.mid(approval.size() / 2));
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(view_.events,
              (QStringList{u"running"_s, u"status üks"_s, u"status "_s + two, u"status kolm"_s,
                           u"box Kas?"_s, u"box Sisesta"_s, u"release"_s, u"status neli"_s,
                           u"print"_s, u"clear"_s, u"status "_s + kApproved + u"9"_s, u"idle"_s}));
    EXPECT_EQ(view_.boxes,
              (QList<BoxRecord>{{kBoxButtons, u"Kas?"_s, 4}, {kBoxInput, u"Sisesta"_s, 0}}));
    EXPECT_EQ(view_.prints, (QList<std::pair<QByteArray, qint32>>{{ReceiptBlock(), 9}}));
    EXPECT_TRUE(Log().contains(common::ToCodePage(QStringLiteral(u" StatusText: üks"))));
}

TEST_F(PaymentSessionTest, EndTransactionCountsOnlyWhenTheEndIsAwaited) {
    PlayPeerByHand(/*swallowEnd=*/true);
    MakeSession({5000, 60000, 60000});
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());

    peer_->SendRaw(Message(code::EndTransaction) + Status(QStringLiteral("edasi")));
    ASSERT_TRUE(WaitStatus(QStringLiteral("edasi")));
    EXPECT_EQ(session_->State(), OperationState::PaymentSent);

    peer_->SendRaw(Approval(5, {}));
    ASSERT_TRUE(WaitReceived(code::EndTransaction));
    EXPECT_EQ(session_->State(), OperationState::AwaitingEnd);
    // What follows the closing reply in the same arrival goes with the buffer.
    peer_->SendRaw(Message(code::EndTransaction) + Status(QStringLiteral("hilja")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(view_.statusLines.contains(QStringLiteral("hilja")));
    EXPECT_EQ(view_.statusLines.last(), kApproved + u"5"_s);
    EXPECT_TRUE(view_.prints.isEmpty());  // an empty receipt block prints nothing
    EXPECT_TRUE(view_.boxes.isEmpty());
}

struct GarbageCase {
    const char* name;
    QByteArray bytes;
    // Whether the session can read what follows; if not, only the time-out
    // ends the operation.
    bool recovers;
};

void PrintTo(const GarbageCase& c, std::ostream* out) {
    *out << c.name;
}

class PaymentSessionGarbage : public PaymentSessionTest,
                              public ::testing::WithParamInterface<GarbageCase> {};

TEST_P(PaymentSessionGarbage, NeverStopsTheOperationFromEnding) {
    const GarbageCase& c = GetParam();
    PlayPeerByHand();
    MakeSession(c.recovers ? kRoomy : kShort);
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());

    peer_->SendRaw(Status(QStringLiteral("enne")) + c.bytes);
    ASSERT_TRUE(WaitStatus(QStringLiteral("enne")));
    peer_->SendRaw(Approval(3, {}));
    ASSERT_TRUE(WaitIdle());
    if (c.recovers) {
        EXPECT_TRUE(view_.boxes.isEmpty());
        EXPECT_EQ(view_.statusLines.last(), kApproved + u"3"_s);
    } else {
        EXPECT_EQ(view_.boxes,
                  (QList<BoxRecord>{{kBoxMessage, kConnectionLost + u"Timeout)"_s, 16}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, PaymentSessionGarbage,
    ::testing::Values(GarbageCase{"MalformedFrame", Hex("020801"), true},
                      GarbageCase{"EmptyFrame", Hex("00"), true},
                      GarbageCase{"LengthOver64MiB", Hex("8180802000"), true},
                      GarbageCase{"LengthPrefixOfElevenBytes", QByteArray(11, char(0xFF)), true},
                      GarbageCase{"FrameThatNeverEnds", Hex("e40f0a04"), false},
                      GarbageCase{"Text", "hello, world", false}),
    [](const ::testing::TestParamInfo<GarbageCase>& info) { return info.param.name; });

TEST_F(PaymentSessionTest, KeepAlivesHoldTheOperationPastTheReplyTimeOut) {
    constexpr SessionTimeouts kTimeouts{5000, 1000, 5000};
    server_.Settings().keepAliveIntervalMs = 100;
    server_.Settings().keepAliveDurationMs = 2000;
    MakeSession(kTimeouts);
    QElapsedTimer clock;
    clock.start();
    StartPayment(QStringLiteral("1.05"));
    ASSERT_TRUE(WaitIdle());

    EXPECT_GT(clock.elapsed(), kTimeouts.replyMs);  // else the run proves nothing
    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_TRUE(view_.statusLines.last().startsWith(kApproved));
    EXPECT_EQ(Log().count(" KeepAlive."), 20);
}

TEST_F(PaymentSessionTest, FloodOfKeepAlivesLeavesTheEventLoopRunning) {
    constexpr int kKeepAlives = 100000;
    constexpr int kMarks = 50;
    PlayPeerByHand();
    MakeSession();
    StartPayment(QStringLiteral("1.00"));
    ASSERT_TRUE(WaitPeer());

    // Status texts among the keep-alives show how far the session has got.
    const QByteArray keepAlive = Message(code::KeepAlive);
    QByteArray flood;
    flood.reserve(kKeepAlives * keepAlive.size() + 4096);
    for (int i = 1; i <= kKeepAlives; ++i) {
        flood += keepAlive;
        if (i % (kKeepAlives / kMarks) == 0) {
            flood += Status(QString::number(i));
        }
    }
    flood += Approval(11, {});

    // The ticks run the wait too: a loop of its own, with no pauses between
    // the passes that would slow the flood down.
    QSet<QString> seenByTicks;
    QEventLoop loop;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!view_.statusLines.isEmpty()) {
            seenByTicks.insert(view_.statusLines.last());
        }
        if (!session_->IsRunning()) {
            loop.quit();
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    ticker.start(0);
    peer_->SendRaw(flood);
    loop.exec();
    ticker.stop();
    ASSERT_FALSE(session_->IsRunning());

    EXPECT_TRUE(view_.boxes.isEmpty());
    EXPECT_EQ(view_.statusLines.last(), kApproved + u"11"_s);
    EXPECT_EQ(Log().count(" KeepAlive."), kKeepAlives);
    // The loop ran between the pieces of work, not only once at the end.
    seenByTicks.remove(kApproved + u"11"_s);
    EXPECT_GE(seenByTicks.size(), kMarks / 2);
}

}  // namespace
}  // namespace mereval::session
