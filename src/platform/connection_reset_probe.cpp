#include "platform/connection_reset_probe.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mereval::platform {

ConnectionResetProbe::ConnectionResetProbe(qintptr socketDescriptor)
    : fd_(socketDescriptor >= 0 ? ::fcntl(int(socketDescriptor), F_DUPFD_CLOEXEC, 0) : -1) {}

ConnectionResetProbe::~ConnectionResetProbe() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool ConnectionResetProbe::WasReset() const {
    tcp_info info{};
    socklen_t length = sizeof info;
    return fd_ >= 0 && ::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
           info.tcpi_state == TCP_CLOSE;
}

}  // namespace mereval::platform
