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
#include "session/message_codec.h"
#include "session/payment_session.h"
#include "session/session_view.h"
#include "session/traffic_log.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "support/wire_form.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

// The payment session against a payment system played over real TCP. Its
// behaviour is a table per kind of event: (phase, event) -> (messages the
// payment system receives, next phase, what the cashier sees).
namespace mereval::session {
namespace {

namespace code = catalogue::code;
namespace field = catalogue::field;
using paysim::Conversation;
using paysim::FieldList;
using paysim::ReceivedMessage;
using paysim::ScriptResult;
using namespace Qt::Literals::StringLiterals;
using Phase = SessionPhase;

constexpr int kWaitMs = 5000;
const QByteArray kPos = QByteArrayLiteral("12345678");
const QByteArray kSession = QByteArrayLiteral("000042");  // the first operation of every test
const QString kTrack = QStringLiteral(";4761739001010010=25121010000012300000?");
const QByteArray kCardNumber = QByteArrayLiteral("4761739001010010");
const QString kApproved = QStringLiteral("Toiming on teostatud. Kviitungi number: ");
const QString kLost = QStringLiteral(u"Ühendus maksesüsteemiga katkes. (");

// Long enough that a loaded machine never trips them.
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

QByteArray ReceiptBlock() {
    return paysim::BuildFrame({{1, "KAUPMEHE KOOPIA\r\n"}, {2, "KLIENDI KOOPIA\r\n"}});
}

// The window as the session sees it: hands out what the test put into the
// fields and records every call as one ordered list of events.
class RecordingView final : public SessionView {
public:
    OperationTab tab = OperationTab::CardPayment;
    QMap<EntryField, QString> entries;
    QString track = kTrack;
    QStringList events;
    QStringList sessionTexts;
    QList<std::pair<QByteArray, qint32>> prints;

    OperationTab SelectedTab() const override { return tab; }
    QString EntryText(EntryField entry) const override { return entries.value(entry); }
    QString TakeCardTrack() override { return track; }
    void ShowStatusLine(const QString& text) override { events.append(u"status "_s + text); }
    void ShowSessionText(const QString& text) override { sessionTexts.append(text); }
    void SetOperationRunning(bool running) override {
        events.append(running ? u"running"_s : u"idle"_s);
    }
    void ClearCardNumber() override { track.clear(); }
    void ClearEntryFields() override {
        entries.clear();
        events.append(u"clear"_s);
    }
    void ShowOperationFrame() override {}
    void OpenBox(quint8 type, const QString& text, qint32 buttons) override {
        events.append(u"box %1 %2 "_s.arg(type).arg(buttons) + text);
    }
    void ReleaseBoxes() override { events.append(u"release"_s); }
    void PrintReceipts(const QByteArray& receipts, qint32 stan,
                       std::function<void()> done) override {
        prints.append({receipts, stan});
        events.append(u"print"_s);
        if (holdPrinting) {
            printed = std::move(done);
        } else {
            done();
        }
    }
    bool holdPrinting = false;
    std::function<void()> printed;
};

QString ErrorBox(const QString& text) {
    return u"box 0 16 "_s + text;
}

class PaymentSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
        QObject::connect(&server_, &paysim::PaySimServer::connectionClosed, [this] { ++closed_; });
        settings_.fPOSID = QString::fromLatin1(kPos);
        settings_.fAddress = QStringLiteral("127.0.0.1");
        settings_.fPort = server_.Port();
        settings_.fDoPrint = true;
        settings_.session = 41;
    }

    void TearDown() override {
        session_.reset();
        test::ExpectNoFileHolds(env_, {kCardNumber});
    }

    PaymentSession& MakeSession(SessionTimeouts timeouts = kRoomy) {
        session_ = std::make_unique<PaymentSession>(view_, settings_, timeouts);
        QObject::connect(session_.get(), &PaymentSession::phaseChanged, [this](Phase phase) {
            phase_ = phase;
            lastPhaseNs_ = phaseClock_.nsecsElapsed();
            phaseClock_.start();
        });
        return *session_;
    }

    bool WaitIdle(int timeoutMs = kWaitMs) {
        return QTest::qWaitFor([this] { return phase_ == Phase::Idle; }, timeoutMs);
    }
    bool WaitPhase(Phase phase) {
        return QTest::qWaitFor([&] { return phase_ == phase; }, kWaitMs);
    }
    bool WaitShown(const QString& event) {
        return QTest::qWaitFor([&] { return view_.events.contains(event); }, kWaitMs);
    }
    bool WaitReceived(const QList<QByteArray>& codes) {
        return QTest::qWaitFor([&] { return test::CodesOf(server_.Received()) == codes; }, kWaitMs);
    }
    QByteArray Log() const { return env_.ReadFile(QStringLiteral("log.txt")); }

    void StartPayment(const QString& amount = u"1.00"_s) {
        view_.tab = OperationTab::CardPayment;
        view_.entries[EntryField::Amount] = amount;
        session_->StartOperation();
    }

    // The simulator hands the request to the test, which then plays the
    // payment system through peer_ and keeps every "0023" of the program.
    void PlayPeerByHand() {
        server_.SetScript([this](Conversation& conversation, const ReceivedMessage& message) {
            if (message.Code() == code::StartTransaction) {
                peer_ = &conversation;
                journalAtRequest_ = env_.ReadFile(u"journal.txt"_s);
            }
            return ScriptResult::Handled;
        });
    }

    // Brings a card payment into the phase, the payment system played by hand.
    void Reach(Phase phase) {
        if (phase == Phase::Connecting) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return unanswered_.IsFull(); }, kWaitMs));
            settings_.fPort = unanswered_.Port();
            StartPayment();
            view_.events.clear();
            return;
        }
        PlayPeerByHand();
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
    int closed_ = 0;  // connections that the session ended
};

// ---------------------------------------------------------------------------
// Requests: what each operation puts on the wire, answered by the simulator

struct OperationCase {
    const char* name;
    OperationTab tab;
    QMap<EntryField, QString> entries;
    const char* request;
    QByteArray body;    // after the header, exactly as on the wire
    QString journaled;  // kind, amount and receipt number as the journal keeps them
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<OperationCase> OperationCases() {
    using test::WireField;
    const QByteArray zero = Byte(0);
    const QByteArray track = common::ToCodePage(kTrack);
    const auto hex = [](const char* text) { return QByteArray::fromHex(text); };
    return {
        {"CancellationOfReceiptMinusOne",
         OperationTab::Cancellation,
         {{EntryField::VoidReceipt, u"-1"_s}},
         code::VoidRequest,
         WireField(11, zero) + WireField(13, hex("ffffffff")),
         u"Tühistamine\t\t-1"_s},
        {"TipWithReceiptOutOfRange",
         OperationTab::Tip,
         {{EntryField::TipAmount, u"5,00"_s}, {EntryField::TipReceipt, u"1000000"_s}},
         code::TipRequest,
         WireField(4, hex("0000000000001440")) + WireField(11, zero) +
             WireField(13, hex("00000000")),
         u"Jootraha\t5.00\t0"_s},
        {"ReservationWrapsTheSession",
         OperationTab::Reservation,
         {{EntryField::Amount, u" 7,00 "_s}},
         code::StartTransaction,
         WireField(4, hex("0000000000001c40")) + WireField(5, track) + WireField(6, Byte(1)) +
             WireField(7, zero) + WireField(11, zero) + WireField(14, zero),
         u"Broneering\t7.00\t"_s},
        {"CompletionWithReceiptOfLetters",
         OperationTab::ReservationCompletion,
         {{EntryField::CompletionAmount, u"20.00"_s}, {EntryField::CompletionReceipt, u"12a"_s}},
         code::ReservationCompletionRequest,
         WireField(4, hex("0000000000003440")) + WireField(11, zero) +
             WireField(13, hex("00000000")),
         u"Broneeringu lõpetamine\t20.00\t0"_s},
    };
}

class PaymentSessionOperation : public PaymentSessionTest,
                                public ::testing::WithParamInterface<OperationCase> {};

TEST_P(PaymentSessionOperation, RequestOnTheWireApprovalAndEnd) {
    const OperationCase& c = GetParam();
    // Past 999999 the session wraps to 1, also from a hand-edited maximum.
    settings_.session = 2147483647;
    const QByteArray sent = "000001";
    view_.tab = c.tab;
    view_.entries = c.entries;
    MakeSession().StartOperation();
    ASSERT_TRUE(WaitIdle());

    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(test::CodesOf(received), (QList<QByteArray>{c.request, code::EndTransaction}));
    EXPECT_EQ(received[0].frame, test::WireFrame(c.request, kPos, sent, c.body));
    EXPECT_EQ(received[1].frame, test::WireFrame(code::EndTransaction, kPos, sent, {}));
    ASSERT_EQ(view_.prints.size(), 1);
    const QString stan = QString::number(view_.prints[0].second);
    // The simulator's own status texts aside.
    const QStringList shown = view_.events.filter(QRegularExpression(u"^(?!status .)|Toiming"_s));
    EXPECT_EQ(shown, (QStringList{u"running"_s, u"print"_s, u"clear"_s,
                                  u"status "_s + kApproved + stan, u"idle"_s}));
    EXPECT_TRUE(view_.entries.isEmpty());
    EXPECT_TRUE(view_.track.isEmpty());
    common::ProgramSettings stored;
    common::LoadSession(stored);
    EXPECT_EQ(stored.session, sent.toInt());

    const QStringList journal = QString::fromUtf8(env_.ReadFile(u"journal.txt"_s)).split(u'\n');
    ASSERT_EQ(journal.size(), 3);
    EXPECT_TRUE(journal[0].endsWith(QString::fromLatin1(sent) + u"\tstart\t"_s + c.journaled))
        << journal[0].toStdString();
    EXPECT_TRUE(journal[1].endsWith(u"\tend\tapproved STAN="_s + stan));
}

INSTANTIATE_TEST_SUITE_P(Tabs, PaymentSessionOperation, ::testing::ValuesIn(OperationCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(PaymentSessionTest, SpecialCommandAndReportAreUsedUpByTheirOperation) {
    server_.Settings().reportRows = 3;
    QList<QByteArray> handed;
    MakeSession().SetReportDataHandler([&](const MessageCodec& message) {
        handed.append(message.GetField(field::Code, {}));
        session_->AbortRequest();  // the rows are in: nothing may reach the wire
    });
    ASSERT_TRUE(session_->PreparePOSCommand(3));
    EXPECT_FALSE(session_->PreparePOSCommand(1));  // one operation at a time
    EXPECT_FALSE(session_->StartReport(u"240101000000"_s, u"240131235959"_s));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.events.last(2),
              (QStringList{u"status "_s + u"Toiming täitmiseks võetud."_s, u"idle"_s}));

    ASSERT_TRUE(session_->StartReport(u"240101000000"_s, u"240131235959"_s));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(session_->ReportPeriodText(),
              u"Periood: 01.01.2024 00:00:00 - 31.01.2024 23:59:59"_s);
    EXPECT_EQ(handed, QList<QByteArray>{code::ReportData});

    StartPayment();
    ASSERT_TRUE(WaitIdle());
    const QList<ReceivedMessage>& received = server_.Received();
    ASSERT_EQ(test::CodesOf(received),
              (QList<QByteArray>{code::PosCommandRequest, code::EndTransaction, code::ReportRequest,
                                 code::StartTransaction, code::EndTransaction}));
    EXPECT_EQ(received[0].frame, test::WireFrame(code::PosCommandRequest, kPos, kSession,
                                                 test::WireField(7, Byte(3))));
    EXPECT_EQ(received[2].frame, test::WireFrame(code::ReportRequest, kPos, "000043",
                                                 test::WireField(5, "240101000000") +
                                                     test::WireField(9, "240131235959")));
    EXPECT_TRUE(Log().contains(" POS_COMMAND_RESPONSE received"));
}

// ---------------------------------------------------------------------------
// Received messages: (phase, what arrives in one read) -> (sent, next, shown)

struct MessageCase {
    const char* name;
    Phase phase;
    QByteArray arrives;
    bool ends;  // our "0023" goes out (after the request and, in AwaitingEnd, its "0023")
    Phase next;
    QString shown;  // the view's events, joined by '|'
};

void PrintTo(const MessageCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<MessageCase> MessageCases() {
    constexpr Phase kResult = Phase::AwaitingResult;
    constexpr Phase kEnding = Phase::AwaitingEnd;
    constexpr Phase kIdle = Phase::Idle;
    const QString masked = u"Sisestage PIN"_s;
    const QString shortText = u"x"_s.repeated(4096);
    const QByteArray end = Message(code::EndTransaction);
    const QByteArray decline = Message(code::DeclineMessage, {{field::Text, "Keelatud"}});
    return {
        {"Status", kResult, Status(u"Kaart loetud"_s), false, kResult, u"status Kaart loetud"_s},
        // A cashier reads a few lines; a flood would fill memory and log.txt.
        {"StatusTooLongIsCut", kResult, Status(shortText + u"y"_s), false, kResult,
         u"status "_s + shortText},
        {"KeepAlive", kResult, Message(code::KeepAlive), false, kResult, {}},
        {"ReleaseBoxes", kResult, Message(code::ReleaseBoxes), false, kResult, u"release"_s},
        {"ButtonBox", kResult,
         Message(code::ButtonBox, {{field::Text, "Kas?"}, {field::BoxButtons, LongToBytes(36)}}),
         false, kResult, u"box 1 36 Kas?"_s},
        {"InputBoxMasked", kResult,
         Message(code::InputBox,
                 {{field::Text, common::ToCodePage(masked)}, {field::MaskedInput, Byte(1)}}),
         false, kResult, u"box 3 0 "_s + masked},
        {"InputBoxPlain", kResult,
         Message(code::InputBox, {{field::Text, "Summa"}, {field::MaskedInput, Byte(0)}}), false,
         kResult, u"box 2 0 Summa"_s},
        {"UnknownCode", kResult, Message("0099"), false, kResult, {}},
        {"EndBeforeTheResultIsIgnored", kResult, end, false, kResult, {}},
        // The box comes after the answer, so a cashier's wait costs no time-out.
        {"Decline", kResult,
         Message(code::DeclineMessage, {{field::Text, "Keelatud"}, {field::DeclineCode, "05"}}),
         true, kEnding, u"box 0 16 Keelatud"_s},
        {"TransactionDeclined", kResult,
         Message(code::TransactionDeclined, {{field::Text, "Suletud"}}), true, kEnding,
         u"box 0 16 Suletud"_s},
        {"Approval", kResult, Approval(9, ReceiptBlock()), true, kEnding, u"print|clear"_s},
        {"ApprovalWithoutReceipts", kResult, Approval(9), true, kEnding, u"clear"_s},
        // The closing reply in the same read: our "0023" must still go out.
        {"ApprovalAndTheEndInOneRead", kResult, Approval(9) + end, true, kIdle,
         u"clear|status "_s + kApproved + u"9|idle"_s},
        {"DeclineAndTheEndInOneRead", kResult, decline + end, true, kIdle,
         u"box 0 16 Keelatud|status |idle"_s},
        {"CommandResponseAndTheEndInOneRead", kResult, Message(code::PosCommandResponse) + end,
         true, kIdle, u"status Toiming täitmiseks võetud.|idle"_s},
        {"ReportDataEndsWithoutAnswer", kResult, Message(code::ReportData), false, kIdle,
         u"status Sõnumi dekodeerimine...|clear|status |idle"_s},
        {"StatusWhileTheEndIsAwaited", kEnding, Status(u"hiljem"_s), false, kEnding,
         u"status hiljem"_s},
        // What follows the closing reply in the same read goes with the buffer.
        {"EndDiscardsWhatFollows", kEnding, end + Status(u"hilja"_s), false, kIdle,
         u"status "_s + kApproved + u"7|idle"_s},
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
        EXPECT_TRUE(QTest::qWaitFor([this] { return closed_ == 1; }, kWaitMs));
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_.Received().size() - before >= sent.size(); },
                                kWaitMs));
    EXPECT_EQ(test::CodesOf(server_.Received().mid(before)), sent);
}

INSTANTIATE_TEST_SUITE_P(Codes, PaymentSessionMessage, ::testing::ValuesIn(MessageCases()),
                         [](const auto& info) { return info.param.name; });

// What is not a message of ours is dropped, and whole messages behind it in
// the same read are still handled; a length no frame can have takes the rest
// of the read with it. A message cut short waits for its rest.
struct ForeignCase {
    const char* name;
    QByteArray bytes;
    bool takesTheRead = false;
};

void PrintTo(const ForeignCase& c, std::ostream* out) {
    *out << c.name;
}

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
                      ForeignCase{"EmptyFrame", QByteArray::fromHex("00")},
                      ForeignCase{"OtherSession", kProbe("000043", kPos)},
                      ForeignCase{"SessionWithLetters", kProbe("42a", kPos)},
                      ForeignCase{"OtherPos", kProbe(kSession, "99999999")},
                      ForeignCase{"PosWithBlank", kProbe(kSession, kPos + ' ')},
                      ForeignCase{"NoHeader", paysim::BuildFrame({{field::Code, "0002"}})},
                      ForeignCase{"HugeLength", QByteArray::fromHex("8180802000"), true},
                      ForeignCase{"EndlessLength", QByteArray(11, char(0xFF)), true}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Connection trouble: (phase, event) -> box, and the operation is over

enum class Trouble { Timeout, PeerCloses, PeerResets, ConnectionBreaks, AbortWhileConnecting };

struct TroubleCase {
    const char* name;
    Phase phase;
    Trouble trouble;
    QString box;  // empty: ends quietly
};

void PrintTo(const TroubleCase& c, std::ostream* out) {
    *out << c.name;
}

class PaymentSessionTrouble : public PaymentSessionTest,
                              public ::testing::WithParamInterface<TroubleCase> {};

TEST_P(PaymentSessionTrouble, EndsTheOperation) {
    const TroubleCase& c = GetParam();
    constexpr int kShortMs = 600;
    SessionTimeouts timeouts = kRoomy;
    if (c.trouble == Trouble::Timeout) {
        (c.phase == Phase::Connecting    ? timeouts.connectMs
         : c.phase == Phase::AwaitingEnd ? timeouts.endMs
                                         : timeouts.replyMs) = kShortMs;
    }
    MakeSession(timeouts);
    Reach(c.phase);
    switch (c.trouble) {
        case Trouble::Timeout:
            break;
        case Trouble::PeerCloses:
            peer_->Close();
            break;
        case Trouble::PeerResets:
            ASSERT_TRUE(test::ResetConnectionOf(server_.Port()));
            break;
        case Trouble::ConnectionBreaks:
            ASSERT_TRUE(test::BreakConnectionTo(server_.Port()));
            break;
        case Trouble::AbortWhileConnecting:
            session_->AbortRequest();
            EXPECT_TRUE(Log().contains(" OUT:" + Message(code::AbortRequest) + "\"\r\n"));
            break;
    }
    ASSERT_TRUE(WaitIdle());
    QStringList shown = c.phase == Phase::AwaitingEnd
                            ? QStringList{u"status "_s + kApproved + u"7"_s, u"idle"_s}
                            : QStringList{u"status "_s, u"idle"_s};
    if (!c.box.isEmpty()) {
        shown.append(ErrorBox(c.box));
    }
    EXPECT_EQ(view_.events, shown);
    const QString reason =
        c.box.isEmpty() ? QString() : c.box.mid(c.box.indexOf(u'(') + 1).chopped(1);
    EXPECT_TRUE(Log().contains(common::ToCodePage(u" Connection ended: "_s + reason)));
    // Only a request that went out has an outcome to keep.
    const QByteArray journal = env_.ReadFile(u"journal.txt"_s);
    if (c.phase == Phase::AwaitingResult) {
        EXPECT_TRUE(journal.endsWith("\tend\tconnection lost: " + reason.toUtf8() + '\n'));
    } else if (c.phase == Phase::Connecting) {
        EXPECT_TRUE(journal.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, PaymentSessionTrouble,
    ::testing::Values(
        TroubleCase{"ConnectTimeout", Phase::Connecting, Trouble::Timeout, kLost + u"Timeout)"_s},
        TroubleCase{"AbortBeforeTheConnection", Phase::Connecting, Trouble::AbortWhileConnecting,
                    kLost + u"Attempt to write on closed socket)"_s},
        TroubleCase{"ReplyTimeout", Phase::AwaitingResult, Trouble::Timeout, kLost + u"Timeout)"_s},
        TroubleCase{"PeerClosesMidOperation", Phase::AwaitingResult, Trouble::PeerCloses,
                    kLost + u"Socket closed)"_s},
        TroubleCase{"PeerResetsMidOperation", Phase::AwaitingResult, Trouble::PeerResets,
                    kLost + u"10054 - Connection reset by peer)"_s},
        TroubleCase{"SocketErrorMidOperation", Phase::AwaitingResult, Trouble::ConnectionBreaks,
                    kLost + u"10050 - Transport endpoint is not connected)"_s},
        TroubleCase{"EndTimeout", Phase::AwaitingEnd, Trouble::Timeout, {}},
        TroubleCase{"PeerClosesAfterTheEnd", Phase::AwaitingEnd, Trouble::PeerCloses, {}},
        TroubleCase{"SocketErrorAfterTheEnd", Phase::AwaitingEnd, Trouble::ConnectionBreaks, {}}),
    [](const auto& info) { return info.param.name; });

// The approval is kept before the receipts print; the answer waits for them,
// and a connection lost meanwhile costs the cashier no false alarm.
TEST_F(PaymentSessionTest, PrintingHoldsTheAnswerAndEndsApprovedWhateverTheConnectionDid) {
    MakeSession({5000, 300, 5000});
    Reach(Phase::AwaitingResult);
    EXPECT_TRUE(journalAtRequest_.endsWith("\t000042\tstart\tKaardimakse\t1.00\t\n"));
    view_.holdPrinting = true;
    peer_->SendRaw(Approval(9, ReceiptBlock()));
    ASSERT_TRUE(WaitPhase(Phase::Printing));
    EXPECT_TRUE(env_.ReadFile(u"journal.txt"_s).endsWith("\tend\tapproved STAN=9\n"));
    peer_->Close();
    QTest::qWait(600);  // past the reply time-out, which printing has stopped
    ASSERT_EQ(phase_, Phase::Printing);
    view_.printed();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(view_.events,
              (QStringList{u"print"_s, u"clear"_s, u"status "_s + kApproved + u"9"_s, u"idle"_s}));
}

TEST_F(PaymentSessionTest, FailedConnectionNamesTheSocketErrorAndUsesTheNumberUp) {
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
        view_.events.clear();
        settings_.fPort = port;
        StartPayment();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(view_.events.last(), ErrorBox(u"Ei saa ühendust maksesüsteemiga. ("_s + detail));
    }
    common::ProgramSettings stored;
    common::LoadSession(stored);
    EXPECT_EQ(stored.session, 43);
    EXPECT_FALSE(Log().contains(" OUT:"));  // no request was sent
}

TEST_F(PaymentSessionTest, SessionNumberThatCannotBeStoredIsToldOnceAndCountsOn) {
    ASSERT_TRUE(QDir().mkdir(env_.SettingsPath()));  // EISDIR
    MakeSession();
    for (const QString& session : {u"000042"_s, u"000043"_s}) {
        StartPayment();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(view_.sessionTexts.last(), u"Session: "_s + session);
    }
    EXPECT_EQ(view_.events.filter(u"box"_s),
              QStringList{ErrorBox(common::kSessionNotStoredText.toString())});
}

// A coarse timer may fire 5 % early; a payment system keeping the schedule
// exactly must never see a false time-out.
TEST_F(PaymentSessionTest, TimeOutsNeverFireEarly) {
    constexpr int kConnectMs = 160;
    MakeSession({kConnectMs, 60000, 60000});
    for (int round = 0; round < 8; ++round) {
        Reach(Phase::Connecting);
        ASSERT_TRUE(WaitIdle());
        // Less than a millisecond passes between the timer's start and the
        // phase's; a coarse timer fires up to 8 ms early here.
        EXPECT_GE(lastPhaseNs_, (kConnectMs - 1) * qint64(1000000)) << "round " << round;
    }
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
    EXPECT_EQ(received[1].frame, test::WireFrame(code::AbortRequest, kPos, kSession, {}));
    EXPECT_TRUE(view_.events.contains(ErrorBox(u"Katkestatud"_s)));
}

TEST_F(PaymentSessionTest, AnswersWithoutAConnectionSendAndLogNothing) {
    MakeSession();
    session_->ButtonResponse(6);
    Reach(Phase::Connecting);
    session_->InputResponse(1, u"x"_s);
    EXPECT_FALSE(QFile::exists(TrafficLog::FilePath()));
}

TEST_F(PaymentSessionTest, KeepAlivesHoldTheOperationPastTheReplyTimeOut) {
    constexpr SessionTimeouts kTimeouts{5000, 1000, 5000};
    server_.Settings().keepAliveIntervalMs = 100;
    server_.Settings().keepAliveDurationMs = 2000;
    MakeSession(kTimeouts);
    QElapsedTimer clock;
    clock.start();
    StartPayment(u"1.05"_s);
    ASSERT_TRUE(WaitIdle());

    EXPECT_GT(clock.elapsed(), kTimeouts.replyMs);  // else the run proves nothing
    EXPECT_TRUE(view_.events.filter(u"box"_s).isEmpty());
    EXPECT_TRUE(view_.events.last(2).first().startsWith(u"status "_s + kApproved));
    EXPECT_EQ(Log().count(" KeepAlive."), 20);
}

}  // namespace
}  // namespace mereval::session
