#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace mereval::session {

// log.txt in the program's folder: a quoted line per message sent and an
// unquoted record per event received, in the program's code page. The file
// is opened and closed for every record, so another program can read it at
// any time, and a failure to write is ignored: diagnostics never stop a
// payment.
class TrafficLog {
public:
    using Clock = std::function<QDateTime()>;

    explicit TrafficLog(Clock clock = &QDateTime::currentDateTime);

    // '"' date time " OUT:" payload '"' CR LF
    void LogSent(const QByteArray& payload) const;
    // date time " " text, with no line break: the next record follows on
    // the same line.
    void LogEvent(const QString& text) const;

    static QString FilePath();

private:
    QByteArray Timestamp() const;
    Clock clock_;
};

}  // namespace mereval::session
