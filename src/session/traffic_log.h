#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace mereval::session {

// log.txt in the program's folder: a quoted line per message sent and an
// unquoted record per event received, in the program's code page. The file
// is opened and closed for every record, so another program can read it at
// any time, and a failure to write never stops a payment.
//
// So that a till never fills its disk, a record writes at most
// common::kMaxLogRecordBytes, and log.txt that would grow past rotateBytes
// becomes log.txt.1 (log.txt.1 becomes log.txt.2, and so on; the oldest,
// log.txt.<kKeptFiles>, is deleted): 4 x 8 MiB at most. Records that cannot
// be written (a full disk) are counted, and the next record that can opens
// with a line that says how many were lost and why.
class TrafficLog {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr qint64 kRotateBytes = 8 * 1024 * 1024;
    static constexpr int kKeptFiles = 3;

    explicit TrafficLog(Clock clock = &QDateTime::currentDateTime,
                        qint64 rotateBytes = kRotateBytes);

    // '"' date time " OUT:" payload '"' CR LF
    void LogSent(const QByteArray& payload) const;
    // date time " " text, with no line break: the next record follows on
    // the same line.
    void LogEvent(const QString& text) const;

    static QString FilePath();

private:
    QByteArray Timestamp() const;
    void Append(const QByteArray& record) const;

    Clock clock_;
    qint64 rotateBytes_;
    // Records lost since the last one written, and the last failure's text.
    mutable qint64 lostRecords_ = 0;
    mutable QString lostReason_;
};

}  // namespace mereval::session
