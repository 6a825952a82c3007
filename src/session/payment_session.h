#pragma once

#include "session/message_codec.h"
#include "session/operation_journal.h"
#include "session/session_view.h"
#include "session/traffic_log.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

namespace mereval::common {
struct ProgramSettings;
}

namespace mereval::session {

class OperationConnection;

// The phases of an operation. The session is in exactly one of them, and
// each phase alone decides the time-out that runs in it:
//
//   Idle            no operation, no connection             no time-out
//   Connecting      connect issued                          connectMs
//   AwaitingResult  request sent, the conversation runs     replyMs, restarted by keep-alives
//   Printing        approval taken, receipts going out      none: printing may take long
//   DecodingReport  report data taken, connection closed    none
//   AwaitingEnd     "0023" sent after the final result      endMs
//
// Connection trouble (time-out, peer closing, socket error, a send on a
// closed socket) ends an operation quietly in AwaitingEnd and with an error
// box in every other phase.
enum class SessionPhase : quint8 {
    Idle,
    Connecting,
    AwaitingResult,
    Printing,
    DecodingReport,
    AwaitingEnd,
};

// The operation time-outs. The program runs with these values; tests pass
// shorter ones.
struct SessionTimeouts {
    int connectMs = 5000;
    int replyMs = 15000;
    int endMs = 5000;  // after "0023" was sent
};

// One operation at a time against the payment system, each on a TCP
// connection of its own: start, request, dispatch of what comes back, the
// closing "0023" and every way an operation can end.
//
// Everything runs on the GUI thread. Socket events, time-outs, received
// messages and the cashier's abort all enter through Handle(), which
// decides by phase; an operation ends only there. Where the original flow
// let pending window events run in the middle of its work, this one returns
// to the event loop instead.
class PaymentSession : public QObject {
    Q_OBJECT

public:
    PaymentSession(SessionView& view, common::ProgramSettings& settings,
                   SessionTimeouts timeouts = {}, QObject* parent = nullptr);
    ~PaymentSession() override;

    // The selected tab's operation. The window checks the fields first.
    void StartOperation();
    // A special command or a report: refused (false) while an operation
    // runs, so a second one never starts over the first.
    bool PreparePOSCommand(quint8 commandId);
    bool StartReport(const QString& startCode, const QString& endCode);
    QString ReportPeriodText() const { return reportPeriodText_; }

    // The abort button.
    void AbortRequest();
    // Answers of the boxes.
    void ButtonResponse(quint8 buttonCode);
    void InputResponse(quint8 buttonCode, const QString& text);

    // Hands a decoded "0020" to the report; until one is set a report answer
    // only ends the operation.
    void SetReportDataHandler(std::function<void(const MessageCodec&)> handler);

    TrafficLog& Log() { return log_; }
    OperationJournal& Journal() { return journal_; }

Q_SIGNALS:
    void phaseChanged(mereval::session::SessionPhase phase);

private:
    enum class OperationKind : quint8 { Tab, Report, PosCommand };

    struct Event {
        enum Kind : quint8 {
            Connected,
            Received,
            Printed,
            Timeout,
            PeerClosed,
            SocketError,
            SendFailed
        };
        Event(Kind what, const MessageCodec* received = nullptr, QString text = {})
            : kind(what), message(received), detail(std::move(text)) {}
        Kind kind;
        const MessageCodec* message;  // Received
        QString detail;               // SocketError: "number - description"
    };

    bool Begin(OperationKind kind);
    void Handle(const Event& event);
    void HandleMessage(const MessageCodec& message);
    // Leaving AwaitingResult, the journal records the outcome.
    void EnterPhase(SessionPhase phase, const QString& outcome = {});
    void EndOperation(const QString& outcome = {});
    void EndOnConnectionTrouble(const Event& event);

    void OnReadyRead();
    void DispatchMessages();
    bool DispatchOne();
    bool IsOurs(const MessageCodec& message) const;
    void Send(const QByteArray& message, const QString& logText = {});
    void CloseSocket();

    // The request of the running operation, and what the journal keeps of it.
    struct Request {
        QByteArray bytes;
        QString logText;  // empty: the message itself
        QString kind;
        QString amount;
        QString receipt;
    };
    MessageCodec NewMessage(const char* code) const;
    Request RequestOfOperation();
    void SendEndTransaction(const QString& outcome);

    void HandleDecline(const MessageCodec& message);
    void HandleBox(const MessageCodec& message, bool input);
    void HandleApproveMessage(const MessageCodec& message);
    void DecodeReportData(const MessageCodec& message);

    SessionView& view_;
    common::ProgramSettings& settings_;
    const SessionTimeouts timeouts_;
    TrafficLog log_;
    OperationJournal journal_;

    SessionPhase phase_ = SessionPhase::Idle;
    QTimer timer_;                               // Timer1, the phase's time-out
    OperationConnection* connection_ = nullptr;  // Winsock1, the running operation's; a child
    QByteArray receiveBuffer_;
    bool dispatchQueued_ = false;

    // What the running operation is; kept from its start to its end.
    OperationKind kind_ = OperationKind::Tab;
    quint8 posCommandId_ = 0;
    QString reportStartCode_;
    QString reportEndCode_;

    bool storeFailureShown_ = false;  // once per run
    QString pendingStatusText_;
    QString reportPeriodText_;
    std::function<void(const MessageCodec&)> reportDataHandler_;
};

}  // namespace mereval::session
