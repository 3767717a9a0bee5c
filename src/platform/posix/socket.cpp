#include "platform/socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace {

int iDescriptor(const CSocket& socket) {
    return static_cast<int>(socket.iHandle());
}

SocketHandle iOwnHandle(int descriptor) {
    return descriptor < 0 ? kInvalidSocket : static_cast<SocketHandle>(descriptor);
}

ESockErr eFromErrno(int error) {
    switch (error) {
        case 0:
            return ESockErr::None;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return ESockErr::WouldBlock;
        case EINPROGRESS:
            return ESockErr::InProgress;
        case EINTR:
            return ESockErr::Interrupted;
        case ETIMEDOUT:
            return ESockErr::TimedOut;
        case ECONNREFUSED:
            return ESockErr::Refused;
        case ECONNRESET:
        case EPIPE:
        case ECONNABORTED:
            return ESockErr::Reset;
        case EADDRINUSE:
            return ESockErr::AddrInUse;
        case EADDRNOTAVAIL:
            return ESockErr::AddrNotAvailable;
        case EALREADY:
            return ESockErr::AlreadyConnecting;
        case ENOTCONN:
            return ESockErr::NotConnected;
        case ENETUNREACH:
        case EHOSTUNREACH:
            return ESockErr::Unreachable;
        case EACCES:
        case EPERM:
            return ESockErr::Access;
        default:
            return ESockErr::Other;
    }
}

int iFailure() {
    return iSockErrRc(eFromErrno(errno));
}

int iResult(int rc) {
    return rc < 0 ? iFailure() : rc;
}

sockaddr_in sToSockaddr(const CEndpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.m_uiAddr;
    address.sin_port = htons(endpoint.m_usPort);
    return address;
}

CEndpoint sFromSockaddr(const sockaddr_in& address) {
    return CEndpoint{address.sin_addr.s_addr, ntohs(address.sin_port)};
}

int iSetIntOption(const CSocket& socket, int level, int name, int value) {
    return iResult(::setsockopt(iDescriptor(socket), level, name, &value, sizeof value));
}

int iSetMembership(const CSocket& socket, int option, std::uint32_t groupNet,
                   std::uint32_t interfaceNet) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = groupNet;
    request.imr_interface.s_addr = interfaceNet;
    return iResult(::setsockopt(iDescriptor(socket), IPPROTO_IP, option, &request, sizeof request));
}

}  // namespace

ESockErr eLastSockErr() {
    return eFromErrno(errno);
}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        vClose();
        m_handle = other.release();
    }
    return *this;
}

CSocket CSocket::Udp() {
    return CSocket(iOwnHandle(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)));
}

CSocket CSocket::Tcp() {
    return CSocket(iOwnHandle(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)));
}

SocketHandle CSocket::release() {
    const SocketHandle handle = m_handle;
    m_handle = kInvalidSocket;
    return handle;
}

void CSocket::vClose() {
    if (fgValid()) {
        ::close(static_cast<int>(m_handle));
        m_handle = kInvalidSocket;
    }
}

int iBind(const CSocket& socket, const CEndpoint& local) {
    const sockaddr_in address = sToSockaddr(local);
    return iResult(
        ::bind(iDescriptor(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int iSetBroadcast(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_BROADCAST, enabled ? 1 : 0);
}

int iSetReuseAddr(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, enabled ? 1 : 0);
}

int iSetNonBlocking(const CSocket& socket, bool enabled) {
    const int flags = ::fcntl(iDescriptor(socket), F_GETFL, 0);
    if (flags < 0) {
        return iFailure();
    }
    const int wanted = enabled ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return iResult(::fcntl(iDescriptor(socket), F_SETFL, wanted));
}

int iListen(const CSocket& socket, int backlog) {
    return iResult(::listen(iDescriptor(socket), backlog));
}

int iJoinMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_ADD_MEMBERSHIP, groupNet, interfaceNet);
}

int iLeaveMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_DROP_MEMBERSHIP, groupNet, interfaceNet);
}

int iBindMulticastReceiver(const CSocket& socket, std::uint32_t groupNet, std::uint16_t port) {
    (void)iSetReuseAddr(socket, true);
    // Bound to a unicast address the socket would never be handed group datagrams;
    // bound to the group, Linux would hand it every membership of the host unless told.
    const int bound = iBind(socket, CEndpoint{groupNet, port});
    if (bound != 0) {
        return bound;
    }
    return iSetIntOption(socket, IPPROTO_IP, IP_MULTICAST_ALL, 0);
}

int iRaiseReceiveBuffer(const CSocket& socket, int bytes) {
    // SO_RCVBUFFORCE passes the system limit but needs privilege; fall back quietly.
    if (iSetIntOption(socket, SOL_SOCKET, SO_RCVBUFFORCE, bytes) != 0) {
        const int rc = iSetIntOption(socket, SOL_SOCKET, SO_RCVBUF, bytes);
        if (rc != 0) {
            return rc;
        }
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(iDescriptor(socket), SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) {
        return iFailure();
    }
    return granted;
}

CEndpoint sLocalEndpoint(const CSocket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(iDescriptor(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return sFromSockaddr(address);
}

int iSendTo(const CSocket& socket, std::span<const std::uint8_t> data, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    const ssize_t sent = ::sendto(iDescriptor(socket), data.data(), data.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent < 0 ? iFailure() : static_cast<int>(sent);
}

int iRecvFrom(const CSocket& socket, std::span<std::uint8_t> buffer, CEndpoint& from) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // MSG_TRUNC makes the call report the datagram's real length, so an oversized
    // datagram can be told from one that filled the buffer exactly.
    const ssize_t got = ::recvfrom(iDescriptor(socket), buffer.data(), buffer.size(), MSG_TRUNC,
                                   reinterpret_cast<sockaddr*>(&address), &length);
    if (got < 0) {
        return iFailure();
    }
    from = sFromSockaddr(address);
    return static_cast<int>(got);
}

int iSend(const CSocket& socket, std::span<const std::uint8_t> data) {
    const ssize_t sent = ::send(iDescriptor(socket), data.data(), data.size(), MSG_NOSIGNAL);
    return sent < 0 ? iFailure() : static_cast<int>(sent);
}

int iRecv(const CSocket& socket, std::span<std::uint8_t> buffer) {
    const ssize_t got = ::recv(iDescriptor(socket), buffer.data(), buffer.size(), 0);
    return got < 0 ? iFailure() : static_cast<int>(got);
}

int iConnect(const CSocket& socket, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    return iResult(::connect(iDescriptor(socket), reinterpret_cast<const sockaddr*>(&address),
                             sizeof address));
}

CSocket sAccept(const CSocket& listener, CEndpoint* peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CSocket accepted(iOwnHandle(::accept4(
        iDescriptor(listener), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC)));
    if (accepted.fgValid() && peer != nullptr) {
        *peer = sFromSockaddr(address);
    }
    return accepted;
}

bool fgMakeWakePair(CSocket& reader, CSocket& writer) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        return false;
    }
    reader = CSocket(iOwnHandle(pair[0]));
    writer = CSocket(iOwnHandle(pair[1]));
    return true;
}

int iShutdown(const CSocket& socket) {
    return iResult(::shutdown(iDescriptor(socket), SHUT_RDWR));
}

ESockErr eSocketError(const CSocket& socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(iDescriptor(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return eFromErrno(errno);
    }
    return eFromErrno(error);
}

int iWaitReadable(std::span<const SocketHandle> handles, int timeoutMs,
                  std::vector<SocketHandle>& ready) {
    ready.clear();
    // The usual few handles are polled from the stack; only a longer list allocates.
    std::array<pollfd, kWaitReadableMax> fixed{};
    std::vector<pollfd> grown;
    std::span<pollfd> polled(fixed.data(), std::min(handles.size(), fixed.size()));
    if (handles.size() > fixed.size()) {
        grown.resize(handles.size());
        polled = grown;
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        polled[i] = pollfd{static_cast<int>(handles[i]), POLLIN, 0};
    }
    const int rc = ::poll(polled.data(), polled.size(), timeoutMs);
    if (rc < 0) {
        return iFailure();
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if ((polled[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            ready.push_back(handles[i]);
        }
    }
    return rc;
}

int iWaitOne(const CSocket& socket, bool forRead, bool forWrite, int timeoutMs, int& events) {
    events = 0;
    pollfd entry{iDescriptor(socket), 0, 0};
    if (forRead) {
        entry.events |= POLLIN;
    }
    if (forWrite) {
        entry.events |= POLLOUT;
    }
    const int rc = ::poll(&entry, 1, timeoutMs);
    if (rc <= 0) {
        return rc < 0 ? iFailure() : 0;
    }
    int count = 0;
    if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && forRead) {
        events |= kEventReadable;
        ++count;
    }
    if ((entry.revents & (POLLOUT | POLLERR)) != 0 && forWrite) {
        events |= kEventWritable;
        ++count;
    }
    return count;
}
