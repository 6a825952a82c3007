#include "support/printer_listener.h"

#include <QTcpSocket>

#include <sys/socket.h>

namespace mereval::test {
PrinterListener::PrinterListener() {
    connect(&server_, &QTcpServer::newConnection, this, &PrinterListener::Accept);
}

void PrinterListener::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        open_.insert(socket, {});
        // A dropping printer reads little at a time, so the sender is still
        // writing when the connection goes; 0 is no limit.
        socket->setReadBufferSize(dropAfter_);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (dropAfter_ > 0 && socket->bytesAvailable() >= dropAfter_) {
                Drop(socket);
                return;
            }
            open_[socket] += socket->readAll();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Finish(socket); });
    }
}

void PrinterListener::Drop(QTcpSocket* socket) {
    socket->disconnect(this);
    // A reset, not an orderly close.
    const linger reset{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                 sizeof reset);
    Finish(socket);
    socket->abort();
}

void PrinterListener::Finish(QTcpSocket* socket) {
    jobs_.append(open_.take(socket) + socket->readAll());
    socket->deleteLater();
}

}  // namespace mereval::test
