#include "session/operation_connection.h"

#include "platform/connection_reset_probe.h"
#include "session/socket_error_number.h"

#include <QTcpSocket>
#include <QTimer>

namespace mereval::session {
namespace {

// How long a closed connection may take to hand its last bytes to a peer
// that stopped reading.
constexpr int kFlushMs = 5000;

}  // namespace

OperationConnection::OperationConnection(const QString& host, int port, QObject* parent)
    : QObject(parent), socket_(new QTcpSocket(this)) {
    connect(socket_, &QTcpSocket::connected, this, [this] {
        resetProbe_ = std::make_unique<platform::ConnectionResetProbe>(socket_->socketDescriptor());
        Q_EMIT connected();
    });
    connect(socket_, &QTcpSocket::readyRead, this, &OperationConnection::readyRead);
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        if (resetProbe_ && resetProbe_->WasReset()) {
            Q_EMIT failed(
                QString::number(SocketErrorNumber(QAbstractSocket::RemoteHostClosedError)) +
                QStringLiteral(" - Connection reset by peer"));
        } else {
            Q_EMIT closedByPeer();
        }
    });
    connect(socket_, &QTcpSocket::errorOccurred, this, &OperationConnection::OnError);
    if (port < 1 || port > 65535) {
        const QString detail = QString::number(kInvalidPortNumber) +
                               QStringLiteral(" - Invalid port ") + QString::number(port);
        QMetaObject::invokeMethod(
            this, [this, detail] { Q_EMIT failed(detail); }, Qt::QueuedConnection);
    } else {
        socket_->connectToHost(host, static_cast<quint16>(port));
    }
}

OperationConnection::~OperationConnection() = default;

bool OperationConnection::IsConnected() const {
    return socket_->state() == QAbstractSocket::ConnectedState;
}

QByteArray OperationConnection::ReadAll() {
    return socket_->readAll();
}

void OperationConnection::Write(const QByteArray& bytes) {
    socket_->write(bytes);
    socket_->flush();
}

void OperationConnection::OnError(QAbstractSocket::SocketError error) {
    if (error != QAbstractSocket::RemoteHostClosedError) {  // the disconnected event reports it
        Q_EMIT failed(QString::number(SocketErrorNumber(error)) + QStringLiteral(" - ") +
                      socket_->errorString());
    }
}

void OperationConnection::Close() {
    blockSignals(true);
    resetProbe_.reset();  // it would hold our side's FIN back
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    connect(socket_, &QTcpSocket::errorOccurred, this, &QObject::deleteLater);
    QTimer::singleShot(kFlushMs, this, &QObject::deleteLater);
    socket_->disconnectFromHost();
    if (socket_->state() == QAbstractSocket::UnconnectedState) {
        deleteLater();
    }
}

}  // namespace mereval::session
