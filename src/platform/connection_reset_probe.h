#pragma once

#include <QtGlobal>

namespace mereval::platform {

// Qt reads a connection reset by the peer as an orderly close. A second
// descriptor on the same socket outlives Qt's own, so the socket's TCP state
// can still be read after Qt has closed it: a reset leaves it CLOSED, an
// orderly close from the peer leaves it waiting for our side.
//
// The probe keeps the socket open while it lives; destroy it before closing
// the connection, or our side's FIN waits for it.
class ConnectionResetProbe {
public:
    explicit ConnectionResetProbe(qintptr socketDescriptor);
    ~ConnectionResetProbe();
    ConnectionResetProbe(const ConnectionResetProbe&) = delete;
    ConnectionResetProbe& operator=(const ConnectionResetProbe&) = delete;

    bool WasReset() const;

private:
    int fd_ = -1;
};

}  // namespace mereval::platform
