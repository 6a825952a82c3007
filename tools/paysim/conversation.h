#pragma once

#include "paysim/message_fields.h"
#include "paysim/paysim_settings.h"
#include "paysim/received_message.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTcpSocket;

namespace mereval::paysim {

class StepQueue;

// What a script decides about a received message.
enum class ScriptResult {
    RunScenario,  // the simulator handles the message as usual
    Handled,      // the script has done everything (or chose silence)
};

// One client connection: reads its frames, plays the scenario of its
// request, and answers "0005", "0010", "0011" and "0023". Every reply carries
// the POS identifier and session of the client's latest message, or the
// POS identifier that the settings give for replies.
class Conversation : public QObject {
    Q_OBJECT

public:
    // Sees every decoded message before the built-in handling.
    using Observer = std::function<ScriptResult(Conversation&, const ReceivedMessage&)>;

    Conversation(int id, QTcpSocket* socket, const PaySimSettings& settings,
                 std::function<qint32()> nextStan, Observer observer, QObject* parent);

    int Id() const { return id_; }
    // The header fields that replies carry.
    QByteArray PosId() const;
    QByteArray Session() const { return session_; }

    // Sends a message of code with this conversation's header at once.
    void Send(const QByteArray& code, const FieldList& body = {});
    // Writes bytes as they are: garbage, split or foreign frames.
    void SendRaw(const QByteArray& bytes);
    // Closes the connection once the bytes written so far are out.
    void Close();

Q_SIGNALS:
    void frameSent(int connection, const QByteArray& bytes);
    void garbageReceived(int connection, qint16 status, const QByteArray& bytes);
    void eventNoted(int connection, const QString& text);
    void closed(int connection);

private:
    enum class Phase { AwaitingRequest, Running, AwaitingButton, AwaitingInput, Finished };

    struct Operation {
        QByteArray code;
        QString title;
        std::optional<double> amount;
        QString maskedCard;
        std::optional<qint32> receiptNumber;
    };

    void ReadFrames();
    void OnDisconnected();
    void Handle(const ReceivedMessage& message);
    void Note(const QString& text);

    void StartOperation(const ReceivedMessage& request);
    void PlayScenario();
    void StartReport(const ReceivedMessage& request);
    void StartPosCommand(const ReceivedMessage& request);
    void Abort();
    void Answer(const ReceivedMessage& message, Phase expected, quint8 approvingCode);

    // Scenario building blocks, each queued behind the steps before it.
    void QueueMessage(const QByteArray& code, const FieldList& body = {});
    void QueueStatusText(const QString& text);
    void QueueFinal(const QByteArray& code, std::function<FieldList()> body);
    void QueueApproval(bool withReceipts = true);
    void QueueDecline(const QByteArray& code, const QString& text, const QByteArray& declineCode);
    void QueueSplitApproval();
    void QueueForeignStatusTexts();

    QByteArray Frame(const QByteArray& code, const FieldList& body) const;
    FieldList ApprovalBody(bool withReceipts);

    const int id_;
    QTcpSocket* socket_;
    const PaySimSettings& settings_;
    std::function<qint32()> nextStan_;
    Observer observer_;
    StepQueue* steps_;
    QByteArray buffer_;
    QByteArray posId_;
    QByteArray session_;
    Phase phase_ = Phase::AwaitingRequest;
    Operation operation_;
    bool closed_ = false;
};

}  // namespace mereval::paysim
