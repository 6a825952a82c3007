#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace mereval::paysim {

// What the simulator's conversations read at each step, so a test may change
// a value between two operations.
struct PaySimSettings {
    // Pause before each message of a scenario: 0 for tests, a pace that a
    // person can follow in the executable.
    int messageDelayMs = 0;
    int keepAliveIntervalMs = 5000;
    // How long the keep-alive scenario holds the client: longer than its
    // 15 s reply time-out, so only the keep-alives keep the operation alive.
    int keepAliveDurationMs = 20000;
    qint32 reportRows = 40;
    // Empty: replies copy the POS identifier of the client's message.
    QByteArray replyPosId;
};

}  // namespace mereval::paysim
