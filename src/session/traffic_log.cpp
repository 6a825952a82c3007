#include "session/traffic_log.h"

#include "common/code_page.h"
#include "common/file_path.h"
#include "common/text_file.h"
#include "platform/program_folder.h"

#include <QLocale>

namespace mereval::session {

TrafficLog::TrafficLog(Clock clock) : clock_(std::move(clock)) {}

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
    QString ignored;
    common::AppendTextToFile(FilePath(), '"' + Timestamp() + " OUT:" + payload + "\"\r\n", ignored);
}

void TrafficLog::LogEvent(const QString& text) const {
    QString ignored;
    common::AppendTextToFile(FilePath(), Timestamp() + ' ' + common::ToCodePage(text), ignored);
}

}  // namespace mereval::session
