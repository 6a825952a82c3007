#include "common/error_log.h"

#include "common/code_page.h"
#include "common/computer_name_text.h"
#include "common/file_path.h"
#include "common/text_file.h"
#include "common/value_helpers.h"
#include "platform/program_folder.h"

namespace mereval::common {

QByteArray ErrorLogLine(const QString& computerName, const QString& procedureName,
                        const QDateTime& when, qint64 errorNumber, const QString& message) {
    const QString head = u'<' + computerName + QStringLiteral(">\t") + procedureName +
                         QStringLiteral(" , ") + LongDateText(when.date()) +
                         QStringLiteral(" kell ") +
                         when.time().toString(QStringLiteral("hh:mm:ss")) + QStringLiteral("\t(") +
                         QString::number(errorNumber) + QStringLiteral(" - ");
    return ToCodePage(head) + CappedLogText(ToCodePage(message)) + ") \r\n";
}

QString DefaultErrorLogPath() {
    return MakeFilePath(platform::ProgramFolder(),
                        platform::ProgramName() + QStringLiteral(".err"));
}

void LogError(qint64 errorNumber, const QString& message, const QString& procedureName,
              const QString& fileName) {
    const QString path = fileName.isEmpty() ? DefaultErrorLogPath() : fileName;
    // One instant for date and time, so an entry written at midnight cannot
    // carry the old day with the new day's time.
    const QByteArray line = ErrorLogLine(ComputerNameText(), procedureName,
                                         QDateTime::currentDateTime(), errorNumber, message);
    QString ignored;
    AppendTextToFile(path, line, ignored);
}

}  // namespace mereval::common
