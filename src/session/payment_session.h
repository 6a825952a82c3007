#pragma once

#include "session/message_codec.h"
#include "session/session_view.h"
#include "session/traffic_log.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

namespace mereval::common {
struct ProgramSettings;
}

namespace mereval::session {

enum class OperationState : qint16 {
    Idle = 0,
    Connecting = 1,
    PaymentSent = 2,
    VoidSent = 3,
    TipSent = 4,
    ReservationCompletionSent = 5,
    ReportSent = 6,
    AwaitingEnd = 7,
    PosCommandSent = 8,
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
// Everything runs on the GUI thread. Where the original flow let pending
// window events run in the middle of its work, this one returns to the
// event loop instead, and every handler reads the state when it runs.
class PaymentSession : public QObject {
    Q_OBJECT

public:
    PaymentSession(SessionView& view, common::ProgramSettings& settings,
                   SessionTimeouts timeouts = {}, QObject* parent = nullptr);
    ~PaymentSession() override;

    OperationState State() const { return state_; }
    bool IsRunning() const { return state_ != OperationState::Idle; }

    // Locks the window, advances and stores the session number and connects.
    void StartOperation();
    void EndOperation();

    // Starts a special command operation; refused (false) while another
    // operation runs, so a second one never starts over the first.
    bool PreparePOSCommand(quint8 commandId);
    // Starts a report operation for a period of two twelve-character codes.
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

private:
    void OnConnected();
    void OnReadyRead();
    void OnDisconnected();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnTimeout();

    void SendMessage(const QByteArray& message, const QString& logText);
    void SendRequestOfOperation();
    void DispatchMessages();
    bool DispatchOne();
    void FailOperation(const QString& text);
    void RestartTimer(int intervalMs);
    void CloseSocket();

    MessageCodec NewMessage(const char* code) const;
    void SendStartTransaction(bool reservation);
    void SendVoidRequest();
    void SendTipRequest();
    void SendReservationCompletionRequest();
    void SendReportRequest();
    void SendPosCommandRequest();
    void SendEndTransaction();

    void ShowStatusText(const QString& text);
    void HandleKeepAlive();
    void HandleDecline(const MessageCodec& message);
    void HandleButtonBox(const MessageCodec& message);
    void HandleInputBox(const MessageCodec& message);
    void HandleApproveMessage(const MessageCodec& message);
    void HandlePosCommandResponse();
    void DecodeReportData(const MessageCodec& message);

    SessionView& view_;
    common::ProgramSettings& settings_;
    const SessionTimeouts timeouts_;
    TrafficLog log_;

    QTcpSocket socket_;  // Winsock1
    QTimer timer_;       // Timer1, the operation time-out
    QByteArray receiveBuffer_;
    bool dispatchQueued_ = false;

    OperationState state_ = OperationState::Idle;
    bool reportPending_ = false;
    bool reportDataArriving_ = false;
    qint16 posCommandId_ = -1;
    QString pendingStatusText_;
    QString reportStartCode_;
    QString reportEndCode_;
    QString reportPeriodText_;
    std::function<void(const MessageCodec&)> reportDataHandler_;
};

}  // namespace mereval::session
