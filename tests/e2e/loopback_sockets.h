#pragma once

#include <QtGlobal>

#include <vector>

namespace mereval::test {

// A socket listening on 127.0.0.1 whose accept queue is filled by connections
// of its own that are never accepted: the kernel then drops every further
// SYN, so a client's connect neither completes nor fails until it gives up.
class UnansweredListener {
public:
    UnansweredListener();
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    quint16 Port() const { return port_; }
    // Until the queue is full, each call adds a filling connection once the
    // previous one has completed. Wait on it.
    bool IsFull();

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::vector<int> fillers_;
};

// Puts an unconnected socket under the descriptor: the connection is gone and
// its owner's next read fails (ENOTCONN), a socket error on an established
// connection that a loopback peer cannot cause.
bool BreakConnection(qintptr fd);

// Closes the connection of the descriptor with a reset (RST) instead of an
// orderly close.
bool ResetConnection(qintptr fd);

}  // namespace mereval::test
