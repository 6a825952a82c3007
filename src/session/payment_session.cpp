#include "session/payment_session.h"

#include "common/code_page.h"
#include "common/program_settings.h"
#include "common/value_helpers.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/socket_error_number.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSignalBlocker>

#include <cmath>

namespace mereval::session {
namespace {

namespace code = catalogue::code;
namespace field = catalogue::field;

// Longest stretch the dispatcher works before it lets the window breathe.
constexpr qint64 kDispatchSliceMs = 10;

const QString kAttemptToWriteOnClosedSocket =
    QStringLiteral(u"Ühendus maksesüsteemiga katkes. (Attempt to write on closed socket)");
const QString kConnectionLost = QStringLiteral(u"Ühendus maksesüsteemiga katkes. (");
const QString kCannotConnect = QStringLiteral(u"Ei saa ühendust maksesüsteemiga. (");

QString Text(const QByteArray& bytes) {
    return common::FromCodePage(bytes);
}

}  // namespace

PaymentSession::PaymentSession(SessionView& view, common::ProgramSettings& settings,
                               SessionTimeouts timeouts, QObject* parent)
    : QObject(parent), view_(view), settings_(settings), timeouts_(timeouts) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &PaymentSession::OnTimeout);
    connect(&socket_, &QTcpSocket::connected, this, &PaymentSession::OnConnected);
    connect(&socket_, &QTcpSocket::readyRead, this, &PaymentSession::OnReadyRead);
    connect(&socket_, &QTcpSocket::disconnected, this, &PaymentSession::OnDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &PaymentSession::OnSocketError);
}

PaymentSession::~PaymentSession() {
    CloseSocket();
}

void PaymentSession::StartOperation() {
    view_.SetOperationRunning(true);
    RestartTimer(timeouts_.connectMs);

    // A hand-edited store may hold any 32-bit number; the largest must wrap
    // like the rest rather than overflow.
    settings_.session = settings_.session >= catalogue::MaxSession ? 1 : settings_.session + 1;
    state_ = OperationState::Connecting;
    common::StoreSession(settings_);
    view_.ShowSessionText(QStringLiteral("Session: ") +
                          FormatFixedWidth(settings_.session, catalogue::SessionDigits));

    if (settings_.fPort < 1 || settings_.fPort > 65535) {
        // No socket can reach it; report it the way a refused connection is.
        const int port = settings_.fPort;
        QMetaObject::invokeMethod(
            this,
            [this, port] {
                if (state_ == OperationState::Connecting) {
                    EndOperation();
                    view_.OpenBox(kBoxMessage,
                                  kCannotConnect + QString::number(kInvalidPortNumber) +
                                      QStringLiteral(" - Invalid port ") + QString::number(port) +
                                      u')',
                                  kErrorBoxButtons);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    socket_.connectToHost(settings_.fAddress, static_cast<quint16>(settings_.fPort));
}

void PaymentSession::EndOperation() {
    reportDataArriving_ = false;
    view_.ClearCardNumber();
    posCommandId_ = -1;
    reportPending_ = false;

    view_.ShowStatusLine(pendingStatusText_);
    pendingStatusText_.clear();
    view_.SetOperationRunning(false);

    timer_.stop();
    receiveBuffer_.clear();
    CloseSocket();

    state_ = OperationState::Idle;
    view_.ShowOperationFrame();
}

bool PaymentSession::PreparePOSCommand(quint8 commandId) {
    if (IsRunning()) {
        return false;
    }
    posCommandId_ = commandId;
    StartOperation();
    return true;
}

bool PaymentSession::StartReport(const QString& startCode, const QString& endCode) {
    if (IsRunning()) {
        return false;
    }
    reportStartCode_ = startCode;
    reportEndCode_ = endCode;
    reportPending_ = true;
    StartOperation();
    return true;
}

void PaymentSession::AbortRequest() {
    if (!reportDataArriving_) {
        SendMessage(NewMessage(code::AbortRequest).Build(true, true), {});
    }
}

void PaymentSession::ButtonResponse(quint8 buttonCode) {
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        return;
    }
    MessageCodec message = NewMessage(code::ButtonResponse);
    message.SetField(field::ButtonCode, catalogue::ByteValue(buttonCode));
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::InputResponse(quint8 buttonCode, const QString& text) {
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        return;
    }
    MessageCodec message = NewMessage(code::InputResponse);
    message.SetField(field::ButtonCode, catalogue::ByteValue(buttonCode));
    message.SetField(field::InputText, common::ToCodePage(text));
    // Never the typed text: a masked box may hold card data.
    SendMessage(message.Build(true, true), QStringLiteral("Input response."));
}

void PaymentSession::SetReportDataHandler(std::function<void(const MessageCodec&)> handler) {
    reportDataHandler_ = std::move(handler);
}

void PaymentSession::OnConnected() {
    RestartTimer(timeouts_.replyMs);
    SendRequestOfOperation();
}

void PaymentSession::SendRequestOfOperation() {
    if (reportPending_) {
        SendReportRequest();
        return;
    }
    if (posCommandId_ >= 0) {
        SendPosCommandRequest();
        return;
    }
    switch (view_.SelectedTab()) {
        case OperationTab::CardPayment:
            SendStartTransaction(false);
            break;
        case OperationTab::Cancellation:
            SendVoidRequest();
            break;
        case OperationTab::Tip:
            SendTipRequest();
            break;
        case OperationTab::Reservation:
            SendStartTransaction(true);
            break;
        case OperationTab::ReservationCompletion:
            SendReservationCompletionRequest();
            break;
    }
}

void PaymentSession::OnReadyRead() {
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        return;
    }
    receiveBuffer_.append(socket_.readAll());
    if (!dispatchQueued_) {
        DispatchMessages();
    }
}

void PaymentSession::DispatchMessages() {
    dispatchQueued_ = false;
    QElapsedTimer slice;
    slice.start();
    while (DispatchOne()) {
        if (slice.elapsed() >= kDispatchSliceMs) {
            dispatchQueued_ = true;
            QMetaObject::invokeMethod(this, &PaymentSession::DispatchMessages,
                                      Qt::QueuedConnection);
            return;
        }
    }
}

bool PaymentSession::DispatchOne() {
    MessageCodec message;
    if (message.Parse(receiveBuffer_, receiveBuffer_) != MessageCodec::kDecoded) {
        return false;
    }
    if (message.GetField(field::PosId, catalogue::HeaderDefault()) !=
        common::ToCodePage(settings_.fPOSID)) {
        return false;
    }
    double session = 0;
    if (!common::ParseNumericText(
            Text(message.GetField(field::Session, catalogue::HeaderDefault())), &session) ||
        std::nearbyint(session) != double(settings_.session)) {
        return false;
    }

    const QByteArray messageCode = message.GetField(field::Code, {});
    if (messageCode == code::EndTransaction) {
        if (state_ == OperationState::AwaitingEnd) {
            EndOperation();
            return false;
        }
    } else if (messageCode == code::StatusText) {
        ShowStatusText(Text(message.GetField(field::Text, {})));
    } else if (messageCode == code::KeepAlive) {
        HandleKeepAlive();
    } else if (messageCode == code::ReleaseBoxes) {
        log_.LogEvent(QStringLiteral("ReleaseBoxes."));
        view_.ReleaseBoxes();
    } else if (messageCode == code::TransactionDeclined) {
        HandleDecline(message);
    } else if (messageCode == code::PosCommandResponse) {
        HandlePosCommandResponse();
    } else if (messageCode == code::DeclineMessage) {
        HandleDecline(message);
    } else if (messageCode == code::ButtonBox) {
        HandleButtonBox(message);
    } else if (messageCode == code::InputBox) {
        HandleInputBox(message);
    } else if (messageCode == code::ApproveMessage) {
        HandleApproveMessage(message);
    } else if (messageCode == code::ReportData) {
        DecodeReportData(message);
    }
    return !receiveBuffer_.isEmpty();
}

void PaymentSession::OnTimeout() {
    const OperationState noted = state_;
    EndOperation();
    if (noted != OperationState::AwaitingEnd) {
        view_.OpenBox(kBoxMessage, kConnectionLost + QStringLiteral("Timeout)"), kErrorBoxButtons);
    }
}

void PaymentSession::OnDisconnected() {
    const OperationState noted = state_;
    EndOperation();
    if (noted != OperationState::Idle && noted != OperationState::AwaitingEnd) {
        view_.OpenBox(kBoxMessage, kConnectionLost + QStringLiteral("Socket closed)"),
                      kErrorBoxButtons);
    }
}

void PaymentSession::OnSocketError(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        return;  // the disconnected event that follows reports it
    }
    const OperationState noted = state_;
    const QString detail = QString::number(SocketErrorNumber(error)) + QStringLiteral(" - ") +
                           socket_.errorString() + u')';
    EndOperation();
    if (noted == OperationState::Connecting) {
        view_.OpenBox(kBoxMessage, kCannotConnect + detail, kErrorBoxButtons);
    } else if (noted != OperationState::Idle && noted != OperationState::AwaitingEnd) {
        view_.OpenBox(kBoxMessage, kConnectionLost + detail, kErrorBoxButtons);
    }
}

void PaymentSession::SendMessage(const QByteArray& message, const QString& logText) {
    log_.LogSent(logText.isEmpty() ? message : common::ToCodePage(logText));
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        const OperationState noted = state_;
        EndOperation();
        if (noted != OperationState::AwaitingEnd) {
            view_.OpenBox(kBoxMessage, kAttemptToWriteOnClosedSocket, kErrorBoxButtons);
        }
        return;
    }
    socket_.write(message);
}

void PaymentSession::RestartTimer(int intervalMs) {
    timer_.stop();
    timer_.setInterval(intervalMs);
    timer_.start();
}

void PaymentSession::CloseSocket() {
    // Closing is ours: no closed event may report it as the peer's doing.
    const QSignalBlocker blocker(socket_);
    socket_.abort();
}

MessageCodec PaymentSession::NewMessage(const char* messageCode) const {
    MessageCodec message;
    message.Clear();
    message.SetField(field::Code, QByteArray(messageCode));
    message.SetField(field::PosId, common::ToCodePage(settings_.fPOSID));
    message.SetField(field::Session,
                     FormatFixedWidth(settings_.session, catalogue::SessionDigits).toLatin1());
    return message;
}

void PaymentSession::SendStartTransaction(bool reservation) {
    state_ = OperationState::PaymentSent;
    double amount = 0;
    GetAmount(view_.EntryText(EntryField::Amount), amount);
    MessageCodec message = NewMessage(code::StartTransaction);
    message.SetField(field::Amount, DoubleToBytes(amount));
    message.SetField(field::CardData, common::ToCodePage(view_.CardTrackText()));
    message.SetField(
        field::TransactionKind,
        catalogue::ByteValue(reservation ? catalogue::KindReservation : catalogue::KindPayment));
    message.SetField(field::Reserved7, catalogue::ByteValue(0));
    message.SetField(field::Reserved11, catalogue::ByteValue(0));
    message.SetField(field::Reserved14, catalogue::ByteValue(0));
    // The card data must never reach the log: the record names the amount only.
    SendMessage(message.Build(true, true),
                QStringLiteral("Starting Transaction: Session=") +
                    FormatFixedWidth(settings_.session, catalogue::SessionDigits) +
                    QStringLiteral(", Amount=") + RegionalNumberText(amount));
}

namespace {

QByteArray ReceiptNumberBytes(const QString& text) {
    return LongToBytes(ParseLongInRange(text, -1, catalogue::MaxSession, 0));
}

QByteArray AmountBytes(const QString& text) {
    double amount = 0;
    GetAmount(text, amount);
    return DoubleToBytes(amount);
}

}  // namespace

void PaymentSession::SendVoidRequest() {
    state_ = OperationState::VoidSent;
    MessageCodec message = NewMessage(code::VoidRequest);
    message.SetField(field::Reserved11, catalogue::ByteValue(0));
    message.SetField(field::ReceiptNumber,
                     ReceiptNumberBytes(view_.EntryText(EntryField::VoidReceipt)));
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::SendTipRequest() {
    state_ = OperationState::TipSent;
    MessageCodec message = NewMessage(code::TipRequest);
    message.SetField(field::Amount, AmountBytes(view_.EntryText(EntryField::TipAmount)));
    message.SetField(field::Reserved11, catalogue::ByteValue(0));
    message.SetField(field::ReceiptNumber,
                     ReceiptNumberBytes(view_.EntryText(EntryField::TipReceipt)));
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::SendReservationCompletionRequest() {
    state_ = OperationState::ReservationCompletionSent;
    MessageCodec message = NewMessage(code::ReservationCompletionRequest);
    message.SetField(field::Amount, AmountBytes(view_.EntryText(EntryField::CompletionAmount)));
    message.SetField(field::Reserved11, catalogue::ByteValue(0));
    message.SetField(field::ReceiptNumber,
                     ReceiptNumberBytes(view_.EntryText(EntryField::CompletionReceipt)));
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::SendReportRequest() {
    state_ = OperationState::ReportSent;
    MessageCodec message = NewMessage(code::ReportRequest);
    message.SetField(field::PeriodStart, reportStartCode_.toLatin1());
    message.SetField(field::PeriodEnd, reportEndCode_.toLatin1());
    reportPeriodText_ = QStringLiteral("Periood: ") + common::CodeDateTimeText(reportStartCode_) +
                        QStringLiteral(" - ") + common::CodeDateTimeText(reportEndCode_);
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::SendPosCommandRequest() {
    state_ = OperationState::PosCommandSent;
    MessageCodec message = NewMessage(code::PosCommandRequest);
    message.SetField(field::PosCommand, catalogue::ByteValue(static_cast<quint8>(posCommandId_)));
    SendMessage(message.Build(true, true), {});
}

void PaymentSession::SendEndTransaction() {
    state_ = OperationState::AwaitingEnd;
    SendMessage(NewMessage(code::EndTransaction).Build(true, true), {});
    // A failed send has ended the operation already; a time-out armed now
    // would fire on an idle window.
    if (state_ == OperationState::AwaitingEnd) {
        RestartTimer(timeouts_.endMs);
    }
}

void PaymentSession::ShowStatusText(const QString& text) {
    view_.ShowStatusLine(text);
    log_.LogEvent(QStringLiteral("StatusText: ") + text);
}

void PaymentSession::HandleKeepAlive() {
    if (timer_.isActive()) {
        RestartTimer(timer_.interval());
    }
    log_.LogEvent(QStringLiteral("KeepAlive."));
}

void PaymentSession::HandleDecline(const MessageCodec& message) {
    const QString text = Text(message.GetField(field::Text, {}));
    const QString declineCode =
        Text(message.GetField(field::DeclineCode, catalogue::DeclineCodeDefault()));
    log_.LogEvent(QStringLiteral("Transaction Declined: ") + declineCode + QStringLiteral(" - ") +
                  text);
    SendEndTransaction();
    view_.OpenBox(kBoxMessage, text, kErrorBoxButtons);
}

void PaymentSession::HandleButtonBox(const MessageCodec& message) {
    const qint32 flags =
        common::LongFromBytes(message.GetField(field::BoxButtons, catalogue::NumberDefault()));
    const QString text = Text(message.GetField(field::Text, {}));
    log_.LogEvent(QStringLiteral("ButtonBox: ") + text);
    view_.OpenBox(kBoxButtons, text, flags);
}

void PaymentSession::HandleInputBox(const MessageCodec& message) {
    const qint32 flags =
        common::LongFromBytes(message.GetField(field::BoxButtons, catalogue::NumberDefault()));
    const QString text = Text(message.GetField(field::Text, {}));
    log_.LogEvent(QStringLiteral("InputBox: ") + text);
    const bool masked =
        message.GetField(field::MaskedInput, {}) == catalogue::ByteValue(catalogue::MaskedInputOn);
    view_.OpenBox(masked ? kBoxSecretInput : kBoxInput, text, flags);
}

void PaymentSession::HandleApproveMessage(const MessageCodec& message) {
    timer_.stop();  // printing may take long and must not run into the time-out
    const qint32 stan = common::LongFromBytes(message.GetField(field::Stan, {}));
    log_.LogEvent(QStringLiteral("ApproveMessage: STAN=") + QString::number(stan));
    const QByteArray receipts = message.GetField(field::Receipts, {});
    if (!receipts.isEmpty() && settings_.fDoPrint) {
        view_.PrintReceipts(receipts, stan);
    }
    view_.ClearEntryFields();
    pendingStatusText_ =
        QStringLiteral("Toiming on teostatud. Kviitungi number: ") + QString::number(stan);
    SendEndTransaction();
}

void PaymentSession::HandlePosCommandResponse() {
    log_.LogEvent(QStringLiteral("POS_COMMAND_RESPONSE received"));
    SendEndTransaction();
    // After a failed send the operation is over; the text would otherwise
    // wait for the end of the next one.
    if (state_ == OperationState::AwaitingEnd) {
        pendingStatusText_ = QStringLiteral(u"Toiming täitmiseks võetud.");
    }
}

void PaymentSession::DecodeReportData(const MessageCodec& message) {
    CloseSocket();
    timer_.stop();
    reportDataArriving_ = true;
    view_.ShowStatusLine(QStringLiteral("Sõnumi dekodeerimine..."));
    if (reportDataHandler_) {
        reportDataHandler_(message);
    }
    view_.ClearEntryFields();
    EndOperation();
}

}  // namespace mereval::session
