#include "e2e/loopback_sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mereval::test {
namespace {

sockaddr_in Loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

UnansweredListener::UnansweredListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
}

UnansweredListener::~UnansweredListener() {
    for (const int fd : fillers_) {
        ::close(fd);
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

bool UnansweredListener::IsFull() {
    // For a listening socket the kernel reports the accept queue's length
    // and limit in these two fields.
    tcp_info info{};
    socklen_t length = sizeof info;
    if (port_ == 0 || ::getsockopt(listener_, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        return false;
    }
    if (info.tcpi_unacked > info.tcpi_sacked) {
        return true;
    }
    pollfd connected{fillers_.empty() ? -1 : fillers_.back(), POLLOUT, 0};
    if (fillers_.size() < 8 && (fillers_.empty() || ::poll(&connected, 1, 0) == 1)) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0) {
            fillers_.push_back(fd);
            const sockaddr_in address = Loopback(port_);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
    }
    return false;
}

bool BreakConnection(qintptr fd) {
    const int fresh = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const bool replaced = fd >= 0 && fresh >= 0 && ::dup3(fresh, int(fd), O_CLOEXEC) == fd;
    ::close(fresh);
    return replaced;
}

bool ResetConnection(qintptr fd) {
    const linger abortive{1, 0};
    return ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive) == 0 &&
           BreakConnection(fd);
}

}  // namespace mereval::test
