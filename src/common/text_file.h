#pragma once

#include <QByteArray>
#include <QString>

namespace mereval::common {

// Appends bytes after the last byte of filePath, with no line break added,
// creating the file when it is missing; empty bytes leave everything alone,
// a missing file included. The file is open only during the call, so other
// programs may read it at any time. errorText is "" on success, otherwise
// the system's description of the failure.
void AppendTextToFile(const QString& filePath, const QByteArray& bytes, QString& errorText);

}  // namespace mereval::common
