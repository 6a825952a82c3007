#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QtGlobal>

class QTcpSocket;

namespace mereval::test {

// The printer at the end of a socket queue, on 127.0.0.1: records the bytes
// of every connection, and a connection is one job. It closes its side when
// the sender has finished, as a printer does, so the job completes.
class PrinterListener : public QObject {
    Q_OBJECT

public:
    PrinterListener();

    // On a free port.
    bool Listen() { return server_.listen(QHostAddress::LocalHost); }
    quint16 Port() const { return server_.serverPort(); }

    // Once this many bytes of a connection have come, the listener resets it:
    // a printer that drops a job in the middle. 0: never.
    void DropAfter(qint64 bytes) { dropAfter_ = bytes; }

    // The bytes of every connection that has ended, in order of arrival.
    const QList<QByteArray>& Jobs() const { return jobs_; }

private:
    void Accept();
    void Drop(QTcpSocket* socket);
    void Finish(QTcpSocket* socket);

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> open_;
    QList<QByteArray> jobs_;
    qint64 dropAfter_ = 0;
};

}  // namespace mereval::test
