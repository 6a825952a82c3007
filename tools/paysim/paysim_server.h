#pragma once

#include "paysim/conversation.h"
#include "paysim/paysim_settings.h"
#include "paysim/received_message.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTcpServer;

namespace mereval::paysim {

// The payment system's side of the conversation, on 127.0.0.1: one
// Conversation per accepted connection, all on the event loop's thread.
// Tests script it, read what it received and wait for its signals.
class PaySimServer : public QObject {
    Q_OBJECT

public:
    // Called with every decoded message before the scenario sees it; the
    // script may send anything through the conversation, close it, or say
    // Handled and stay silent.
    using Script = std::function<ScriptResult(Conversation&, const ReceivedMessage&)>;

    explicit PaySimServer(const PaySimSettings& settings = {}, QObject* parent = nullptr);

    // Port 0 picks a free one; Port() then tells which.
    bool Listen(quint16 port = 0);
    quint16 Port() const;
    QString ErrorString() const;

    // Conversations read these at every step.
    PaySimSettings& Settings() { return settings_; }
    void SetScript(Script script) { script_ = std::move(script); }

    // Every decoded message of every connection, in order of arrival.
    const QList<ReceivedMessage>& Received() const { return received_; }
    void ClearReceived() { received_.clear(); }

Q_SIGNALS:
    void connectionOpened(int connection);
    void connectionClosed(int connection);
    // Emitted after the message has been added to Received().
    void messageReceived(int connection, const QByteArray& frame);
    void frameSent(int connection, const QByteArray& bytes);
    // Bytes that the codec dropped: status 2 (malformed frame) or 3 (unusable
    // length prefix, the receive buffer discarded).
    void garbageReceived(int connection, qint16 status, const QByteArray& bytes);
    void eventNoted(int connection, const QString& text);

private:
    void AcceptConnections();
    ScriptResult Observe(Conversation& conversation, const ReceivedMessage& message);

    QTcpServer* server_;
    PaySimSettings settings_;
    Script script_;
    QList<ReceivedMessage> received_;
    int lastConnection_ = 0;
    qint32 lastStan_ = 0;
};

}  // namespace mereval::paysim
