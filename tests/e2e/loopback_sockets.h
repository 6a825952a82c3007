#pragma once

#include <QtGlobal>

#include <vector>

namespace mereval::test {

// A socket listening on 127.0.0.1 with an accept queue of one place, filled
// by a connection of its own that is never accepted. The kernel then drops
// every further SYN, so a client's connect neither completes nor fails until
// the client gives up.
class UnansweredListener {
public:
    UnansweredListener();
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    quint16 Port() const { return port_; }
    // Whether the accept queue is full; until it is, each call adds a filling
    // connection once the previous one has completed. Wait on it.
    bool IsFull();

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::vector<int> fillers_;
};

// Puts an unconnected TCP socket under the descriptor of this process's
// connection to 127.0.0.1:serverPort, so the owner's next read of it fails
// (ENOTCONN): a socket error on an established connection, which a loopback
// peer cannot cause (a reset reads as an orderly close). False when no such
// connection is open.
bool BreakConnectionTo(quint16 serverPort);

// Closes the server's end of the connection to 127.0.0.1:serverPort in this
// process with a reset (RST) instead of an orderly close.
bool ResetConnectionOf(quint16 serverPort);

}  // namespace mereval::test
