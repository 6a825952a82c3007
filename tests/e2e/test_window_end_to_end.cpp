#include "common/code_page.h"
#include "common/value_helpers.h"
#include "e2e/e2e_checks.h"
#include "paysim/message_fields.h"
#include "paysim/paysim_server.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"
#include "support/main_window_driver.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "support/wire_form.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace mereval::ui {
namespace {

namespace code = session::catalogue::code;
namespace field = session::catalogue::field;
using paysim::ReceivedMessage;

const QByteArray kPos = QByteArrayLiteral("00000001");
const QByteArray kSession = QByteArrayLiteral("000042");  // "Session" holds 41
const QString kTrack = QStringLiteral(";4761739001010010=25121010000012300000?");
const QString kCardNumber = QStringLiteral("4761739001010010");
constexpr quint64 kByHand = 100;  // ms between keys
constexpr quint64 kSwipe = 2;
// Roomy enough that a loaded machine never trips them before the simulator
// answers, short enough that a lost answer fails the test quickly.
constexpr session::SessionTimeouts kTimeouts{3000, 5000, 3000};
constexpr int kWaitMs = 8000;

using test::WireField;
QByteArray WireFrame(const char* messageCode, const QByteArray& body) {
    return test::WireFrame(messageCode, kPos, kSession, body);
}
QByteArray Byte(quint8 value) {
    return QByteArray(1, char(value));
}
// An amount as the cashier's text gives it: the whole part plus the cents
// divided by 100, in double precision.
QByteArray Euros(int whole, int cents) {
    return session::DoubleToBytes(whole + cents / 100.0);
}
QByteArray PaymentBody(const QByteArray& amount, const QString& card, quint8 kind) {
    return WireField(4, amount) + WireField(5, card.toLatin1()) + WireField(6, Byte(kind)) +
           WireField(7, Byte(0)) + WireField(11, Byte(0)) + WireField(14, Byte(0));
}
QByteArray ReceiptBody(const QByteArray& amount, qint32 receipt) {
    return WireField(4, amount) + WireField(11, Byte(0)) +
           WireField(13, session::LongToBytes(receipt));
}
QByteArray Wire(const QString& text) {
    return common::ToCodePage(text);
}

// What the cashier does on one tab: keys into fields (a swipe is keys 2 ms
// apart), then OK unless a swipe started the operation.
struct Entry {
    const char* field;
    QString text;
    quint64 gapMs;
};

// The real main window and the simulator over TCP on 127.0.0.1, driven as a
// cashier drives them.
class WindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString();
        QObject::connect(&server_, &paysim::PaySimServer::frameSent,
                         [this](int, const QByteArray& bytes) { sentBytes_ += bytes; });
    }

    // Typed secrets too: neither log.txt nor the error log holds them.
    void TearDown() override {
        ui_.Close();
        test::ExpectNoFileHolds(env_, secrets_);
    }

    Form1& OpenWindow(quint16 port) {
        return ui_.Open(env_,
                        "KKAddress=127.0.0.1\nKKPort=" + QByteArray::number(port) +
                            "\nReportMode=0\nPOS=" + kPos + "\nSession=41\n",
                        kTimeouts);
    }

    void Enter(int tab, const std::vector<Entry>& entries) {
        OpenWindow(server_.Port());
        ui_.ClickTab(tab);
        for (const Entry& entry : entries) {
            ui_.Type(entry.field, entry.text, entry.gapMs);
            if (entry.text.contains(kCardNumber)) {
                secrets_ << Wire(entry.text) << Wire(kCardNumber);
            }
        }
        if (!ui_.Running()) {
            ui_.PressOk();
        }
    }

    bool WaitIdle() const {
        return QTest::qWaitFor([this] { return !ui_.Running(); }, kWaitMs);
    }
    bool WaitBox() const {
        return QTest::qWaitFor([this] { return ui_.TopBox() != nullptr; }, kWaitMs);
    }
    QByteArray Log() const { return env_.ReadFile(QStringLiteral("log.txt")); }

    // The simulator's messages, decoded from the bytes it wrote.
    qint32 SentStan() const {
        QByteArray rest = sentBytes_;
        session::MessageCodec codec;
        while (codec.Parse(rest, rest) == session::MessageCodec::kDecoded) {
            const auto fields = paysim::PresentFields(codec);
            if (fields.value(field::Code) == code::ApproveMessage) {
                return common::LongFromBytes(fields.value(field::Stan));
            }
        }
        return -1;
    }

    // What the simulator received, exactly, and the request logged.
    void ExpectReceived(const QList<QByteArray>& frames) const {
        QList<QByteArray> received;
        for (const ReceivedMessage& message : server_.Received()) {
            received.append(message.frame);
        }
        EXPECT_EQ(received, frames) << test::CodesOf(server_.Received()).join(' ').toStdString();
        // A payment's request is logged without its card data.
        EXPECT_TRUE(server_.Received()[0].Code() == code::StartTransaction
                        ? Log().contains(" OUT:Starting Transaction: Session=000042, Amount=")
                        : Log().contains(" OUT:" + frames[0] + "\"\r\n"));
    }

    // The window back at rest after an approval: the status line names the
    // STAN and the fields are empty for the next entry.
    void ExpectApprovedAndIdle() const {
        const qint32 stan = SentStan();
        ASSERT_GT(stan, 0);
        EXPECT_EQ(
            ui_.Field("Text10")->text(),
            QStringLiteral("Toiming on teostatud. Kviitungi number: ") + QString::number(stan));
        EXPECT_EQ(ui_.EntryTexts(), QStringList(7));
        EXPECT_EQ(ui_.TopBox(), nullptr);
        EXPECT_TRUE(Log().contains(" ApproveMessage: STAN=" + QByteArray::number(stan)));
        EXPECT_TRUE(Log().contains(" OUT:" + WireFrame(code::EndTransaction, {}) + "\"\r\n"));
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    QByteArray sentBytes_;
    QList<QByteArray> secrets_;
    test::MainWindowDriver ui_;
};

// ---------------------------------------------------------------------------
// The five operations, approved

struct OperationCase {
    const char* name;
    int tab;
    std::vector<Entry> entries;
    const char* request;
    QByteArray body;
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    *out << c.name;
}

class WindowEndToEndOperation : public WindowEndToEnd,
                                public ::testing::WithParamInterface<OperationCase> {};

TEST_P(WindowEndToEndOperation, SendsTheTabsRequestAndEndsApproved) {
    const OperationCase& c = GetParam();
    Enter(c.tab, c.entries);
    ASSERT_TRUE(WaitIdle());
    ExpectReceived({WireFrame(c.request, c.body), WireFrame(code::EndTransaction, {})});
    ExpectApprovedAndIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Tabs, WindowEndToEndOperation,
    ::testing::Values(
        OperationCase{"CardPaymentBySwipeIntoTheAmount",
                      1,
                      {{"Text2", QStringLiteral("12.34"), kByHand}, {"Text2", kTrack, kSwipe}},
                      code::StartTransaction,
                      PaymentBody(Euros(12, 34), kTrack, 0)},
        OperationCase{"CardPaymentByOkWithATypedCardNumber",
                      1,
                      {{"Text2", QStringLiteral("5.00"), kByHand}, {"Text1", kCardNumber, kByHand}},
                      code::StartTransaction,
                      PaymentBody(Euros(5, 0), kCardNumber, 0)},
        OperationCase{
            "Tip",
            3,
            {{"Text8", QStringLiteral("42"), kByHand}, {"Text9", QStringLiteral("2.50"), kByHand}},
            code::TipRequest,
            ReceiptBody(Euros(2, 50), 42)}),
    [](const ::testing::TestParamInfo<OperationCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// The payment system's boxes

TEST_F(WindowEndToEnd, DeclineShowsItsTextAndKeepsTheAmountForAnotherTry) {
    Enter(1, {{"Text2", QStringLiteral("3.01"), kByHand}, {"Text2", kTrack, kSwipe}});
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), QStringLiteral("Tehing keelatud"));
    ASSERT_TRUE(WaitIdle());
    ui_.ClickBoxButton(QStringLiteral("OK"));

    ExpectReceived({WireFrame(code::StartTransaction, PaymentBody(Euros(3, 1), kTrack, 0)),
                    WireFrame(code::EndTransaction, {})});
    EXPECT_EQ(ui_.EntryTexts().mid(0, 2), (QStringList{QString(), QStringLiteral("3.01")}));
    EXPECT_TRUE(Log().contains(" Transaction Declined: 05 - Tehing keelatud"));
}

struct BoxCase {
    const char* name;
    QString amount;
    QByteArray euros;
    const char* label;
    QString text;
    QStringList buttons;
    QString typed;  // into the input field before the first button
    QString shown;
    QByteArray answer;
    const char* logged;
};

void PrintTo(const BoxCase& c, std::ostream* out) {
    *out << c.name;
}

class WindowEndToEndBox : public WindowEndToEnd, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(WindowEndToEndBox, AnswerGoesBackAndTheOperationIsApproved) {
    const BoxCase& c = GetParam();
    if (!c.typed.isEmpty()) {
        secrets_.append(Wire(c.typed));
    }
    Enter(1, {{"Text2", c.amount, kByHand}, {"Text2", kTrack, kSwipe}});
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.Field("Text1")->text(), QStringLiteral("476173******0010"));
    EXPECT_EQ(ui_.BoxText(c.label), c.text);
    EXPECT_EQ(ui_.BoxButtons(), c.buttons);
    if (!c.typed.isEmpty()) {
        QLineEdit* input = ui_.TopBox()->findChild<QLineEdit*>(QStringLiteral("Text1"));
        QTest::keyClicks(input, c.typed);
        EXPECT_EQ(input->displayText(), c.shown);
    }
    ui_.ClickBoxButton(c.buttons[0]);
    ASSERT_TRUE(WaitIdle());

    ExpectReceived({WireFrame(code::StartTransaction, PaymentBody(c.euros, kTrack, 0)), c.answer,
                    WireFrame(code::EndTransaction, {})});
    ExpectApprovedAndIdle();
    EXPECT_TRUE(Log().contains(c.logged));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, WindowEndToEndBox,
    ::testing::Values(BoxCase{"QuestionAnsweredYes", QStringLiteral("3.02"), Euros(3, 2), "Label1",
                              QStringLiteral("Kas klient kinnitab summa 3.02 EUR?"),
                              QStringList{QStringLiteral("Yes"), QStringLiteral("No")}, QString(),
                              QString(), WireFrame(code::ButtonResponse, WireField(11, Byte(6))),
                              " ButtonBox: Kas klient kinnitab summa 3.02 EUR?"},
                      BoxCase{"MaskedInput", QStringLiteral("3.04"), Euros(3, 4), "Label2",
                              QStringLiteral("Sisesta PIN-kood"),
                              QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")},
                              QStringLiteral("5917"), QStringLiteral("****"),
                              WireFrame(code::InputResponse,
                                        WireField(5, "5917") + WireField(11, Byte(1))),
                              " OUT:Input response.\"\r\n"}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return info.param.name; });

}  // namespace
}  // namespace mereval::ui
