#include "common/code_page.h"
#include "common/program_settings.h"
#include "platform/cups_spooler.h"
#include "printing/fake_spooler.h"
#include "printing/find_printer_index.h"
#include "printing/receipt_blocks.h"
#include "printing/receipt_printer.h"
#include "printing/replace_chars.h"
#include "session/message_codec.h"

#include <gtest/gtest.h>

#include <memory>

namespace mereval::printing {
namespace {

using test::FakeSpooler;

TEST(ReplaceChars, SearchesTheUnchangedTextSoNothingIsReplacedTwice) {
    EXPECT_EQ(ReplaceChars(QStringLiteral("abba"), u"ab", u"ba"), QStringLiteral("baab"));
    EXPECT_EQ(ReplaceChars(QStringLiteral("aXa"), u"aX", u"X"), QStringLiteral("XXX"));
    EXPECT_EQ(ReplaceChars(QString(), u"a", u"b"), QString());
    const QString text = QStringLiteral(u"ÕõÄäÖöÜü Šš");
    EXPECT_EQ(common::ToCodePage(ReplaceChars(text, kReceiptCharsFrom, ReceiptCharsTo())),
              QByteArray("\x93\x93\x8E\x84\x99\x94\x9A\x81 \xD0\xF0"));
}

TEST(FindPrinterIndex, WholeNameWithLetterCase) {
    const QStringList printers = {QStringLiteral("Kassa"), QStringLiteral("Kontor"),
                                  QStringLiteral("Kassa")};
    EXPECT_EQ(FindPrinterIndex(printers, QStringLiteral("Kassa")), 0);
    EXPECT_EQ(FindPrinterIndex(printers, QStringLiteral("Kontor")), 1);
    EXPECT_EQ(FindPrinterIndex(printers, QStringLiteral("kassa")), -1);
    EXPECT_EQ(FindPrinterIndex(printers, QStringLiteral("Kass")), -1);
    EXPECT_EQ(FindPrinterIndex(printers, QString()), -1);
    EXPECT_EQ(FindPrinterIndex({QString()}, QString()), -1);
}

TEST(CupsJobPriority, EndsMeetAndEveryValueComesBack) {
    EXPECT_EQ(platform::IppJobPriority(1), 1);
    EXPECT_EQ(platform::IppJobPriority(99), 100);
    EXPECT_EQ(platform::IppJobPriority(0), 1);
    EXPECT_EQ(platform::IppJobPriority(150), 100);
    for (qint32 priority = 1; priority <= 99; ++priority) {
        EXPECT_EQ(platform::SpoolerJobPriority(platform::IppJobPriority(priority)), priority);
    }
}

// Records what receipt printing asks of the driver.
class FakeDocument final : public TextPrintDocument {
public:
    QStringList* events;
    explicit FakeDocument(QStringList* log) : events(log) {}
    QString PrinterName() const override { return QStringLiteral("Kassa"); }
    void SelectPrinter(const QString& name) override {
        events->append(QStringLiteral("select ") + name);
    }
    void SetFontName(const QString& family) override {
        events->append(QStringLiteral("font ") + family);
    }
    void PrintLine(const QString& text) override { events->append(QStringLiteral("line ") + text); }
    bool EndDocument() override {
        events->append(QStringLiteral("end"));
        return true;
    }
};

struct Box {
    quint8 type;
    QString text;
    qint32 buttons;
    bool operator==(const Box&) const = default;
};

class ReceiptPrinterTest : public ::testing::Test {
protected:
    ReceiptPrinterTest()
        : printer_(settings_, spooler_, std::make_unique<FakeDocument>(&driver_),
                   [this](quint8 type, const QString& text, qint32 buttons) {
                       boxes_.append({type, text, buttons});
                   }) {
        settings_.fPrinter = QStringLiteral("Kassa");
    }

    QList<Box> ErrorBox(qint32 stan) const {
        return {{0,
                 QStringLiteral(u"Viga kviitungite trükkimisel. (Kviitungi number=") +
                     QString::number(stan) + u')',
                 16}};
    }

    common::ProgramSettings settings_;
    FakeSpooler spooler_;
    QStringList driver_;
    QList<Box> boxes_;
    ReceiptPrinter printer_;
};

TEST_F(ReceiptPrinterTest, PrinterNotFoundOrBlockUndecodableGivesTheErrorBox) {
    for (const QString& name : {QStringLiteral("kassa"), QString()}) {
        boxes_.clear();
        settings_.fPrinter = name;
        EXPECT_FALSE(printer_.PrintReceipts(test::ReceiptBlock({"a"}), 123456));
        EXPECT_EQ(boxes_, ErrorBox(123456));
    }
    settings_.fPrinter = QStringLiteral("Kassa");
    for (const QByteArray& bad : {QByteArray("\x05\x0A\x01x"), QByteArray("\x03\x08\x01x")}) {
        boxes_.clear();
        EXPECT_FALSE(printer_.PrintReceipts(bad, -7));
        EXPECT_EQ(boxes_, ErrorBox(-7));
    }
    EXPECT_TRUE(driver_.filter(QStringLiteral("line")).isEmpty());
    EXPECT_EQ(spooler_.calls.filter(QStringLiteral("Open")), QStringList());
}

TEST_F(ReceiptPrinterTest, DriverPrintsEachNonEmptyTextAsALineInCourierNew) {
    EXPECT_TRUE(printer_.PrintReceipts(
        test::ReceiptBlock({common::ToCodePage(QStringLiteral(u"Õun\r\n")), "", "Kliendi"}), 1));
    EXPECT_EQ(driver_,
              (QStringList{QStringLiteral("select Kassa"), QStringLiteral("font Courier New"),
                           QStringLiteral(u"line Õun\r\n"), QStringLiteral("line Kliendi"),
                           QStringLiteral("end")}));
    driver_.clear();
    EXPECT_TRUE(printer_.PrintReceipts(test::ReceiptBlock({"A", "", "B"}), 1, true));
    EXPECT_EQ(driver_.filter(QStringLiteral("line")),
              (QStringList{QStringLiteral("line KOOPIA"), QStringLiteral("line A"),
                           QStringLiteral("line KOOPIA"), QStringLiteral("line B")}));
    driver_.clear();
    EXPECT_TRUE(printer_.PrintReceipts(test::ReceiptBlock({}), 1));
    EXPECT_FALSE(driver_.contains(QStringLiteral("end")));
    EXPECT_TRUE(boxes_.isEmpty());
    EXPECT_EQ(printer_.Printer(), nullptr);
}

TEST_F(ReceiptPrinterTest, RawKeepsOnePrinterAndOneJobPerBlock) {
    settings_.fRAW = true;
    spooler_.printers.append(QStringLiteral("Teine"));
    EXPECT_TRUE(printer_.PrintReceipts(
        test::ReceiptBlock({common::ToCodePage(QStringLiteral(u"Õõ Ää")), "", "\x1B@"}), 1));
    const RAWPrinter* first = printer_.Printer();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(printer_.LastJob(), first->hJob());
    settings_.fPrinter = QStringLiteral("Teine");
    EXPECT_TRUE(printer_.PrintReceipts(test::ReceiptBlock({"2"}), 2));
    EXPECT_EQ(printer_.Printer(), first);
    EXPECT_EQ(first->DeviceName(), QStringLiteral("Teine"));
    EXPECT_EQ(spooler_.documents, (QList<QByteArray>{"\x93\x93 \x8E\x84\x1B@", "2"}));
    EXPECT_EQ(spooler_.calls.filter(QStringLiteral("Open")),
              (QStringList{QStringLiteral("Open Kassa"), QStringLiteral("Open Teine")}));
    EXPECT_TRUE(driver_.filter(QStringLiteral("line")).isEmpty());

    // A block of empty texts starts no job at all.
    EXPECT_TRUE(printer_.PrintReceipts(test::ReceiptBlock({"", ""}), 3));
    EXPECT_EQ(spooler_.documents.size(), 2);
    EXPECT_EQ(printer_.LastJob(), 0);
}

}  // namespace
}  // namespace mereval::printing
