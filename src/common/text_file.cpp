#include "common/text_file.h"

#include <QFile>

namespace mereval::common {

void AppendTextToFile(const QString& filePath, const QByteArray& bytes, QString& errorText) {
    errorText.clear();
    if (bytes.isEmpty()) {
        return;
    }
    // Unbuffered, so a failed write is seen here and not lost in the close.
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(bytes) != bytes.size()) {
        errorText = file.errorString();
    }
}

QByteArray CappedLogText(const QByteArray& bytes) {
    if (bytes.size() <= kMaxLogRecordBytes) {
        return bytes;
    }
    // Room for the note with the longest count there can be.
    constexpr qsizetype kNoteRoom = 48;
    const qsizetype kept = kMaxLogRecordBytes - kNoteRoom;
    return bytes.first(kept) + " ... [" + QByteArray::number(bytes.size() - kept) +
           " bytes left out]";
}

}  // namespace mereval::common
