#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace mereval::test {

// A cupsd of the test process's own: configuration, spool, logs and socket
// in a temporary folder, nothing shared with a system CUPS.
class PrivateCups {
public:
    PrivateCups() = default;
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Points CUPS_SERVER at it (before any print support has asked a server).
    bool Start(QString& error);
    // Device: socket 127.0.0.1:port, whose failure aborts the job.
    bool AddRawQueue(const QString& name, quint16 port);
    // Runs a CUPS administration command (lpadmin, cupsdisable) on the server.
    bool Admin(const QString& program, const QStringList& arguments) const;
    // A stopped server still takes connections, and answers nothing.
    void Pause(bool paused);

private:
    QTemporaryDir dir_;
    QProcess cupsd_;
};

}  // namespace mereval::test
