#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QTcpSocket;

namespace mereval::platform {
class ConnectionResetProbe;
}

namespace mereval::session {

// The TCP connection of one operation to the payment system.
//
// Closing hands the bytes still queued to the peer first (abort() would drop
// a "0023" that log.txt records as sent): a closed connection lives on,
// detached and silent, until they are out, so the next operation need not
// wait for it. A reset by the peer, which Qt reads as an orderly close, is
// reported as the socket error it is.
class OperationConnection : public QObject {
    Q_OBJECT

public:
    // Connects at once. A port no socket can reach fails like a refused
    // connection, from the event loop.
    OperationConnection(const QString& host, int port, QObject* parent);
    ~OperationConnection() override;

    bool IsConnected() const;
    QByteArray ReadAll();
    // Hands the bytes to the system at once, without waiting.
    void Write(const QByteArray& bytes);
    // Reports nothing more and deletes itself once its bytes are out.
    void Close();

Q_SIGNALS:
    void connected();
    void readyRead();
    void closedByPeer();
    void failed(const QString& detail);  // "number - description"

private:
    void OnError(QAbstractSocket::SocketError error);

    QTcpSocket* socket_;
    std::unique_ptr<platform::ConnectionResetProbe> resetProbe_;  // while connected
};

}  // namespace mereval::session
