#include "session/traffic_log.h"

#include "common/code_page.h"
#include "common/file_path.h"
#include "common/text_file.h"
#include "platform/program_folder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace mereval::session {
namespace {

QString OldFilePath(const QString& path, int age) {
    return path + u'.' + QString::number(age);
}

void Rotate(const QString& path) {
    QFile::remove(OldFilePath(path, TrafficLog::kKeptFiles));
    for (int age = TrafficLog::kKeptFiles - 1; age >= 1; --age) {
        QFile::rename(OldFilePath(path, age), OldFilePath(path, age + 1));
    }
    QFile::rename(path, OldFilePath(path, 1));
}

}  // namespace

TrafficLog::TrafficLog(Clock clock, qint64 rotateBytes)
    : clock_(std::move(clock)), rotateBytes_(rotateBytes) {}

QString TrafficLog::FilePath() {
    return common::MakeFilePath(platform::ProgramFolder(), QStringLiteral("log.txt"));
}

// The date as the till's regional settings write it, and the time to the
// second on the 24-hour clock (the locales' own time formats drop the
// seconds or add a zone name).
QByteArray TrafficLog::Timestamp() const {
    const QDateTime now = clock_();
    return common::ToCodePage(QLocale::system().toString(now.date(), QLocale::ShortFormat) + u' ' +
                              now.time().toString(QStringLiteral("HH:mm:ss")));
}

void TrafficLog::LogSent(const QByteArray& payload) const {
    Append('"' + Timestamp() + " OUT:" + common::CappedLogText(payload) + "\"\r\n");
}

void TrafficLog::LogEvent(const QString& text) const {
    Append(Timestamp() + ' ' + common::CappedLogText(common::ToCodePage(text)));
}

void TrafficLog::Append(const QByteArray& record) const {
    const QString path = FilePath();
    QByteArray bytes = record;
    if (lostRecords_ > 0) {
        bytes.prepend("\r\n" + Timestamp() + " Log: " + QByteArray::number(lostRecords_) +
                      " records could not be written (" + common::ToCodePage(lostReason_) +
                      ").\r\n");
    }
    const qint64 size = QFileInfo(path).size();
    if (size > 0 && size + bytes.size() > rotateBytes_) {
        Rotate(path);
    }
    QString error;
    common::AppendTextToFile(path, bytes, error);
    if (error.isEmpty()) {
        lostRecords_ = 0;
    } else {
        ++lostRecords_;
        lostReason_ = error;
    }
}

}  // namespace mereval::session
