#include "common/code_page.h"
#include "platform/spooler.h"
#include "printing/find_printer_index.h"
#include "printing/raw_printer.h"
#include "printing/replace_chars.h"
#include "support/qt_print_to.h"

#include <QSet>

#include <gtest/gtest.h>

#include <functional>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;

// A spooler in memory that logs every call and fails the steps named in
// failing: "StartDocument", "StartPage", "Write", "EndPage", "EndDocument",
// "Cancel", "SetJobName".
class FakeSpooler final : public platform::Spooler {
public:
    QSet<QString> failing;
    qint32 writtenShortBy = 0;  // the spooler reports fewer bytes than it took
    QStringList calls;
    qint32 openPrinters = 0;

    QStringList PrinterNames() override { return {QStringLiteral("Kassa")}; }
    QString DefaultPrinterName() override { return QStringLiteral("Kassa"); }
    qint32 OpenPrinter(const QString& name) override {
        calls.append(QStringLiteral("Open ") + name);
        return name == QStringLiteral("Kassa") ? ++openPrinters : 0;
    }
    qint32 StartDocument(qint32, const QString&, const QString&) override {
        return Step("StartDocument") ? 1 : 0;
    }
    bool StartPage(qint32) override { return Step("StartPage"); }
    bool WritePrinter(qint32, QByteArrayView bytes, qint32& written) override {
        written = static_cast<qint32>(bytes.size()) - writtenShortBy;
        return Step("Write");
    }
    bool EndPage(qint32) override { return Step("EndPage"); }
    bool EndDocument(qint32) override { return Step("EndDocument"); }
    bool ClosePrinter(qint32) override {
        --openPrinters;
        return Step("ClosePrinter");
    }
    bool CancelJob(qint32, qint32) override { return Step("Cancel"); }
    bool SetJobName(qint32, qint32, const QString&) override { return Step("SetJobName"); }
    bool SetJobPriority(qint32, qint32, qint32) override { return false; }
    std::optional<qint32> JobPriority(qint32, qint32) override { return std::nullopt; }

private:
    bool Step(const char* name) {
        calls.append(QString::fromLatin1(name));
        return !failing.contains(calls.last());
    }
};

struct FailureCase {
    const char* failingStep;  // "Short": every write reports a byte too few
    std::function<bool(RAWPrinter&)> run;
    qint16 err;
    const char* calls;  // what the printer asks of the spooler from the failing call on
};

class RAWPrinterFailure : public ::testing::TestWithParam<FailureCase> {};

// Whatever step fails, the call says so with the step's code, a started
// document is ended or cancelled, and nothing stays open.
TEST_P(RAWPrinterFailure, SetsTheStepsCodeAndReleasesThePrinter) {
    const FailureCase& c = GetParam();
    FakeSpooler spooler;
    RAWPrinter printer(spooler, QStringLiteral("Kassa"));
    ASSERT_TRUE(printer.PrintText(QStringLiteral("before")));
    spooler.failing.insert(QString::fromLatin1(c.failingStep));
    if (QByteArrayView(c.failingStep) == "Short") {
        spooler.writtenShortBy = 1;
        ASSERT_TRUE(printer.PrintText(QStringLiteral("short")));
    }
    spooler.calls.clear();

    EXPECT_FALSE(c.run(printer));
    EXPECT_EQ(spooler.calls.join(u' '), QString::fromLatin1(c.calls));
    EXPECT_EQ(printer.Err(), c.err);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openPrinters, 0);
}

constexpr const char* kEnd = "EndPage EndDocument ClosePrinter";

INSTANTIATE_TEST_SUITE_P(
    Steps, RAWPrinterFailure,
    ::testing::Values(
        FailureCase{"Write", [](RAWPrinter& p) { return p.PrintText(QStringLiteral("x")); }, 2006,
                    "Write Cancel EndPage EndDocument ClosePrinter"},
        FailureCase{"EndPage", [](RAWPrinter& p) { return p.EndDoc(); }, 2008, kEnd},
        FailureCase{"StartPage", [](RAWPrinter& p) { return p.NewPage(); }, 2002,
                    "EndPage StartPage EndDocument ClosePrinter"},
        FailureCase{"EndDocument", [](RAWPrinter& p) { return p.EndDoc(); }, 2009, kEnd},
        FailureCase{"Short", [](RAWPrinter& p) { return p.EndDoc(); }, 2003, kEnd},
        FailureCase{"Short", [](RAWPrinter& p) { return p.NewDoc(QStringLiteral("next")); }, 2003,
                    kEnd},
        FailureCase{"StartDocument", [](RAWPrinter& p) { return p.NewDoc(); }, 2001,
                    "EndPage EndDocument ClosePrinter Open Kassa StartDocument ClosePrinter"},
        FailureCase{"", [](RAWPrinter& p) { return p.PrintFile(u"/nonexistent"_s); }, 2007,
                    "Cancel EndPage EndDocument ClosePrinter"},
        FailureCase{"StartPage", [](RAWPrinter& p) { return p.NewDoc(); }, 2002,
                    "EndPage EndDocument ClosePrinter Open Kassa StartDocument StartPage "
                    "EndDocument ClosePrinter"}));

// What may be refused without ending the job: renaming, another device;
// and cancelling, which releases it all the same.
TEST(RAWPrinter, RefusalsKeepTheirCodes) {
    FakeSpooler spooler;
    RAWPrinter printer(spooler, QStringLiteral("Kassa"));
    ASSERT_TRUE(printer.NewDoc());
    printer.SetDeviceName(QStringLiteral("Kontor"));
    EXPECT_EQ(printer.Err(), 2010);
    EXPECT_EQ(printer.DeviceName(), QStringLiteral("Kassa"));
    spooler.failing = {QStringLiteral("SetJobName"), QStringLiteral("Cancel")};
    printer.SetDocumentName(QStringLiteral("Refused"));
    EXPECT_EQ(printer.Err(), 2005);
    EXPECT_EQ(printer.DocumentName(), QStringLiteral("RAWPrinter document"));
    EXPECT_TRUE(printer.JobStarted());

    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openPrinters, 0);

    printer.SetDeviceName(QStringLiteral("Kontor"));
    EXPECT_FALSE(printer.PrintText(QStringLiteral("x")));
    EXPECT_EQ(printer.Err(), 2000);
}

TEST(ReceiptText, ReplacedOnceAndPrinterFoundByWholeNameWithLetterCase) {
    EXPECT_EQ(ReplaceChars(QStringLiteral("abba"), u"ab", u"ba"), QStringLiteral("baab"));
    EXPECT_EQ(ReplaceChars(QStringLiteral("aXa"), u"aX", u"X"), QStringLiteral("XXX"));
    const QString text = QStringLiteral(u"ÕõÄäÖöÜü Šš");
    EXPECT_EQ(common::ToCodePage(ReplaceChars(text, kReceiptCharsFrom, ReceiptCharsTo())),
              QByteArray("\x93\x93\x8E\x84\x99\x94\x9A\x81 \xD0\xF0"));

    // Only a whole name; an empty name is never installed.
    EXPECT_EQ(FindPrinterIndex({QStringLiteral("Kontor"), QStringLiteral("Kassa")}, u"Kass"_s), -1);
    EXPECT_EQ(FindPrinterIndex({QString()}, QString()), -1);
}

}  // namespace
}  // namespace mereval::printing
