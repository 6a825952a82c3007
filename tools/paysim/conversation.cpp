#include "paysim/conversation.h"

#include "common/code_page.h"
#include "common/value_helpers.h"
#include "paysim/receipts.h"
#include "paysim/report_generator.h"
#include "paysim/scenarios.h"
#include "paysim/step_queue.h"
#include "session/conversions.h"
#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QDateTime>
#include <QTcpSocket>

#include <algorithm>
#include <cmath>

namespace mereval::paysim {
namespace {

namespace catalogue = session::catalogue;
namespace code = catalogue::code;
namespace field = catalogue::field;
using session::MessageCodec;

// Box flags and answer codes of the cashier's box dialog.
constexpr qint32 kButtonsOkCancel = 1;
constexpr qint32 kButtonsYesNo = 4;
constexpr qint32 kIconQuestion = 32;
constexpr quint8 kAnswerOk = 1;
constexpr quint8 kAnswerYes = 6;

QByteArray Wire(const QString& text) {
    return common::ToCodePage(text);
}

QString Connecting() {
    return QStringLiteral("Ühendus pangaga...");
}

// A complete frame whose only field has the varint wire type instead of the
// length-delimited one: a receiver must drop it.
QByteArray MalformedFrame() {
    return QByteArray::fromHex("020801");
}

QString TitleOf(const ReceivedMessage& request) {
    const QByteArray c = request.Code();
    if (c == code::VoidRequest) {
        return QStringLiteral("TÜHISTAMINE");
    }
    if (c == code::TipRequest) {
        return QStringLiteral("JOOTRAHA");
    }
    if (c == code::ReservationCompletionRequest) {
        return QStringLiteral("BRONEERINGU LÕPETAMINE");
    }
    return request.Field(field::TransactionKind) == catalogue::ByteValue(catalogue::KindReservation)
               ? QStringLiteral("BRONEERING")
               : QStringLiteral("KAARDIMAKSE");
}

}  // namespace

Conversation::Conversation(int id, QTcpSocket* socket, const PaySimSettings& settings,
                           std::function<qint32()> nextStan, Observer observer, QObject* parent)
    : QObject(parent),
      id_(id),
      socket_(socket),
      settings_(settings),
      nextStan_(std::move(nextStan)),
      observer_(std::move(observer)),
      steps_(new StepQueue(this)) {
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &Conversation::ReadFrames);
    connect(socket_, &QTcpSocket::disconnected, this, &Conversation::OnDisconnected);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError) {
            Note(socket_->errorString());
        }
        if (socket_->state() == QAbstractSocket::UnconnectedState) {
            OnDisconnected();
        }
    });
}

QByteArray Conversation::PosId() const {
    return settings_.replyPosId.isEmpty() ? posId_ : settings_.replyPosId;
}

void Conversation::Send(const QByteArray& code, const FieldList& body) {
    SendRaw(Frame(code, body));
}

void Conversation::SendRaw(const QByteArray& bytes) {
    if (closed_ || socket_->state() != QAbstractSocket::ConnectedState) {
        Note(QStringLiteral("not sent, the connection is closed"));
        return;
    }
    socket_->write(bytes);
    Q_EMIT frameSent(id_, bytes);
}

void Conversation::Close() {
    if (!closed_) {
        socket_->disconnectFromHost();
    }
}

void Conversation::ReadFrames() {
    buffer_.append(socket_->readAll());
    while (!buffer_.isEmpty()) {
        const QByteArray before = buffer_;
        MessageCodec codec;
        const qint16 status = codec.Parse(buffer_, buffer_);
        if (status == MessageCodec::kIncomplete) {
            return;
        }
        const QByteArray consumed = before.first(before.size() - buffer_.size());
        if (status == MessageCodec::kDecoded) {
            Handle({id_, consumed, PresentFields(codec)});
        } else {
            Q_EMIT garbageReceived(id_, status, consumed);
        }
    }
}

void Conversation::OnDisconnected() {
    if (closed_) {
        return;
    }
    closed_ = true;
    steps_->Cancel();
    Q_EMIT closed(id_);
    deleteLater();
}

void Conversation::Note(const QString& text) {
    Q_EMIT eventNoted(id_, text);
}

void Conversation::Handle(const ReceivedMessage& message) {
    if (message.Has(field::PosId)) {
        posId_ = message.Field(field::PosId);
    }
    if (message.Has(field::Session)) {
        session_ = message.Field(field::Session);
    }
    if (observer_(*this, message) == ScriptResult::Handled) {
        return;
    }

    const QByteArray c = message.Code();
    const bool isRequest = c == code::StartTransaction || c == code::VoidRequest ||
                           c == code::TipRequest || c == code::ReservationCompletionRequest ||
                           c == code::ReportRequest || c == code::PosCommandRequest;
    if (isRequest && phase_ != Phase::AwaitingRequest) {
        Note(QStringLiteral("a second request on one connection is ignored"));
        return;
    }
    if (c == code::ReportRequest) {
        StartReport(message);
    } else if (c == code::PosCommandRequest) {
        StartPosCommand(message);
    } else if (isRequest) {
        StartOperation(message);
    } else if (c == code::AbortRequest) {
        Abort();
    } else if (c == code::ButtonResponse) {
        Answer(message, Phase::AwaitingButton, kAnswerYes);
    } else if (c == code::InputResponse) {
        Answer(message, Phase::AwaitingInput, kAnswerOk);
    } else if (c == code::EndTransaction) {
        QueueMessage(code::EndTransaction);
    } else {
        Note(QStringLiteral("unknown code, ignored"));
    }
}

void Conversation::StartOperation(const ReceivedMessage& request) {
    phase_ = Phase::Running;
    operation_ = {};
    operation_.code = request.Code();
    operation_.title = TitleOf(request);
    if (operation_.code == code::StartTransaction) {
        operation_.maskedCard = MaskedCardNumber(request.Field(field::CardData));
    } else {
        operation_.receiptNumber = common::LongFromBytes(request.Field(field::ReceiptNumber));
    }
    if (operation_.code == code::VoidRequest) {
        QueueApproval();
        return;
    }
    operation_.amount = session::DoubleFromBytes(request.Field(field::Amount));
    PlayScenario();
}

void Conversation::PlayScenario() {
    const double amount = operation_.amount.value_or(0);
    Note(QStringLiteral("scenario .%1").arg(CentsOf(amount), 2, 10, QLatin1Char('0')));
    const auto question = [this, amount] {
        QueueMessage(code::ButtonBox,
                     {{field::Text, Wire(QStringLiteral("Kas klient kinnitab summa %1 EUR?")
                                             .arg(std::fabs(amount), 0, 'f', 2))},
                      {field::BoxButtons, session::LongToBytes(kButtonsYesNo + kIconQuestion)}});
    };
    switch (ScenarioForAmount(amount)) {
        case Scenario::Approve:
            QueueApproval();
            break;
        case Scenario::Decline:
            QueueStatusText(Connecting());
            QueueDecline(code::DeclineMessage, QStringLiteral("Tehing keelatud"), "05");
            break;
        case Scenario::Question:
            question();
            phase_ = Phase::AwaitingButton;
            break;
        case Scenario::Input:
            QueueMessage(code::InputBox,
                         {{field::Text, Wire(QStringLiteral("Sisesta autoriseerimiskood"))},
                          {field::BoxButtons, session::LongToBytes(kButtonsOkCancel)}});
            phase_ = Phase::AwaitingInput;
            break;
        case Scenario::MaskedInput:
            QueueMessage(code::InputBox,
                         {{field::Text, Wire(QStringLiteral("Sisesta PIN-kood"))},
                          {field::BoxButtons, session::LongToBytes(kButtonsOkCancel)},
                          {field::MaskedInput, catalogue::ByteValue(catalogue::MaskedInputOn)}});
            phase_ = Phase::AwaitingInput;
            break;
        case Scenario::KeepAlive: {
            const int interval = std::max(1, settings_.keepAliveIntervalMs);
            const int count = std::max(1, settings_.keepAliveDurationMs / interval);
            for (int i = 0; i < count; ++i) {
                steps_->Append(interval, [this] { Send(code::KeepAlive); });
            }
            QueueApproval();
            break;
        }
        case Scenario::Silence:
            Note(QStringLiteral("silent until the client gives up"));
            break;
        case Scenario::Close:
            steps_->Append(0, [this] { Close(); });
            break;
        case Scenario::ReleasedQuestion:
            question();
            QueueMessage(code::ReleaseBoxes);
            QueueApproval();
            break;
        case Scenario::EmptyReceipts:
            QueueApproval(false);
            break;
        case Scenario::TransactionDeclined:
            QueueStatusText(Connecting());
            QueueDecline(code::TransactionDeclined, QStringLiteral("Kaart on suletud"), "62");
            break;
        case Scenario::SplitDelivery:
            QueueSplitApproval();
            break;
        case Scenario::ForeignMessages:
            QueueForeignStatusTexts();
            QueueApproval();
            break;
        case Scenario::MalformedFrame:
            steps_->Append(settings_.messageDelayMs, [this] { SendRaw(MalformedFrame()); });
            QueueApproval();
            break;
    }
}

void Conversation::StartReport(const ReceivedMessage& request) {
    phase_ = Phase::Running;
    QueueStatusText(QStringLiteral("Aruande koostamine..."));
    QueueFinal(code::ReportData, [this, start = request.Field(field::PeriodStart),
                                  end = request.Field(field::PeriodEnd)] {
        return ReportDataBody(start, end, settings_.reportRows);
    });
}

void Conversation::StartPosCommand(const ReceivedMessage& request) {
    phase_ = Phase::Running;
    const QByteArray command = request.Field(field::PosCommand);
    const QString id = command.size() == 1 ? QString::number(static_cast<quint8>(command[0]))
                                           : QStringLiteral("?");
    QueueStatusText(QStringLiteral("Terminali käsk %1 võetud täitmiseks").arg(id));
    QueueFinal(code::PosCommandResponse, [] { return FieldList{}; });
}

void Conversation::Abort() {
    if (phase_ == Phase::AwaitingRequest || phase_ == Phase::Finished) {
        Note(QStringLiteral("abort ignored, no result is pending"));
        return;
    }
    steps_->Cancel();
    phase_ = Phase::Running;
    QueueDecline(code::DeclineMessage, QStringLiteral("Katkestatud"), "17");
}

void Conversation::Answer(const ReceivedMessage& message, Phase expected, quint8 approvingCode) {
    if (phase_ != expected) {
        Note(QStringLiteral("answer ignored, no such box is open"));
        return;
    }
    phase_ = Phase::Running;
    if (message.Field(field::ButtonCode) == catalogue::ByteValue(approvingCode)) {
        QueueApproval();
    } else {
        QueueDecline(code::DeclineMessage,
                     expected == Phase::AwaitingButton ? QStringLiteral("Klient keeldus")
                                                       : QStringLiteral("Sisestus katkestatud"),
                     "17");
    }
}

void Conversation::QueueMessage(const QByteArray& code, const FieldList& body) {
    steps_->Append(settings_.messageDelayMs, [this, code, body] { Send(code, body); });
}

void Conversation::QueueStatusText(const QString& text) {
    QueueMessage(code::StatusText, {{field::Text, Wire(text)}});
}

void Conversation::QueueFinal(const QByteArray& code, std::function<FieldList()> body) {
    steps_->Append(settings_.messageDelayMs, [this, code, body = std::move(body)] {
        phase_ = Phase::Finished;
        Send(code, body());
    });
}

void Conversation::QueueApproval(bool withReceipts) {
    if (operation_.code == code::StartTransaction) {
        QueueStatusText(QStringLiteral("Sisesta kaart"));
    }
    QueueStatusText(Connecting());
    QueueFinal(code::ApproveMessage, [this, withReceipts] { return ApprovalBody(withReceipts); });
}

void Conversation::QueueDecline(const QByteArray& code, const QString& text,
                                const QByteArray& declineCode) {
    QueueFinal(code, [text, declineCode] {
        return FieldList{{field::Text, Wire(text)}, {field::DeclineCode, declineCode}};
    });
}

void Conversation::QueueSplitApproval() {
    steps_->Append(settings_.messageDelayMs, [this] {
        const QByteArray approval = Frame(code::ApproveMessage, ApprovalBody(true));
        const qsizetype cut = approval.size() / 2;
        // The result is on its way: an abort now must not put a decline
        // into the middle of the approval's frame.
        phase_ = Phase::Finished;
        SendRaw(Frame(code::StatusText, {{field::Text, Wire(Connecting())}}) + approval.first(cut));
        steps_->Append(settings_.messageDelayMs,
                       [this, tail = approval.sliced(cut)] { SendRaw(tail); });
    });
}

void Conversation::QueueForeignStatusTexts() {
    steps_->Append(settings_.messageDelayMs, [this] {
        const QByteArray foreignPos = PosId() == "99999999" ? "99999998" : "99999999";
        SendRaw(BuildFrame({{field::Code, code::StatusText},
                            {field::PosId, foreignPos},
                            {field::Session, session_},
                            {field::Text, Wire(QStringLiteral("VIGA: teise kassa teade"))}}));
    });
    steps_->Append(settings_.messageDelayMs, [this] {
        const QByteArray otherSession =
            session::FormatFixedWidth(session_.toInt() + 1, catalogue::SessionDigits).toLatin1();
        SendRaw(BuildFrame({{field::Code, code::StatusText},
                            {field::PosId, PosId()},
                            {field::Session, otherSession},
                            {field::Text, Wire(QStringLiteral("VIGA: teise seansi teade"))}}));
    });
}

QByteArray Conversation::Frame(const QByteArray& code, const FieldList& body) const {
    FieldList fields = {{field::Code, code}, {field::PosId, PosId()}, {field::Session, session_}};
    fields.insert(fields.end(), body.begin(), body.end());
    return BuildFrame(fields);
}

FieldList Conversation::ApprovalBody(bool withReceipts) {
    const qint32 stan = nextStan_();
    QByteArray receipts;
    if (withReceipts) {
        receipts = BuildReceiptBlock({operation_.title, common::FromCodePage(PosId()),
                                      QDateTime::currentDateTime(), operation_.amount,
                                      operation_.maskedCard, operation_.receiptNumber, stan});
    }
    return {{field::Receipts, receipts}, {field::Stan, session::LongToBytes(stan)}};
}

}  // namespace mereval::paysim
