#include "e2e/paysim_test_client.h"

#include "session/message_catalogue.h"
#include "session/message_codec.h"

#include <QHostAddress>
#include <QTest>

namespace mereval::test {

using paysim::ReceivedMessage;
using session::MessageCodec;
namespace code = session::catalogue::code;
namespace field = session::catalogue::field;

bool PaySimTestClient::Connect(quint16 port) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    return QTest::qWaitFor([this] { return socket_.state() == QAbstractSocket::ConnectedState; },
                           kWaitMs);
}

void PaySimTestClient::Send(const QByteArray& code, const paysim::FieldList& body) {
    paysim::FieldList fields = {
        {field::Code, code}, {field::PosId, PosId()}, {field::Session, Session()}};
    fields.insert(fields.end(), body.begin(), body.end());
    SendRaw(paysim::BuildFrame(fields));
}

void PaySimTestClient::SendRaw(const QByteArray& bytes) {
    socket_.write(bytes);
}

bool PaySimTestClient::TryTake(ReceivedMessage* message) {
    buffer_ += socket_.readAll();
    while (!buffer_.isEmpty()) {
        const QByteArray before = buffer_;
        MessageCodec codec;
        const qint16 status = codec.Parse(buffer_, buffer_);
        if (status == MessageCodec::kIncomplete) {
            return false;
        }
        if (status == MessageCodec::kDecoded) {
            *message = {0, before.first(before.size() - buffer_.size()),
                        paysim::PresentFields(codec)};
            return true;
        }
        ++dropped_;
    }
    return false;
}

std::optional<ReceivedMessage> PaySimTestClient::Next(int timeoutMs) {
    ReceivedMessage message;
    if (QTest::qWaitFor([&] { return TryTake(&message); }, timeoutMs)) {
        return message;
    }
    return std::nullopt;
}

std::vector<ReceivedMessage> PaySimTestClient::UntilResult() {
    std::vector<ReceivedMessage> messages;
    while (const std::optional<ReceivedMessage> message = Next()) {
        messages.push_back(*message);
        const QByteArray c = message->Code();
        if (c == code::TransactionDeclined || c == code::ApproveMessage ||
            c == code::DeclineMessage || c == code::ReportData || c == code::PosCommandResponse) {
            return messages;
        }
    }
    return {};
}

}  // namespace mereval::test
