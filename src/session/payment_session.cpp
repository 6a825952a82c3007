#include "session/payment_session.h"

#include "common/code_page.h"
#include "common/program_settings.h"
#include "common/value_helpers.h"
#include "common/wipe.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/operation_connection.h"
#include "session/operation_table.h"

#include <QElapsedTimer>
#include <QPointer>

#include <cmath>

namespace mereval::session {
namespace {

namespace code = catalogue::code;
namespace field = catalogue::field;

// Longest stretch the dispatcher works before it lets the window breathe.
constexpr qint64 kDispatchSliceMs = 10;
// A status or box text is read by a cashier: more than this is a fault of
// the sender, and would only fill memory and log.txt.
constexpr qsizetype kMaxShownTextBytes = 4096;

const QString kConnectionLost = QStringLiteral(u"Ühendus maksesüsteemiga katkes. (");
const QString kCannotConnect = QStringLiteral(u"Ei saa ühendust maksesüsteemiga. (");

QString Text(const QByteArray& bytes) {
    return common::FromCodePage(bytes);
}

QString ShownText(const MessageCodec& message) {
    return Text(message.GetField(field::Text, {}).left(kMaxShownTextBytes));
}

}  // namespace

PaymentSession::PaymentSession(SessionView& view, common::ProgramSettings& settings,
                               SessionTimeouts timeouts, QObject* parent)
    : QObject(parent), view_(view), settings_(settings), timeouts_(timeouts) {
    timer_.setSingleShot(true);
    // A coarse timer may fire 5 % early; a payment system that keeps the
    // schedule exactly must never see a false time-out.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Handle({Event::Timeout}); });
}

PaymentSession::~PaymentSession() = default;

void PaymentSession::StartOperation() {
    Begin(OperationKind::Tab);
}

// The request is built once connected: what it carries may follow Begin().
bool PaymentSession::PreparePOSCommand(quint8 commandId) {
    if (!Begin(OperationKind::PosCommand)) {
        return false;
    }
    posCommandId_ = commandId;
    return true;
}

bool PaymentSession::StartReport(const QString& startCode, const QString& endCode) {
    if (!Begin(OperationKind::Report)) {
        return false;
    }
    reportStartCode_ = startCode;
    reportEndCode_ = endCode;
    return true;
}

bool PaymentSession::Begin(OperationKind kind) {
    if (phase_ != SessionPhase::Idle) {
        return false;
    }
    kind_ = kind;
    view_.SetOperationRunning(true);
    // A hand-edited store may hold any 32-bit number; the largest must wrap
    // like the rest rather than overflow.
    settings_.session = settings_.session >= catalogue::MaxSession ? 1 : settings_.session + 1;
    EnterPhase(SessionPhase::Connecting);
    // Counting goes on in memory; numbers may repeat after a restart, which
    // the cashier hears of once.
    if (!common::StoreSession(settings_) && !storeFailureShown_) {
        storeFailureShown_ = true;
        view_.OpenBox(kBoxMessage, common::kSessionNotStoredText.toString(), kErrorBoxButtons);
    }
    view_.ShowSessionText(QStringLiteral("Session: ") +
                          FormatFixedWidth(settings_.session, catalogue::SessionDigits));

    connection_ = new OperationConnection(settings_.fAddress, settings_.fPort, this);
    connect(connection_, &OperationConnection::connected, this,
            [this] { Handle({Event::Connected}); });
    connect(connection_, &OperationConnection::readyRead, this, &PaymentSession::OnReadyRead);
    connect(connection_, &OperationConnection::closedByPeer, this,
            [this] { Handle({Event::PeerClosed}); });
    connect(connection_, &OperationConnection::failed, this, [this](const QString& detail) {
        Handle({Event::SocketError, nullptr, detail});
    });
    return true;
}

// The one entry point of everything that happens to an operation.
void PaymentSession::Handle(const Event& event) {
    switch (event.kind) {
        case Event::Connected:
            if (phase_ == SessionPhase::Connecting) {
                Request request = RequestOfOperation();
                journal_.Started(settings_.session, request.kind, request.amount, request.receipt);
                EnterPhase(SessionPhase::AwaitingResult);
                Send(request.bytes, request.logText);
                common::Wipe(request.bytes);  // the socket holds its own copy
            }
            return;
        case Event::Printed:
            if (phase_ == SessionPhase::Printing) {
                view_.ClearEntryFields();
                SendEndTransaction({});
            }
            return;
        case Event::Received:
            HandleMessage(*event.message);
            return;
        case Event::Timeout:
        case Event::PeerClosed:
        case Event::SocketError:
        case Event::SendFailed:
            // While printing, the result is in and only the answer is left:
            // a connection lost meanwhile shows when the answer cannot go.
            if ((phase_ != SessionPhase::Idle || event.kind == Event::SendFailed) &&
                phase_ != SessionPhase::Printing) {
                EndOnConnectionTrouble(event);
            }
            return;
    }
}

void PaymentSession::EndOnConnectionTrouble(const Event& event) {
    QString reason = event.detail;
    if (event.kind == Event::Timeout) {
        reason = QStringLiteral("Timeout");
    } else if (event.kind == Event::PeerClosed) {
        reason = QStringLiteral("Socket closed");
    } else if (event.kind == Event::SendFailed) {
        reason = QStringLiteral("Attempt to write on closed socket");
    }
    log_.LogEvent(QStringLiteral("Connection ended: ") + reason);
    const SessionPhase noted = phase_;
    EndOperation(QStringLiteral("connection lost: ") + reason);
    if (noted != SessionPhase::AwaitingEnd) {  // else the result is in; nothing is at stake
        const bool connecting =
            noted == SessionPhase::Connecting && event.kind == Event::SocketError;
        view_.OpenBox(kBoxMessage, (connecting ? kCannotConnect : kConnectionLost) + reason + u')',
                      kErrorBoxButtons);
    }
}

void PaymentSession::HandleMessage(const MessageCodec& message) {
    const QByteArray messageCode = message.GetField(field::Code, {});
    if (messageCode == code::EndTransaction) {
        if (phase_ == SessionPhase::AwaitingEnd) {
            EndOperation();
        }
    } else if (messageCode == code::StatusText) {
        const QString text = ShownText(message);
        view_.ShowStatusLine(text);
        log_.LogEvent(QStringLiteral("StatusText: ") + text);
    } else if (messageCode == code::KeepAlive) {
        if (timer_.isActive()) {
            EnterPhase(phase_);  // the countdown starts again
        }
        log_.LogEvent(QStringLiteral("KeepAlive."));
    } else if (messageCode == code::ReleaseBoxes) {
        log_.LogEvent(QStringLiteral("ReleaseBoxes."));
        view_.ReleaseBoxes();
    } else if (messageCode == code::TransactionDeclined || messageCode == code::DeclineMessage) {
        HandleDecline(message);
    } else if (messageCode == code::PosCommandResponse) {
        log_.LogEvent(QStringLiteral("POS_COMMAND_RESPONSE received"));
        SendEndTransaction(QStringLiteral("command taken"));
        if (phase_ == SessionPhase::AwaitingEnd) {  // else the failed send ended it
            pendingStatusText_ = QStringLiteral(u"Toiming täitmiseks võetud.");
        }
    } else if (messageCode == code::ButtonBox || messageCode == code::InputBox) {
        HandleBox(message, messageCode == code::InputBox);
    } else if (messageCode == code::ApproveMessage) {
        HandleApproveMessage(message);
    } else if (messageCode == code::ReportData) {
        DecodeReportData(message);
    }
}

void PaymentSession::EnterPhase(SessionPhase phase, const QString& outcome) {
    if (phase_ == SessionPhase::AwaitingResult && phase != phase_) {
        journal_.Ended(settings_.session, outcome);
    }
    int timeoutMs = 0;
    switch (phase) {
        case SessionPhase::Connecting:
            timeoutMs = timeouts_.connectMs;
            break;
        case SessionPhase::AwaitingResult:
            timeoutMs = timeouts_.replyMs;
            break;
        case SessionPhase::AwaitingEnd:
            timeoutMs = timeouts_.endMs;
            break;
        case SessionPhase::Idle:
        case SessionPhase::Printing:
        case SessionPhase::DecodingReport:
            break;
    }
    timer_.stop();
    if (timeoutMs > 0) {
        timer_.start(timeoutMs);
    }
    if (phase != phase_) {
        phase_ = phase;
        Q_EMIT phaseChanged(phase);
    }
}

void PaymentSession::EndOperation(const QString& outcome) {
    view_.ClearCardNumber();
    view_.ShowStatusLine(pendingStatusText_);
    pendingStatusText_.clear();
    view_.SetOperationRunning(false);
    receiveBuffer_.clear();
    CloseSocket();
    EnterPhase(SessionPhase::Idle, outcome);
    view_.ShowOperationFrame();
}

void PaymentSession::AbortRequest() {
    if (phase_ != SessionPhase::DecodingReport) {
        Send(NewMessage(code::AbortRequest).Build(true, true));
    }
}

void PaymentSession::ButtonResponse(quint8 buttonCode) {
    if (!connection_ || !connection_->IsConnected()) {
        return;
    }
    MessageCodec message = NewMessage(code::ButtonResponse);
    message.SetField(field::ButtonCode, catalogue::ByteValue(buttonCode));
    Send(message.Build(true, true));
}

void PaymentSession::InputResponse(quint8 buttonCode, const QString& text) {
    if (!connection_ || !connection_->IsConnected()) {
        return;
    }
    MessageCodec message = NewMessage(code::InputResponse);
    message.SetField(field::ButtonCode, catalogue::ByteValue(buttonCode));
    message.SetField(field::InputText, common::ToCodePage(text));
    // Never the typed text: a masked box may hold card data.
    Send(message.Build(true, true), QStringLiteral("Input response."));
}

void PaymentSession::SetReportDataHandler(std::function<void(const MessageCodec&)> handler) {
    reportDataHandler_ = std::move(handler);
}

void PaymentSession::OnReadyRead() {
    if (!connection_->IsConnected()) {
        return;
    }
    receiveBuffer_.append(connection_->ReadAll());
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

// One pass. A pass that has consumed a frame goes on with what follows,
// also when the frame was malformed or not ours: a whole approval behind it
// must not wait for data that never comes.
bool PaymentSession::DispatchOne() {
    MessageCodec message;
    const int status = message.Parse(receiveBuffer_, receiveBuffer_);
    if (status == MessageCodec::kIncomplete) {
        return false;
    }
    if (status == MessageCodec::kDecoded && IsOurs(message)) {
        Handle({Event::Received, &message});
    }
    return !receiveBuffer_.isEmpty();  // an ended operation has emptied it
}

bool PaymentSession::IsOurs(const MessageCodec& message) const {
    if (message.GetField(field::PosId, catalogue::HeaderDefault()) !=
        common::ToCodePage(settings_.fPOSID)) {
        return false;
    }
    double session = 0;
    return common::ParseNumericText(
               Text(message.GetField(field::Session, catalogue::HeaderDefault())), &session) &&
           std::nearbyint(session) == double(settings_.session);
}

void PaymentSession::Send(const QByteArray& message, const QString& logText) {
    log_.LogSent(logText.isEmpty() ? message : common::ToCodePage(logText));
    if (!connection_ || !connection_->IsConnected()) {
        Handle({Event::SendFailed});
        return;
    }
    connection_->Write(message);
}

void PaymentSession::CloseSocket() {
    if (connection_) {
        std::exchange(connection_, nullptr)->Close();
    }
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

PaymentSession::Request PaymentSession::RequestOfOperation() {
    if (kind_ == OperationKind::Report) {
        MessageCodec message = NewMessage(code::ReportRequest);
        message.SetField(field::PeriodStart, reportStartCode_.toLatin1());
        message.SetField(field::PeriodEnd, reportEndCode_.toLatin1());
        reportPeriodText_ = QStringLiteral("Periood: ") +
                            common::CodeDateTimeText(reportStartCode_) + QStringLiteral(" - ") +
                            common::CodeDateTimeText(reportEndCode_);
        return {message.Build(true, true), {}, QStringLiteral("Aruanne"), {}, {}};
    }
    if (kind_ == OperationKind::PosCommand) {
        MessageCodec message = NewMessage(code::PosCommandRequest);
        message.SetField(field::PosCommand, catalogue::ByteValue(posCommandId_));
        return {message.Build(true, true), {}, QStringLiteral("Eritoiming"), {}, {}};
    }
    const Operation& operation = OperationOf(view_.SelectedTab());
    MessageCodec message = NewMessage(operation.requestCode);
    Request request{{}, {}, QString::fromUtf16(operation.caption), {}, {}};
    QByteArray card;
    double amount = 0;  // the window has refused a text that does not read
    if (operation.amountField) {
        GetAmount(view_.EntryText(*operation.amountField), amount);
        message.SetField(field::Amount, DoubleToBytes(amount));
        request.amount = QString::number(amount, 'f', 2);
    }
    message.SetField(field::Reserved11, catalogue::ByteValue(0));
    if (QByteArray(operation.requestCode) == code::StartTransaction) {
        QString track = view_.TakeCardTrack();
        card = common::ToCodePage(track);
        common::Wipe(track);
        message.SetField(field::CardData, card);
        message.SetField(field::TransactionKind,
                         catalogue::ByteValue(operation.reservation ? catalogue::KindReservation
                                                                    : catalogue::KindPayment));
        message.SetField(field::Reserved7, catalogue::ByteValue(0));
        message.SetField(field::Reserved14, catalogue::ByteValue(0));
        // The card data must never reach the log: the record names the amount only.
        request.logText = QStringLiteral("Starting Transaction: Session=") +
                          FormatFixedWidth(settings_.session, catalogue::SessionDigits) +
                          QStringLiteral(", Amount=") + RegionalNumberText(amount);
    } else {
        const qint32 receipt = ParseLongInRange(view_.EntryText(*operation.receiptField), -1,
                                                catalogue::MaxSession, 0);
        message.SetField(field::ReceiptNumber, LongToBytes(receipt));
        request.receipt = QString::number(receipt);
    }
    request.bytes = message.Build(true, true);
    message.Clear();  // its copy of the card data is gone, ours is the last
    common::Wipe(card);
    return request;
}

void PaymentSession::SendEndTransaction(const QString& outcome) {
    EnterPhase(SessionPhase::AwaitingEnd, outcome);
    Send(NewMessage(code::EndTransaction).Build(true, true));
}

void PaymentSession::HandleDecline(const MessageCodec& message) {
    const QString text = ShownText(message);
    const QString declineCode =
        Text(message.GetField(field::DeclineCode, catalogue::DeclineCodeDefault()));
    log_.LogEvent(QStringLiteral("Transaction Declined: ") + declineCode + QStringLiteral(" - ") +
                  text);
    SendEndTransaction(QStringLiteral("declined ") + declineCode);
    view_.OpenBox(kBoxMessage, text, kErrorBoxButtons);
}

void PaymentSession::HandleBox(const MessageCodec& message, bool input) {
    const qint32 flags =
        common::LongFromBytes(message.GetField(field::BoxButtons, catalogue::NumberDefault()));
    const QString text = ShownText(message);
    log_.LogEvent((input ? QStringLiteral("InputBox: ") : QStringLiteral("ButtonBox: ")) + text);
    quint8 type = kBoxButtons;
    if (input) {
        const bool masked = message.GetField(field::MaskedInput, {}) ==
                            catalogue::ByteValue(catalogue::MaskedInputOn);
        type = masked ? kBoxSecretInput : kBoxInput;
    }
    view_.OpenBox(type, text, flags);
}

void PaymentSession::HandleApproveMessage(const MessageCodec& message) {
    const qint32 stan = common::LongFromBytes(message.GetField(field::Stan, {}));
    EnterPhase(SessionPhase::Printing, QStringLiteral("approved STAN=") + QString::number(stan));
    log_.LogEvent(QStringLiteral("ApproveMessage: STAN=") + QString::number(stan));
    pendingStatusText_ =
        QStringLiteral("Toiming on teostatud. Kviitungi number: ") + QString::number(stan);
    const QByteArray receipts = message.GetField(field::Receipts, {});
    if (receipts.isEmpty() || !settings_.fDoPrint) {
        Handle({Event::Printed});
        return;
    }
    // The window may outlive the session by a print job.
    view_.PrintReceipts(receipts, stan, [session = QPointer<PaymentSession>(this)] {
        if (session) {
            session->Handle({Event::Printed});
        }
    });
}

void PaymentSession::DecodeReportData(const MessageCodec& message) {
    CloseSocket();
    EnterPhase(SessionPhase::DecodingReport, QStringLiteral("report received"));
    view_.ShowStatusLine(QStringLiteral("Sõnumi dekodeerimine..."));
    if (reportDataHandler_) {
        reportDataHandler_(message);
    }
    view_.ClearEntryFields();
    EndOperation();
}

}  // namespace mereval::session
