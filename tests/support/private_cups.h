#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include <optional>

typedef struct _http_s http_t;

namespace mereval::test {

// A CUPS job as the server reports it.
struct SpooledJob {
    QString name;
    int priority = 0;  // IPP job-priority, 1 to 100
};

// A cupsd of the test process's own: configuration, spool, logs and socket
// in a temporary folder, nothing shared with a system CUPS.
class PrivateCups {
public:
    PrivateCups() = default;
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts cupsd, waits until it answers and points CUPS_SERVER at it
    // (before any print support of the process has asked a server).
    bool Start(QString& error);

    // A raw queue whose device is the socket 127.0.0.1:port. A failing
    // device aborts the job instead of stopping the queue.
    bool AddRawQueue(const QString& name, quint16 port);
    // Runs a CUPS administration command (lpadmin, cupsdisable) on the server.
    bool Admin(const QString& program, const QStringList& arguments) const;
    // SIGSTOP and SIGCONT: a stopped server still takes connections on its
    // socket, and answers nothing.
    void Pause(bool paused);

    // A job of the server, finished or not, unless it has been purged.
    std::optional<SpooledJob> Job(qint32 id) const;

private:
    QString SocketPath() const;
    http_t* Connect(int timeoutMs) const;

    QTemporaryDir dir_;
    QProcess cupsd_;
};

}  // namespace mereval::test
