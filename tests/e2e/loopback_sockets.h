#pragma once

#include <QtGlobal>

#include <vector>

namespace mereval::test {

// A listener on 127.0.0.1 whose accept queue its own connections fill: a
// client's connect then neither completes nor fails until it gives up.
class UnansweredListener {
public:
    UnansweredListener();
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    quint16 Port() const { return port_; }
    // Wait on it: each call adds a filling connection until the queue is full.
    bool IsFull();

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::vector<int> fillers_;
};

// Puts an unconnected socket under the descriptor: its owner's next read
// fails (ENOTCONN), a socket error a loopback peer cannot cause.
bool BreakConnection(qintptr fd);

// Ends the descriptor's connection with a reset (RST), not an orderly close.
bool ResetConnection(qintptr fd);

}  // namespace mereval::test
