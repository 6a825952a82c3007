#include "platform/spooler.h"
#include "printing/raw_printer.h"
#include "support/qt_print_to.h"

#include <gtest/gtest.h>

#include <functional>

namespace mereval::printing {
namespace {

using namespace Qt::StringLiterals;

// A spooler in memory that logs every call and fails the step named in
// failing; "Short": every write reports a byte too few.
class FakeSpooler final : public platform::Spooler {
public:
    QString failing;
    QStringList calls;

    QStringList PrinterNames() override { return {u"Kassa"_s}; }
    QString DefaultPrinterName() override { return u"Kassa"_s; }
    qint32 OpenPrinter(const QString&) override { return Step("Open") ? 1 : 0; }
    qint32 StartDocument(qint32, const QString&, const QString&) override {
        return Step("StartDocument") ? 1 : 0;
    }
    bool StartPage(qint32) override { return Step("StartPage"); }
    bool WritePrinter(qint32, QByteArrayView bytes, qint32& written) override {
        written = static_cast<qint32>(bytes.size()) - (failing == u"Short"_s ? 1 : 0);
        return Step("Write");
    }
    bool EndPage(qint32) override { return Step("EndPage"); }
    bool EndDocument(qint32) override { return Step("EndDocument"); }
    bool ClosePrinter(qint32) override { return Step("ClosePrinter"); }
    bool CancelJob(qint32, qint32) override { return Step("Cancel"); }
    bool SetJobName(qint32, qint32, const QString&) override { return Step("SetJobName"); }
    bool SetJobPriority(qint32, qint32, qint32) override { return false; }
    std::optional<qint32> JobPriority(qint32, qint32) override { return std::nullopt; }

private:
    bool Step(const char* name) {
        calls.append(QString::fromLatin1(name));
        return failing != calls.last();
    }
};

struct FailureCase {
    const char* failing;
    std::function<bool(RAWPrinter&)> run;
    qint16 err;
    const char* calls;  // what the printer asks of the spooler then
    bool stillStarted = false;
};

class RAWPrinterFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(RAWPrinterFailure, KeepsTheStepsCodeAndEndsOrKeepsTheDocument) {
    const FailureCase& c = GetParam();
    FakeSpooler spooler;
    RAWPrinter printer(spooler, u"Kassa"_s);
    ASSERT_TRUE(printer.PrintText(u"before"_s));
    spooler.failing = QString::fromLatin1(c.failing);
    spooler.calls.clear();

    EXPECT_FALSE(c.run(printer));
    EXPECT_EQ(spooler.calls.join(u' '), QString::fromLatin1(c.calls));
    EXPECT_EQ(printer.Err(), c.err);
    EXPECT_EQ(printer.JobStarted(), c.stillStarted);
}

constexpr const char* kEnd = "EndPage EndDocument ClosePrinter";
constexpr const char* kCancel = "Cancel EndPage EndDocument ClosePrinter";

INSTANTIATE_TEST_SUITE_P(
    Steps, RAWPrinterFailure,
    ::testing::Values(
        FailureCase{"Write", [](RAWPrinter& p) { return p.PrintText(u"x"_s); }, 2006,
                    "Write Cancel EndPage EndDocument ClosePrinter"},
        FailureCase{"EndPage", [](RAWPrinter& p) { return p.EndDoc(); }, 2008, kEnd},
        FailureCase{"EndDocument", [](RAWPrinter& p) { return p.EndDoc(); }, 2009, kEnd},
        FailureCase{"StartPage", [](RAWPrinter& p) { return p.NewPage(); }, 2002,
                    "EndPage StartPage EndDocument ClosePrinter"},
        FailureCase{"Short", [](RAWPrinter& p) { return p.PrintText(u"x"_s) && p.NewDoc(); }, 2003,
                    "Write EndPage EndDocument ClosePrinter"},
        FailureCase{"Open", [](RAWPrinter& p) { return p.NewDoc(); }, 2000,
                    "EndPage EndDocument ClosePrinter Open"},
        FailureCase{"StartDocument", [](RAWPrinter& p) { return p.NewDoc(); }, 2001,
                    "EndPage EndDocument ClosePrinter Open StartDocument ClosePrinter"},
        FailureCase{"StartPage", [](RAWPrinter& p) { return p.NewDoc(); }, 2002,
                    "EndPage EndDocument ClosePrinter Open StartDocument StartPage "
                    "EndDocument ClosePrinter"},
        FailureCase{"", [](RAWPrinter& p) { return p.PrintFile(u"/nonexistent"_s); }, 2007,
                    kCancel},
        FailureCase{"Cancel", [](RAWPrinter& p) { return p.KillDoc(); }, 2004, kCancel},
        FailureCase{"SetJobName",
                    [](RAWPrinter& p) {
                        p.SetDocumentName(u"x"_s);
                        return p.DocumentName() == u"x"_s;
                    },
                    2005, "SetJobName", true}));

}  // namespace
}  // namespace mereval::printing
