#include "e2e/loopback_sockets.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace mereval::test {
namespace {

sockaddr_in Loopback(quint16 port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool IsConnected(int fd) {
    pollfd entry{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLOUT) != 0 &&
           ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
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
        return;  // port_ stays 0 and IsFull() false
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
    if (port_ == 0) {
        return false;
    }
    // For a listening socket the kernel reports the accept queue's length
    // and limit in these two fields.
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(listener_, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) {
        return false;
    }
    if (info.tcpi_unacked > info.tcpi_sacked) {
        return true;
    }
    constexpr size_t kMaxFillers = 8;
    if (fillers_.size() < kMaxFillers && (fillers_.empty() || IsConnected(fillers_.back()))) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0) {
            fillers_.push_back(fd);
            const sockaddr_in address = Loopback(port_);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
    }
    return false;
}

namespace {

// The descriptor of this process's connection whose own (side "local") or
// remote end is at 127.0.0.1:port, or -1.
int ConnectionAt(quint16 port, bool local) {
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr) {
        return -1;
    }
    int target = -1;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == ::dirfd(fds)) {
            continue;
        }
        sockaddr_in peer{};
        sockaddr_in own{};
        socklen_t length = sizeof peer;
        socklen_t ownLength = sizeof own;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0 &&
            peer.sin_family == AF_INET && peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK) &&
            ntohs(local ? own.sin_port : peer.sin_port) == port) {
            target = fd;
            break;
        }
    }
    ::closedir(fds);
    return target;
}

// Puts an unconnected socket under the descriptor; the connection it held
// is closed by that.
bool ReplaceSocket(int target) {
    const int fresh = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (target < 0 || fresh < 0) {
        return false;
    }
    const bool replaced = ::dup3(fresh, target, O_CLOEXEC) == target;
    ::close(fresh);
    return replaced;
}

}  // namespace

bool BreakConnectionTo(quint16 serverPort) {
    return ReplaceSocket(ConnectionAt(serverPort, false));
}

bool ResetConnectionOf(quint16 serverPort) {
    const int target = ConnectionAt(serverPort, true);
    const linger abortive{1, 0};
    return target >= 0 &&
           ::setsockopt(target, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive) == 0 &&
           ReplaceSocket(target);
}

}  // namespace mereval::test
