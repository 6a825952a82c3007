#include "paysim/paysim_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace mereval::paysim {

PaySimServer::PaySimServer(const PaySimSettings& settings, QObject* parent)
    : QObject(parent), server_(new QTcpServer(this)), settings_(settings) {
    connect(server_, &QTcpServer::newConnection, this, &PaySimServer::AcceptConnections);
}

bool PaySimServer::Listen(quint16 port) {
    return server_->listen(QHostAddress::LocalHost, port);
}

quint16 PaySimServer::Port() const {
    return server_->serverPort();
}

QString PaySimServer::ErrorString() const {
    return server_->errorString();
}

void PaySimServer::AcceptConnections() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const int id = ++lastConnection_;
        auto* conversation = new Conversation(
            id, socket, settings_, [this] { return ++lastStan_; },
            [this](Conversation& c, const ReceivedMessage& m) { return Observe(c, m); }, this);
        connect(conversation, &Conversation::frameSent, this, &PaySimServer::frameSent);
        connect(conversation, &Conversation::garbageReceived, this, &PaySimServer::garbageReceived);
        connect(conversation, &Conversation::eventNoted, this, &PaySimServer::eventNoted);
        connect(conversation, &Conversation::closed, this, &PaySimServer::connectionClosed);
        Q_EMIT connectionOpened(id);
    }
}

ScriptResult PaySimServer::Observe(Conversation& conversation, const ReceivedMessage& message) {
    received_.append(message);
    Q_EMIT messageReceived(message.connection, message.frame);
    return script_ ? script_(conversation, message) : ScriptResult::RunScenario;
}

}  // namespace mereval::paysim
