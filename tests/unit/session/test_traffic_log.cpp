#include "session/traffic_log.h"

#include "common/text_file.h"
#include "support/small_tmpfs.h"
#include "support/temp_environment.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace mereval::session {
namespace {

using namespace Qt::Literals::StringLiterals;

QDateTime Noon() {
    return QDateTime(QDate(2026, 5, 17), QTime(12, 0, 0));
}

// A flood of long texts keeps within the cap per record and within the
// rotated files in all.
TEST(TrafficLog, RecordsAreCappedAndTheFileRotated) {
    test::TempProgramEnvironment env;
    constexpr qint64 kRotateBytes = 3 * common::kMaxLogRecordBytes;
    const TrafficLog log(&Noon, kRotateBytes);
    for (int i = 0; i < 20; ++i) {
        log.LogEvent(QString::number(i) + QString(1024 * 1024, u'x'));
    }
    QStringList expected = {u"log.txt"_s};
    for (int age = 1; age <= TrafficLog::kKeptFiles; ++age) {
        expected.append(u"log.txt.%1"_s.arg(age));
    }
    EXPECT_EQ(QDir(env.Folder()).entryList({u"log.txt*"_s}, QDir::Files), expected);
    for (const QString& name : expected) {
        EXPECT_LE(QFileInfo(env.FilePath(name)).size(), kRotateBytes) << name.toStdString();
    }
    EXPECT_TRUE(env.ReadFile(u"log.txt"_s)
                    .endsWith(" 19" + QByteArray(4046, 'x') + " ... [1044530 bytes left out]"));
}

// Created for the owner only whatever the umask; records lost to a full disk
// are owned up to by the first record that gets through.
TEST(TrafficLog, LostRecordsAreCountedWhenTheDiskHasRoomAgain) {
    test::SmallTmpfs disk;
    if (!disk.IsMounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const test::ScopedEnv home("MEREVAL_HOME", disk.Path().toLocal8Bit());
    const mode_t umask = ::umask(0);
    const TrafficLog log(&Noon);
    log.LogEvent(u"first"_s);
    ::umask(umask);
    EXPECT_EQ(QFileInfo(TrafficLog::FilePath()).permissions() & 0x0FFF,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    disk.Fill();
    for (int i = 0; i < 3; ++i) {
        log.LogEvent(QString(8192, u'z'));
    }
    QFile::remove(disk.FilePath(u"filler"_s));
    log.LogEvent(u"back"_s);
    QFile file(TrafficLog::FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(
        text.contains(" Log: 3 records could not be written (No space left on device).\r\n"));
    EXPECT_TRUE(text.endsWith(" back"));
}

}  // namespace
}  // namespace mereval::session
