#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>

namespace mereval::test {

// A printer on 127.0.0.1 behind a socket queue: a connection is one job.
class PrinterListener {
public:
    // dropAfter > 0: resets a connection once that many bytes have come,
    // reading little at a time so that the sender is still writing then.
    explicit PrinterListener(qint64 dropAfter = 0) {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this, dropAfter] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setReadBufferSize(dropAfter);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, dropAfter] {
                    if (dropAfter > 0 && socket->bytesAvailable() >= dropAfter) {
                        const linger reset{1, 0};
                        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                                     sizeof reset);
                        socket->abort();
                    }
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                    jobs_.append(socket->readAll());
                    socket->deleteLater();
                });
            }
        });
    }

    // On a free port.
    bool Listen() { return server_.listen(QHostAddress::LocalHost); }
    quint16 Port() const { return server_.serverPort(); }
    // The bytes of every connection that has ended, in order of arrival.
    const QList<QByteArray>& Jobs() const { return jobs_; }

private:
    QTcpServer server_;
    QList<QByteArray> jobs_;
};

}  // namespace mereval::test
