#pragma once

#include <QAbstractSocket>

namespace mereval::session {

// The number that a connection error box shows. Tills and the payment
// system's support desk know the classic socket error numbers (10061 for a
// refused connection), so Qt's errors are shown under those.
int SocketErrorNumber(QAbstractSocket::SocketError error);

// Shown for a configured port that no socket can reach.
inline constexpr int kInvalidPortNumber = 10049;

}  // namespace mereval::session
