#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::common {

// Appends bytes after the last byte of filePath, with no line break added,
// creating the file when it is missing, readable and writable by its owner
// only (logs may hold what the payment system says about a customer); empty
// bytes leave everything alone, a missing file included. The file is open
// only during the call, so other programs may read it at any time.
// errorText is "" on success, otherwise the system's description of the
// failure.
void AppendTextToFile(const QString& filePath, const QByteArray& bytes, QString& errorText);

// The most that one record of a log writes: far more than any text meant for
// a cashier, and little enough that a flood of long texts fills no disk.
inline constexpr qsizetype kMaxLogRecordBytes = 4096;

// bytes when they fit in kMaxLogRecordBytes, otherwise their beginning and a
// note of how many bytes were left out, within kMaxLogRecordBytes.
QByteArray CappedLogText(const QByteArray& bytes);

}  // namespace mereval::common
