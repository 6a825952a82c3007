#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace mereval::common {

// One error log entry in the program's code page, ended by CR LF:
// "<" computer ">" TAB procedure " , " date " kell " hh:mm:ss TAB
// "(" number " - " message ") ", the message capped as CappedLogText does.
QByteArray ErrorLogLine(const QString& computerName, const QString& procedureName,
                        const QDateTime& when, qint64 errorNumber, const QString& message);

// The program's folder joined with the program's name and ".err".
QString DefaultErrorLogPath();

// Appends an entry stamped now to fileName, or to the default error log when
// fileName is empty, creating it for its owner only (AppendTextToFile).
// Diagnostics must never disturb the cashier, so an entry that cannot be
// written is lost without a word.
void LogError(qint64 errorNumber, const QString& message, const QString& procedureName,
              const QString& fileName);

}  // namespace mereval::common
