#include "common/code_page.h"
#include "e2e/e2e_checks.h"
#include "paysim/paysim_server.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "support/main_window_driver.h"
#include "support/qt_print_to.h"
#include "support/temp_environment.h"
#include "support/wire_form.h"

#include <gtest/gtest.h>

// The real main window and the simulator over TCP on 127.0.0.1, driven as a
// cashier drives them; the simulator's cents choose its answer.
namespace mereval::ui {
namespace {

namespace code = session::catalogue::code;
using namespace Qt::Literals::StringLiterals;
using test::WireField;

const QByteArray kPos = QByteArrayLiteral("00000001");
const QString kTrack = QStringLiteral(";4761739001010010=25121010000012300000?");
const QString kCardNumber = QStringLiteral("4761739001010010");
constexpr quint64 kByHand = 100;  // ms between keys
constexpr quint64 kSwipe = 2;
constexpr int kWaitMs = 8000;

QByteArray WireFrame(const char* messageCode, const QByteArray& body) {
    return test::WireFrame(messageCode, kPos, "000042", body);
}
// The amount as the cashier's text gives it: whole euros plus cents / 100.
QByteArray PaymentBody(int whole, int cents, const QString& card) {
    return WireField(4, session::DoubleToBytes(whole + cents / 100.0)) +
           WireField(5, card.toLatin1()) + QByteArray::fromHex("320100 3a0100 5a0100 720100");
}

class WindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.Listen()) << server_.ErrorString().toStdString(); }

    // Typed secrets too: neither log.txt nor the error log holds them.
    void TearDown() override {
        ui_.Close();
        test::ExpectNoFileHolds(env_, secrets_);
    }

    // Keys into the amount, then the card: a swipe starts the operation,
    // a typed card number waits for OK.
    void Pay(const QString& amount, const char* cardField, const QString& card, quint64 gapMs) {
        ui_.Open(env_,
                 "KKAddress=127.0.0.1\nKKPort=" + QByteArray::number(server_.Port()) +
                     "\nReportMode=0\nPOS=" + kPos + "\nSession=41\n",
                 {3000, 5000, 3000});
        ui_.ClickTab(1);
        ui_.Type("Text2", amount, kByHand);
        ui_.Type(cardField, card, gapMs);
        secrets_ << common::ToCodePage(card) << common::ToCodePage(kCardNumber);
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

    QList<QByteArray> Received() const {
        QList<QByteArray> received;
        for (const paysim::ReceivedMessage& message : server_.Received()) {
            received.append(message.frame);
        }
        return received;
    }

    test::TempProgramEnvironment env_;
    paysim::PaySimServer server_;
    QList<QByteArray> secrets_;
    test::MainWindowDriver ui_;
};

TEST_F(WindowEndToEnd, DeclineOfATypedCardShowsItsTextAndKeepsTheAmountForAnotherTry) {
    Pay(QStringLiteral("3.01"), "Text1", kCardNumber, kByHand);
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.BoxText(), QStringLiteral("Tehing keelatud"));
    ASSERT_TRUE(WaitIdle());
    ui_.ClickBoxButton(QStringLiteral("OK"));

    EXPECT_EQ(Received(),
              (QList<QByteArray>{WireFrame(code::StartTransaction, PaymentBody(3, 1, kCardNumber)),
                                 WireFrame(code::EndTransaction, {})}));
    EXPECT_EQ(ui_.EntryTexts().mid(0, 2), (QStringList{QString(), QStringLiteral("3.01")}));
    EXPECT_TRUE(
        env_.ReadFile(u"log.txt"_s).contains(" Transaction Declined: 05 - Tehing keelatud"));
}

// The payment system's boxes, on a swiped card.
struct BoxCase {
    const char* name;
    int cents;
    const char* label;
    QString text;
    QStringList buttons;
    QString typed;  // into the input field before the first button
    QString shown;
    QByteArray answer;
};

class WindowEndToEndBox : public WindowEndToEnd, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(WindowEndToEndBox, AnswerGoesBackAndTheOperationIsApproved) {
    const BoxCase& c = GetParam();
    Pay(QStringLiteral("3.0%1").arg(c.cents), "Text2", kTrack, kSwipe);
    ASSERT_TRUE(WaitBox());
    EXPECT_EQ(ui_.Field("Text1")->text(), QStringLiteral("476173******0010"));
    EXPECT_EQ(ui_.BoxText(c.label), c.text);
    EXPECT_EQ(ui_.BoxButtons(), c.buttons);
    if (!c.typed.isEmpty()) {
        secrets_.append(common::ToCodePage(c.typed));
        QLineEdit* input = ui_.TopBox()->findChild<QLineEdit*>(QStringLiteral("Text1"));
        QTest::keyClicks(input, c.typed);
        EXPECT_EQ(input->displayText(), c.shown);
    }
    ui_.ClickBoxButton(c.buttons[0]);
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(Received(),
              (QList<QByteArray>{WireFrame(code::StartTransaction, PaymentBody(3, c.cents, kTrack)),
                                 c.answer, WireFrame(code::EndTransaction, {})}));
    EXPECT_TRUE(ui_.Field("Text10")->text().startsWith(
        QStringLiteral("Toiming on teostatud. Kviitungi number: ")));
    EXPECT_EQ(ui_.EntryTexts(), QStringList(7));
    EXPECT_EQ(ui_.TopBox(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, WindowEndToEndBox,
    ::testing::Values(BoxCase{"QuestionAnsweredYes", 2, "Label1",
                              QStringLiteral("Kas klient kinnitab summa 3.02 EUR?"),
                              QStringList{QStringLiteral("Yes"), QStringLiteral("No")}, QString(),
                              QString(),
                              WireFrame(code::ButtonResponse, QByteArray::fromHex("5a0106"))},
                      BoxCase{"MaskedInput", 4, "Label2", QStringLiteral("Sisesta PIN-kood"),
                              QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")},
                              QStringLiteral("5917"), QStringLiteral("****"),
                              WireFrame(code::InputResponse,
                                        WireField(5, "5917") + QByteArray::fromHex("5a0101"))}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return info.param.name; });

}  // namespace
}  // namespace mereval::ui
