#include "printing/fake_spooler.h"
#include "printing/raw_printer.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace mereval::printing {
namespace {

using test::FakeSpooler;

struct FailureCase {
    const char* name;
    const char* failingStep;
    std::function<bool(RAWPrinter&)> run;
    qint16 err;
    const char* text;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class RAWPrinterFailure : public ::testing::TestWithParam<FailureCase> {};

// Whatever step fails, the call says so, the code and text are those of the
// step, and nothing stays open: the next text starts a fresh job.
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

    EXPECT_FALSE(c.run(printer));
    // A write that fails leaves half a job: it is cancelled, never printed.
    EXPECT_EQ(spooler.calls.contains(QStringLiteral("Cancel")), c.err == 2006);
    EXPECT_EQ(printer.Err(), c.err);
    EXPECT_EQ(printer.Error(), QString::fromLatin1(c.text));
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openPrinters, 0);

    spooler.failing.clear();
    spooler.writtenShortBy = 0;
    EXPECT_TRUE(printer.PrintText(QStringLiteral("after")));
    EXPECT_TRUE(printer.EndDoc());
    EXPECT_EQ(spooler.documents.last(), "after");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RAWPrinterFailure,
    ::testing::Values(
        FailureCase{"Write", "Write",
                    [](RAWPrinter& p) { return p.PrintText(QStringLiteral("x")); }, 2006,
                    "Failed write to printer."},
        FailureCase{"EndPageAtEndDoc", "EndPage", [](RAWPrinter& p) { return p.EndDoc(); }, 2008,
                    "Call to end page failed."},
        FailureCase{"EndPageAtNewPage", "EndPage", [](RAWPrinter& p) { return p.NewPage(); }, 2008,
                    "Call to end page failed."},
        FailureCase{"StartPageAtNewPage", "StartPage", [](RAWPrinter& p) { return p.NewPage(); },
                    2002, "Can't start printing a page."},
        FailureCase{"EndDocument", "EndDocument", [](RAWPrinter& p) { return p.EndDoc(); }, 2009,
                    "Call to close doc failed."},
        FailureCase{"ShortWriteAtEndDoc", "Short", [](RAWPrinter& p) { return p.EndDoc(); }, 2003,
                    "Some bytes were not successfully sent to the printer."},
        FailureCase{"NewDocEndingAShortDocument", "Short",
                    [](RAWPrinter& p) { return p.NewDoc(QStringLiteral("next")); }, 2003,
                    "Some bytes were not successfully sent to the printer."},
        FailureCase{"StartDocumentOfNewDoc", "StartDocument",
                    [](RAWPrinter& p) { return p.NewDoc(); }, 2001, "Can't Start the print job."},
        FailureCase{"StartPageOfNewDoc", "StartPage", [](RAWPrinter& p) { return p.NewDoc(); },
                    2002, "Can't start printing a page."}),
    [](const auto& info) { return std::string(info.param.name); });

// What CUPS never refuses: cancelling, renaming, and a closed object whose
// earlier code must survive EndDoc.
TEST(RAWPrinter, RefusalsOfTheSpoolerKeepTheirCodes) {
    FakeSpooler spooler;
    RAWPrinter printer(spooler, QStringLiteral("Puudub"));
    EXPECT_FALSE(printer.NewDoc());
    EXPECT_EQ(printer.Err(), 2000);
    EXPECT_TRUE(printer.EndDoc());
    EXPECT_EQ(printer.Err(), 2000);

    printer.SetDeviceName(QStringLiteral("Kassa"));
    ASSERT_TRUE(printer.NewDoc());
    spooler.failing = {QStringLiteral("SetJobName"), QStringLiteral("Cancel")};
    printer.SetDocumentName(QStringLiteral("Refused"));
    EXPECT_EQ(printer.Err(), 2005);
    EXPECT_EQ(printer.Error(), QStringLiteral("Can't change document name."));
    EXPECT_EQ(printer.DocumentName(), QStringLiteral("RAWPrinter document"));
    EXPECT_TRUE(printer.JobStarted());

    EXPECT_FALSE(printer.KillDoc());
    EXPECT_EQ(printer.Err(), 2004);
    EXPECT_FALSE(printer.JobStarted());
    EXPECT_EQ(spooler.openPrinters, 0);
}

TEST(RAWPrinter, FileThatCannotBeReadReleasesTheDocument) {
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty"));
    QFile(empty).open(QIODevice::WriteOnly);
    FakeSpooler spooler;
    RAWPrinter printer(spooler);
    EXPECT_TRUE(printer.PrintFile(empty));
    EXPECT_TRUE(printer.JobStarted());
    EXPECT_TRUE(spooler.writes.isEmpty());
    for (const QString& unreadable : {dir.filePath(QStringLiteral("missing")), dir.path()}) {
        EXPECT_FALSE(printer.PrintFile(unreadable));
        EXPECT_EQ(printer.Err(), 2007);
        EXPECT_EQ(printer.Error(), QStringLiteral("Could not read from file."));
        EXPECT_FALSE(printer.JobStarted());
        EXPECT_EQ(spooler.openPrinters, 0);
    }
    EXPECT_EQ(RAWPrinter::ErrorText(2012), QStringLiteral("Unknown error."));
}

}  // namespace
}  // namespace mereval::printing
