#include "common/code_page.h"
#include "common/program_settings.h"
#include "common/value_helpers.h"
#include "e2e/e2e_checks.h"
#include "e2e/loopback_sockets.h"
#include "paysim/conversation.h"
#include "paysim/message_fields.h"
#include "paysim/paysim_server.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/payment_session.h"
#include "session/session_view.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "support/wire_form.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace mereval::session {
namespace {

namespace code = catalogue::code;
namespace field = catalogue::field;
using paysim::Conversation;
using paysim::FieldList;
using paysim::ReceivedMessage;
using paysim::ScriptResult;
using test::WireField;
using test::WireFrame;
using namespace Qt::Literals::StringLiterals;
using Phase = SessionPhase;

constexpr int kWaitMs = 5000;
const QByteArray kPos = QByteArrayLiteral("12345678");
const QByteArray kSession = QByteArrayLiteral("000042");  // the first operation of every test
const QString kTrack = QStringLiteral(";4761739001010010=25121010000012300000?");
const QString kApproved = QStringLiteral("Toiming on teostatud. Kviitungi number: ");
const QString kLost = QStringLiteral(u"Ühendus maksesüsteemiga katkes. (");
constexpr SessionTimeouts kRoomy{5000, 10000, 5000};

QByteArray Byte(quint8 value) {
    return catalogue::ByteValue(value);
}

QByteArray Message(const char* messageCode, const FieldList& body = {},
                   const QByteArray& session = kSession, const QByteArray& pos = kPos) {
    FieldList fields = {{field::Code, messageCode}, {field::PosId, pos}, {field::Session, session}};
    fields.insert(fields.end(), body.begin(), body.end());
    return paysim::BuildFrame(fields);
}

QByteArray Status(const QString& text) {
    return Message(code::StatusText, {{field::Text, common::ToCodePage(text)}});
}

QByteArray Approval(qint32 stan, const QByteArray& receipts = {}) {
    return Message(code::ApproveMessage,
                   {{field::Receipts, receipts}, {field::Stan, LongToBytes(stan)}});
}

QString ErrorBox(const QString& text) {
    return u"box 0 16 "_s + text;
}

// Records every call of the session as one ordered list of events.
class RecordingView final : public SessionView {
public:
    OperationTab tab = OperationTab::CardPayment;
    QMap<EntryField, QString> entries;
    QStringList events;
    QStringList sessionTexts;
    bool holdPrinting = false;
    std::function<void()> printed;

    OperationTab SelectedTab() const override { return tab; }
    QString EntryText(EntryField entry) const override { return entries.value(entry); }
    QString TakeCardTrack() override { return kTrack; }
    void ShowStatusLine(const QString& text) override { events.append(u"status "_s + text); }
    void ShowSessionText(const QString& text) override { sessionTexts.append(text); }
    void SetOperationRunning(bool running) override {
        events.append(running ? u"running"_s : u"idle"_s);
    }
    void ClearCardNumber() override {}
    void ClearEntryFields() override { events.append(u"clear"_s); }
    void ShowOperationFrame() override {}
    void OpenBox(quint8 type, const QString& text, qint32 buttons) override {
        events.append(u"box %1 %2 "_s.arg(type).arg(buttons) + text);
    }
    void ReleaseBoxes() override { events.append(u"release"_s); }
    void PrintReceipts(const QByteArray&, qint32, std::function<void()> done) override {
        events.append(u"print"_s);
        if (holdPrinting) {
            printed = std::move(done);
        } else {
            done();
        }
    }
};

class PaymentSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
        settings_.fPOSID = QString::fromLatin1(kPos);
        settings_.fAddress = QStringLiteral("127.0.0.1");
        settings_.fPort = server_.Port();
        settings_.fDoPrint = true;
        settings_.session = 41;
    }

    void TearDown() override {
        session_.reset();
        test::ExpectNoFileHolds(env_, {"4761739001010010"});
    }

    void MakeSession(SessionTimeouts timeouts = kRoomy) {
        session_ = std::make_unique<PaymentSession>(view_, settings_, timeouts);
        QObject::connect(session_.get(), &PaymentSession::phaseChanged, [this](Phase phase) {
            phase_ = phase;
            lastPhaseNs_ = phaseClock_.nsecsElapsed();
            phaseClock_.start();
        });
    }

    bool WaitIdle() {
        return QTest::qWaitFor([this] { return phase_ == Phase::Idle; }, kWaitMs);
    }
    bool WaitShown(const QString& event) {
        return QTest::qWaitFor([&] { return view_.events.contains(event); }, kWaitMs);
    }
    bool WaitReceived(const QList<QByteArray>& codes) {
        return QTest::qWaitFor([&] { return test::CodesOf(server_.Received()) == codes; }, kWaitMs);
    }
    QByteArray Log() const { return env_.ReadFile(QStringLiteral("log.txt")); }
    QByteArray Journal() const { return env_.ReadFile(QStringLiteral("journal.txt")); }

    void StartPayment(const QString& amount = u"1.00"_s) {
        view_.entries[EntryField::Amount] = amount;
        session_->StartOperation();
    }

    // Brings a card payment into the phase, the payment system played by peer_.
    void Reach(Phase phase) {
        if (phase == Phase::Connecting) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return unanswered_.IsFull(); }, kWaitMs));
            settings_.fPort = unanswered_.Port();
            StartPayment();
            view_.events.clear();
            return;
        }
        server_.SetScript([this](Conversation& conversation, const ReceivedMessage& message) {
            if (message.Code() == code::StartTransaction) {
                peer_ = &conversation;
                journalAtRequest_ = Journal();
            }
            return ScriptResult::Handled;
        });
        StartPayment();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !peer_.isNull(); }, kWaitMs));
        if (phase == Phase::AwaitingEnd) {
            peer_->SendRaw(Approval(7));
            ASSERT_TRUE(WaitReceived({code::StartTransaction, code::EndTransaction}));
        }
        ASSERT_EQ(phase_, phase);
        view_.events.clear();
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    test::UnansweredListener unanswered_;
    RecordingView view_;
    common::ProgramSettings settings_;
    std::unique_ptr<PaymentSession> session_;
    Phase phase_ = Phase::Idle;
    QElapsedTimer phaseClock_;
    qint64 lastPhaseNs_ = 0;  // how long the phase before this one lasted
    QPointer<Conversation> peer_;
    QByteArray journalAtRequest_;
};

struct OperationCase {
    const char* name;
    OperationTab tab;
    QMap<EntryField, QString> entries;
    const char* request;
    QByteArray body;    // after the header, exactly as on the wire
    QString journaled;  // kind, amount and receipt number as the journal keeps them
};

std::vector<OperationCase> OperationCases() {
    const auto hex = [](const char* text) { return QByteArray::fromHex(text); };
    const QByteArray track = WireField(5, common::ToCodePage(kTrack));
    return {
        {"CancellationOfReceiptMinusOne",
         OperationTab::Cancellation,
         {{EntryField::VoidReceipt, u"-1"_s}},
         code::VoidRequest,
         hex("5a0100 6a04ffffffff"),
         u"Tühistamine\t\t-1"_s},
        {"TipWithReceiptOutOfRange",
         OperationTab::Tip,
         {{EntryField::TipAmount, u"5,00"_s}, {EntryField::TipReceipt, u"1000000"_s}},
         code::TipRequest,
         hex("22080000000000001440 5a0100 6a0400000000"),
         u"Jootraha\t5.00\t0"_s},
        {"Reservation",
         OperationTab::Reservation,
         {{EntryField::Amount, u" 7,00 "_s}},
         code::StartTransaction,
         hex("22080000000000001c40") + track + hex("320101 3a0100 5a0100 720100"),
         u"Broneering\t7.00\t"_s},
        {"CompletionWithReceiptOfLetters",
         OperationTab::ReservationCompletion,
         {{EntryField::CompletionAmount, u"20.00"_s}, {EntryField::CompletionReceipt, u"12a"_s}},
         code::ReservationCompletionRequest,
         hex("22080000000000003440 5a0100 6a0400000000"),
         u"Broneeringu lõpetamine\t20.00\t0"_s},
    };
}

class PaymentSessionOperation : public PaymentSessionTest,
                                public ::testing::WithParamInterface<OperationCase> {};

TEST_P(PaymentSessionOperation, PutsItsRequestOnTheWireAndInTheJournal) {
    const OperationCase& c = GetParam();
    // Past 999999 the session wraps to 1, also from a hand-edited maximum.
    settings_.session = 2147483647;
    view_.tab = c.tab;
    view_.entries = c.entries;
    MakeSession();
    int closed = 0;
    QObject::connect(&server_, &paysim::PaySimServer::connectionClosed, [&closed] { ++closed; });
    session_->StartOperation();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(QTest::qWaitFor([&closed] { return closed == 1; }, kWaitMs));  // we hang up

    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(test::CodesOf(received), (QList<QByteArray>{c.request, code::EndTransaction}));
    EXPECT_EQ(received[0].frame, WireFrame(c.request, kPos, "000001", c.body));
    EXPECT_EQ(received[1].frame, WireFrame(code::EndTransaction, kPos, "000001", {}));
    common::ProgramSettings stored;
    common::LoadSession(stored);
    EXPECT_EQ(stored.session, 1);
    const QStringList journal = QString::fromUtf8(Journal()).split(u'\n');
    ASSERT_EQ(journal.size(), 3);
    EXPECT_TRUE(journal[0].endsWith(u"000001\tstart\t"_s + c.journaled))
        << journal[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tabs, PaymentSessionOperation, ::testing::ValuesIn(OperationCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(PaymentSessionTest, SpecialCommandIsOneOperationAtATime) {
    MakeSession();
    ASSERT_TRUE(session_->PreparePOSCommand(3));
    EXPECT_FALSE(session_->PreparePOSCommand(1));
    ASSERT_TRUE(WaitIdle());
    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(test::CodesOf(received),
              (QList<QByteArray>{code::PosCommandRequest, code::EndTransaction}));
    EXPECT_EQ(received[0].frame,
              WireFrame(code::PosCommandRequest, kPos, kSession, WireField(7, Byte(3))));
    EXPECT_TRUE(Log().contains(" POS_COMMAND_RESPONSE received"));
}

struct MessageCase {
    const char* name;
    QByteArray arrives;  // in one read
    QString shown;       // the view's events, joined by '|'
    bool ends = false;   // our "0023" goes out
    Phase next = Phase::AwaitingResult;
    Phase phase = Phase::AwaitingResult;
};

std::vector<MessageCase> MessageCases() {
    constexpr Phase kEnding = Phase::AwaitingEnd;
    constexpr Phase kIdle = Phase::Idle;
    const QString shortText = u"x"_s.repeated(4096);
    const QByteArray end = Message(code::EndTransaction);
    const QByteArray receipts = paysim::BuildFrame({{1, "KAUPMEHE\r\n"}, {2, "KLIENDI\r\n"}});
    const QByteArray masked = common::ToCodePage(u"Sisestage PIN"_s);
    const QByteArray buttons = LongToBytes(36);
    return {
        {"Status", Status(u"Kaart loetud"_s), u"status Kaart loetud"_s},
        // A cashier reads a few lines; a flood would fill memory and log.txt.
        {"StatusTooLongIsCut", Status(shortText + u"y"_s), u"status "_s + shortText},
        {"ReleaseBoxes", Message(code::ReleaseBoxes), u"release"_s},
        {"ButtonBox",
         Message(code::ButtonBox, {{field::Text, "Kas?"}, {field::BoxButtons, buttons}}),
         u"box 1 36 Kas?"_s},
        {"InputBoxMasked",
         Message(code::InputBox, {{field::Text, masked}, {field::MaskedInput, Byte(1)}}),
         u"box 3 0 Sisestage PIN"_s},
        {"EndBeforeTheResultIsIgnored", end, {}},
        // The box comes after the answer, so a cashier's wait costs no time-out.
        {"Decline", Message(code::DeclineMessage, {{field::Text, "Keelatud"}}),
         u"box 0 16 Keelatud"_s, true, kEnding},
        {"TransactionDeclined", Message(code::TransactionDeclined, {{field::Text, "Suletud"}}),
         u"box 0 16 Suletud"_s, true, kEnding},
        {"Approval", Approval(9, receipts), u"print|clear"_s, true, kEnding},
        {"ApprovalWithoutReceipts", Approval(9), u"clear"_s, true, kEnding},
        // The closing reply in the same read: our "0023" must still go out.
        {"ApprovalAndTheEndInOneRead", Approval(9) + end,
         u"clear|status "_s + kApproved + u"9|idle"_s, true, kIdle},
        {"ReportDataEndsWithoutAnswer", Message(code::ReportData),
         u"status Sõnumi dekodeerimine...|clear|status |idle"_s, false, kIdle},
        {"StatusWhileTheEndIsAwaited", Status(u"hiljem"_s), u"status hiljem"_s, false, kEnding,
         kEnding},
        // What follows the closing reply in the same read goes with the buffer.
        {"EndDiscardsWhatFollows", end + Status(u"hilja"_s), u"status "_s + kApproved + u"7|idle"_s,
         false, kIdle, kEnding},
    };
}

class PaymentSessionMessage : public PaymentSessionTest,
                              public ::testing::WithParamInterface<MessageCase> {};

TEST_P(PaymentSessionMessage, IsHandledByPhase) {
    const MessageCase& c = GetParam();
    MakeSession();
    Reach(c.phase);
    const int before = server_.Received().size();
    peer_->SendRaw(c.arrives);
    if (c.next == Phase::Idle) {
        ASSERT_TRUE(WaitIdle());
    } else {
        // A mark in a read of its own shows that the arrival was handled.
        peer_->SendRaw(Status(u"mark"_s));
        ASSERT_TRUE(WaitShown(u"status mark"_s));
        view_.events.removeLast();
    }
    EXPECT_EQ(phase_, c.next);
    EXPECT_EQ(view_.events, c.shown.isEmpty() ? QStringList() : c.shown.split(u'|'));
    const QList<QByteArray> sent =
        c.ends ? QList<QByteArray>{code::EndTransaction} : QList<QByteArray>{};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return test::CodesOf(server_.Received().mid(before)) == sent; }, kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(Codes, PaymentSessionMessage, ::testing::ValuesIn(MessageCases()),
                         [](const auto& info) { return info.param.name; });

// A length no frame can have takes the rest of the read with it.
struct ForeignCase {
    const char* name;
    QByteArray bytes;
    bool takesTheRead = false;
};

class PaymentSessionForeign : public PaymentSessionTest,
                              public ::testing::WithParamInterface<ForeignCase> {};

TEST_P(PaymentSessionForeign, IsDroppedAndTheApprovalBehindItCounts) {
    const ForeignCase& c = GetParam();
    MakeSession();
    Reach(Phase::AwaitingResult);
    // A length prefix of two bytes, and a session that reads as the number 42.
    const QString two = u"kaks "_s + QString(150, u'-');
    const QByteArray answer = Message(code::StatusText, {{field::Text, two.toLatin1()}}, "42.4") +
                              Approval(3) + Message(code::EndTransaction);
    peer_->SendRaw(c.takesTheRead ? Status(u"enne"_s) + c.bytes
                                  : c.bytes + Status(u"enne"_s) + answer.left(1));
    ASSERT_TRUE(WaitShown(u"status enne"_s));
    peer_->SendRaw(answer.mid(c.takesTheRead ? 0 : 1));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.events, (QStringList{u"status enne"_s, u"status "_s + two, u"clear"_s,
                                         u"status "_s + kApproved + u"3"_s, u"idle"_s}));
}

const auto kProbe = [](const QByteArray& session, const QByteArray& pos) {
    return Message(code::StatusText, {{field::Text, "proov"}}, session, pos);
};

INSTANTIATE_TEST_SUITE_P(
    Bytes, PaymentSessionForeign,
    ::testing::Values(ForeignCase{"MalformedFrame", QByteArray::fromHex("020801")},
                      ForeignCase{"OtherSession", kProbe("000043", kPos)},
                      ForeignCase{"SessionWithLetters", kProbe("42a", kPos)},
                      ForeignCase{"PosWithBlank", kProbe(kSession, kPos + ' ')},
                      ForeignCase{"NoHeader", paysim::BuildFrame({{field::Code, "0002"}})},
                      ForeignCase{"HugeLength", QByteArray::fromHex("8180802000"), true}),

    [](const auto& info) { return info.param.name; });

enum class Trouble { Timeout, PeerCloses, PeerResets, ConnectionBreaks, AbortWhileConnecting };

struct TroubleCase {
    const char* name;
    Phase phase;
    Trouble trouble;
    QString reason;  // in the box; none: ends quietly
};

class PaymentSessionTrouble : public PaymentSessionTest,
                              public ::testing::WithParamInterface<TroubleCase> {};

TEST_P(PaymentSessionTrouble, EndsTheOperation) {
    const TroubleCase& c = GetParam();
    constexpr int kShortMs = 300;
    SessionTimeouts timeouts = kRoomy;
    if (c.trouble == Trouble::Timeout) {
        (c.phase == Phase::Connecting    ? timeouts.connectMs
         : c.phase == Phase::AwaitingEnd ? timeouts.endMs
                                         : timeouts.replyMs) = kShortMs;
    }
    MakeSession(timeouts);
    session_->ButtonResponse(6);  // no connection: nothing to send
    Reach(c.phase);
    if (c.phase == Phase::Connecting) {
        session_->InputResponse(1, u"x"_s);  // nor while connecting
    }
    switch (c.trouble) {
        case Trouble::Timeout:
            break;
        case Trouble::PeerCloses:
            peer_->Close();
            break;
        case Trouble::PeerResets:
            ASSERT_TRUE(test::ResetConnection(peer_->findChild<QTcpSocket*>()->socketDescriptor()));
            break;
        case Trouble::ConnectionBreaks:
            ASSERT_TRUE(
                test::BreakConnection(session_->findChild<QTcpSocket*>()->socketDescriptor()));
            break;
        case Trouble::AbortWhileConnecting:
            session_->AbortRequest();
            break;
    }
    ASSERT_TRUE(WaitIdle());
    if (c.trouble == Trouble::Timeout) {
        EXPECT_GE(lastPhaseNs_, (kShortMs - 1) * qint64(1000000));  // a coarse timer fires early
    }
    QStringList shown = c.phase == Phase::AwaitingEnd
                            ? QStringList{u"status "_s + kApproved + u"7"_s, u"idle"_s}
                            : QStringList{u"status "_s, u"idle"_s};
    if (!c.reason.isEmpty()) {
        shown.append(ErrorBox(kLost + c.reason + u')'));
    }
    EXPECT_EQ(view_.events, shown);
    EXPECT_TRUE(Log().contains(common::ToCodePage(u" Connection ended: "_s + c.reason)));
    EXPECT_FALSE(Log().contains(" OUT:Input response."));
    // Only a request that went out has an outcome to keep.
    if (c.phase == Phase::AwaitingResult) {
        EXPECT_TRUE(Journal().endsWith("\tend\tconnection lost: " + c.reason.toUtf8() + '\n'));
    } else if (c.phase == Phase::Connecting) {
        EXPECT_TRUE(Journal().isEmpty());
    }
}

constexpr Phase kResult = Phase::AwaitingResult;

INSTANTIATE_TEST_SUITE_P(
    Events, PaymentSessionTrouble,
    ::testing::Values(
        TroubleCase{"ConnectTimeout", Phase::Connecting, Trouble::Timeout, u"Timeout"_s},
        TroubleCase{"AbortBeforeTheConnection", Phase::Connecting, Trouble::AbortWhileConnecting,
                    u"Attempt to write on closed socket"_s},
        TroubleCase{"ReplyTimeout", kResult, Trouble::Timeout, u"Timeout"_s},
        TroubleCase{"PeerClosesMidOperation", kResult, Trouble::PeerCloses, u"Socket closed"_s},
        TroubleCase{"PeerResetsMidOperation", kResult, Trouble::PeerResets,
                    u"10054 - Connection reset by peer"_s},
        TroubleCase{"SocketErrorMidOperation", kResult, Trouble::ConnectionBreaks,
                    u"10050 - Transport endpoint is not connected"_s},
        TroubleCase{"EndTimeout", Phase::AwaitingEnd, Trouble::Timeout, {}},
        TroubleCase{"SocketErrorAfterTheEnd", Phase::AwaitingEnd, Trouble::ConnectionBreaks, {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(PaymentSessionTest, PrintingHoldsTheAnswerAndEndsApprovedWhateverTheConnectionDid) {
    MakeSession({5000, 300, 5000});
    Reach(Phase::AwaitingResult);
    EXPECT_TRUE(journalAtRequest_.endsWith("\t000042\tstart\tKaardimakse\t1.00\t\n"));
    view_.holdPrinting = true;
    peer_->SendRaw(Approval(9, "receipts"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return phase_ == Phase::Printing; }, kWaitMs));
    EXPECT_TRUE(Journal().endsWith("\tend\tapproved STAN=9\n"));
    peer_->Close();
    QTest::qWait(400);  // past the reply time-out, which printing has stopped
    ASSERT_EQ(phase_, Phase::Printing);
    view_.printed();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.events,
              (QStringList{u"print"_s, u"clear"_s, u"status "_s + kApproved + u"9"_s, u"idle"_s}));
}

TEST_F(PaymentSessionTest, FailedConnectionsNameTheSocketErrorAndUseUpNumbersThatCannotBeStored) {
    ASSERT_TRUE(QDir().mkdir(env_.SettingsPath()));  // EISDIR
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
        settings_.fPort = port;
        StartPayment();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(view_.events.last(), ErrorBox(u"Ei saa ühendust maksesüsteemiga. ("_s + detail));
    }
    EXPECT_EQ(view_.sessionTexts.last(), u"Session: 000043"_s);
    EXPECT_EQ(view_.events.count(ErrorBox(common::kSessionNotStoredText.toString())), 1);
    EXPECT_FALSE(Log().contains(" OUT:"));
}

TEST_F(PaymentSessionTest, AbortOnAnOpenConnectionLeavesTheEndToThePaymentSystem) {
    MakeSession();
    StartPayment(u"1.06"_s);
    ASSERT_TRUE(WaitReceived({code::StartTransaction}));
    session_->AbortRequest();
    ASSERT_TRUE(WaitIdle());
    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(
        test::CodesOf(received),
        (QList<QByteArray>{code::StartTransaction, code::AbortRequest, code::EndTransaction}));
    EXPECT_EQ(received[1].frame, WireFrame(code::AbortRequest, kPos, kSession, {}));
    EXPECT_TRUE(view_.events.contains(ErrorBox(u"Katkestatud"_s)));
}

TEST_F(PaymentSessionTest, KeepAlivesHoldTheOperationPastTheReplyTimeOut) {
    server_.Settings().keepAliveIntervalMs = 50;
    server_.Settings().keepAliveDurationMs = 600;
    MakeSession({5000, 300, 5000});
    QElapsedTimer clock;
    clock.start();
    StartPayment(u"1.05"_s);
    ASSERT_TRUE(WaitIdle());
    EXPECT_GT(clock.elapsed(), 600);  // else the run proves nothing
    EXPECT_TRUE(view_.events.last(2).first().startsWith(u"status "_s + kApproved));
}

}  // namespace
}  // namespace mereval::session
