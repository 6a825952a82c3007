#pragma once

#include "paysim/message_fields.h"
#include "paysim/received_message.h"

#include <QByteArray>
#include <QTcpSocket>

#include <optional>
#include <vector>

namespace mereval::test {

// The cashier's side of one connection to the simulator, waiting on the
// event loop so the simulator in the same thread keeps running.
class PaySimTestClient {
public:
    static constexpr int kWaitMs = 5000;
    static QByteArray PosId() { return QByteArrayLiteral("00000001"); }
    static QByteArray Session() { return QByteArrayLiteral("000042"); }

    bool Connect(quint16 port);
    // Sends code with this client's header and the body.
    void Send(const QByteArray& code, const paysim::FieldList& body = {});
    void SendRaw(const QByteArray& bytes);

    // The next decoded message; nullopt when none comes within the wait.
    std::optional<paysim::ReceivedMessage> Next(int timeoutMs = kWaitMs);
    // Messages up to and including the first final result ("0006", "0012",
    // "0013", "0020" or "0027"); an empty list when it does not come.
    std::vector<paysim::ReceivedMessage> UntilResult();

    // Frames that did not decode (malformed or with a bad prefix).
    int Dropped() const { return dropped_; }

private:
    bool TryTake(paysim::ReceivedMessage* message);

    QTcpSocket socket_;
    QByteArray buffer_;
    int dropped_ = 0;
};

}  // namespace mereval::test
