#include "common/error_log.h"
#include "platform/durable_file.h"
#include "session/operation_journal.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

const QByteArray kPaymentStart = "2026-12-06 12:00:05\t000042\tstart\tKaardimakse\t12.34\t\n";
const QString kPaymentWarning =
    u"Eelmise toimingu tulemus on teadmata: Kaardimakse 12.34, sessioon 000042, 06.12.2026 "
    u"12:00:05. Kontrollige tulemust aruandest enne kordamist."_s;

// The last payment without an outcome is found in what a crash may leave.
TEST(OperationJournal, FindsTheLastPaymentWithoutOutcome) {
    const std::tuple<const char*, QByteArray, QString> cases[] = {
        {"start without end", kPaymentStart, kPaymentWarning},
        {"ended", kPaymentStart + "2026-12-06 12:00:09\t000042\tend\tdeclined 05\n", {}},
        {"warned", kPaymentStart + "2026-12-06 12:01:00\t000042\twarned\n", {}},
        {"report after it", kPaymentStart + "2026-12-06 12:03:00\t000043\tstart\tAruanne\t\t\n",
         kPaymentWarning},
        {"end of another session", kPaymentStart + "2026-12-06 12:00:09\t000041\tend\ttimeout\n",
         kPaymentWarning},
        {"torn end", kPaymentStart + "2026-12-06 12:00:09\t000042\ten", kPaymentWarning},
        {"garbage lines", "\x01\x02\n\tstart\n" + kPaymentStart + "x\ty\tz\n", kPaymentWarning},
        {"cancellation shows the receipt",
         "2026-12-06 12:00:05\t000007\tstart\tTühistamine\t\t123\n",
         u"Eelmise toimingu tulemus on teadmata: Tühistamine 123, sessioon 000007, 06.12.2026 "
         u"12:00:05. Kontrollige tulemust aruandest enne kordamist."_s},
    };
    test::TempProgramEnvironment env;
    EXPECT_FALSE(OperationJournal().UnknownOutcome());
    for (const auto& [name, journal, warning] : cases) {
        QFile file(OperationJournal::FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(journal);
        file.close();
        const auto unknown = OperationJournal().UnknownOutcome();
        EXPECT_EQ(unknown ? OperationJournal::WarningText(*unknown) : QString(), warning) << name;
    }
}

TEST(OperationJournal, WritesOwnerOnlyLinesThatFollowATornOne) {
    test::TempProgramEnvironment env;
    ASSERT_EQ(platform::AppendDurably(OperationJournal::FilePath(), "torn"), 0);
    OperationJournal journal([] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0, 5)); });
    journal.Started(42, u"Kaardimakse"_s, u"12.34"_s, {});
    const auto unknown = journal.UnknownOutcome();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(OperationJournal::WarningText(*unknown), kPaymentWarning);
    journal.Ended(42, u"approved STAN=7"_s);
    EXPECT_FALSE(journal.UnknownOutcome());
    EXPECT_EQ(env.ReadFile(u"journal.txt"_s),
              "torn\n" + kPaymentStart + "2026-12-06 12:00:05\t000042\tend\tapproved STAN=7\n");
    EXPECT_EQ(QFile::permissions(OperationJournal::FilePath()) & 0x0FFF,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
}

// A till whose folder cannot take the journal still takes payments; the
// error log says why, once.
TEST(OperationJournal, UnwritableJournalIsReportedOnce) {
    test::TempProgramEnvironment env;
    ASSERT_TRUE(QDir().mkdir(OperationJournal::FilePath()));
    OperationJournal journal;
    journal.Started(1, u"Kaardimakse"_s, u"1.00"_s, {});
    journal.Ended(1, u"timeout"_s);
    const QByteArray errors = env.ReadFile(QFileInfo(common::DefaultErrorLogPath()).fileName());
    EXPECT_EQ(errors.count("OperationJournal"), 1);
}

}  // namespace
}  // namespace mereval::session
