#include "session/socket_error_number.h"

namespace mereval::session {

int SocketErrorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return 10061;
        case QAbstractSocket::RemoteHostClosedError:
            return 10054;
        case QAbstractSocket::HostNotFoundError:
            return 11001;
        case QAbstractSocket::SocketAccessError:
            return 10013;
        case QAbstractSocket::SocketResourceError:
            return 10055;
        case QAbstractSocket::SocketTimeoutError:
            return 10060;
        case QAbstractSocket::NetworkError:
            return 10050;
        case QAbstractSocket::AddressInUseError:
            return 10048;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return kInvalidPortNumber;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return 10045;
        case QAbstractSocket::TemporaryError:
            return 10035;
        default:
            return static_cast<int>(error);
    }
}

}  // namespace mereval::session
