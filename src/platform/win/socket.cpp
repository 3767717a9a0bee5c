// Winsock 2 behind the socket layer's interface. winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h.
#include <mswsock.h>

#include <algorithm>
#include <mutex>

#include "platform/socket.h"

namespace {

// Winsock is started once, before the first socket call, and left running until the
// process ends.
void vStartWinsock() {
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        (void)WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SOCKET iSystemHandle(const CSocket& socket) {
    return static_cast<SOCKET>(socket.iHandle());
}

ESockErr eFromWsa(int error) {
    switch (error) {
        case 0:
            return ESockErr::None;
        case WSAEWOULDBLOCK:
            return ESockErr::WouldBlock;
        case WSAEINPROGRESS:
            return ESockErr::InProgress;
        case WSAEINTR:
            return ESockErr::Interrupted;
        case WSAETIMEDOUT:
            return ESockErr::TimedOut;
        case WSAECONNREFUSED:
            return ESockErr::Refused;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAESHUTDOWN:
            return ESockErr::Reset;
        case WSAEADDRINUSE:
            return ESockErr::AddrInUse;
        case WSAEADDRNOTAVAIL:
            return ESockErr::AddrNotAvailable;
        case WSAEALREADY:
            return ESockErr::AlreadyConnecting;
        case WSAENOTCONN:
            return ESockErr::NotConnected;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            return ESockErr::Unreachable;
        case WSAEACCES:
            return ESockErr::Access;
        default:
            return ESockErr::Other;
    }
}

int iFailure() {
    return iSockErrRc(eFromWsa(WSAGetLastError()));
}

int iResult(int rc) {
    return rc == SOCKET_ERROR ? iFailure() : rc;
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
    return iResult(::setsockopt(iSystemHandle(socket), level, name,
                                reinterpret_cast<const char*>(&value), sizeof value));
}

int iSetMembership(const CSocket& socket, int option, std::uint32_t groupNet,
                   std::uint32_t interfaceNet) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = groupNet;
    request.imr_interface.s_addr = interfaceNet;
    return iResult(::setsockopt(iSystemHandle(socket), IPPROTO_IP, option,
                                reinterpret_cast<const char*>(&request), sizeof request));
}

CSocket sOpen(int type, int protocol) {
    vStartWinsock();
    // WSA_FLAG_NO_HANDLE_INHERIT: not inherited by programs this process starts.
    const SOCKET handle =
        ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (handle == INVALID_SOCKET) {
        return CSocket();
    }
    if (type == SOCK_DGRAM) {
        // Otherwise a datagram socket reports a "port unreachable" answer to an earlier
        // send as a failed receive, which would end a receive loop over nothing.
        BOOL report = FALSE;
        DWORD returned = 0;
        (void)::WSAIoctl(handle, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned,
                         nullptr, nullptr);
    }
    return CSocket(static_cast<SocketHandle>(handle));
}

int iLength(std::size_t bytes) {
    return static_cast<int>(std::min<std::size_t>(bytes, 0x7FFFFFFF));
}

}  // namespace

ESockErr eLastSockErr() {
    return eFromWsa(WSAGetLastError());
}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        vClose();
        m_handle = other.release();
    }
    return *this;
}

CSocket CSocket::Udp() {
    return sOpen(SOCK_DGRAM, IPPROTO_UDP);
}

CSocket CSocket::Tcp() {
    return sOpen(SOCK_STREAM, IPPROTO_TCP);
}

SocketHandle CSocket::release() {
    const SocketHandle handle = m_handle;
    m_handle = kInvalidSocket;
    return handle;
}

void CSocket::vClose() {
    if (fgValid()) {
        ::closesocket(static_cast<SOCKET>(m_handle));
        m_handle = kInvalidSocket;
    }
}

int iBind(const CSocket& socket, const CEndpoint& local) {
    const sockaddr_in address = sToSockaddr(local);
    return iResult(
        ::bind(iSystemHandle(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int iSetBroadcast(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_BROADCAST, enabled ? 1 : 0);
}

int iSetReuseAddr(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, enabled ? 1 : 0);
}

int iSetNonBlocking(const CSocket& socket, bool enabled) {
    u_long mode = enabled ? 1 : 0;
    return iResult(::ioctlsocket(iSystemHandle(socket), static_cast<long>(FIONBIO), &mode));
}

int iListen(const CSocket& socket, int backlog) {
    return iResult(::listen(iSystemHandle(socket), backlog));
}

int iJoinMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_ADD_MEMBERSHIP, groupNet, interfaceNet);
}

int iLeaveMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_DROP_MEMBERSHIP, groupNet, interfaceNet);
}

int iBindMulticastReceiver(const CSocket& socket, std::uint32_t /*groupNet*/, std::uint16_t port) {
    // A group address cannot be bound here; the system hands a socket only the
    // datagrams of the memberships it joined, so the wildcard address is enough.
    (void)iSetReuseAddr(socket, true);
    return iBind(socket, CEndpoint{0, port});
}

int iRaiseReceiveBuffer(const CSocket& socket, int bytes) {
    const int rc = iSetIntOption(socket, SOL_SOCKET, SO_RCVBUF, bytes);
    if (rc != 0) {
        return rc;
    }
    int granted = 0;
    int length = sizeof granted;
    if (::getsockopt(iSystemHandle(socket), SOL_SOCKET, SO_RCVBUF,
                     reinterpret_cast<char*>(&granted), &length) != 0) {
        return iFailure();
    }
    return granted;
}

CEndpoint sLocalEndpoint(const CSocket& socket) {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(iSystemHandle(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return sFromSockaddr(address);
}

int iSendTo(const CSocket& socket, std::span<const std::uint8_t> data, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    return iResult(::sendto(iSystemHandle(socket), reinterpret_cast<const char*>(data.data()),
                            iLength(data.size()), 0, reinterpret_cast<const sockaddr*>(&address),
                            sizeof address));
}

int iRecvFrom(const CSocket& socket, std::span<std::uint8_t> buffer, CEndpoint& from) {
    sockaddr_in address{};
    int length = sizeof address;
    const int got =
        ::recvfrom(iSystemHandle(socket), reinterpret_cast<char*>(buffer.data()),
                   iLength(buffer.size()), 0, reinterpret_cast<sockaddr*>(&address), &length);
    if (got == SOCKET_ERROR) {
        // An oversized datagram fills the buffer and is reported, not counted: say it
        // was longer than the buffer, as the contract asks (its real length is lost).
        if (WSAGetLastError() != WSAEMSGSIZE) {
            return iFailure();
        }
        from = sFromSockaddr(address);
        return iLength(buffer.size()) + 1;
    }
    from = sFromSockaddr(address);
    return got;
}

int iSend(const CSocket& socket, std::span<const std::uint8_t> data) {
    return iResult(::send(iSystemHandle(socket), reinterpret_cast<const char*>(data.data()),
                          iLength(data.size()), 0));
}

int iRecv(const CSocket& socket, std::span<std::uint8_t> buffer) {
    return iResult(::recv(iSystemHandle(socket), reinterpret_cast<char*>(buffer.data()),
                          iLength(buffer.size()), 0));
}

int iConnect(const CSocket& socket, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    if (::connect(iSystemHandle(socket), reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == 0) {
        return 0;
    }
    // A non-blocking connect under way reports "would block" here.
    const int error = WSAGetLastError();
    return iSockErrRc(error == WSAEWOULDBLOCK ? ESockErr::InProgress : eFromWsa(error));
}

CSocket sAccept(const CSocket& listener, CEndpoint* peer) {
    sockaddr_in address{};
    int length = sizeof address;
    const SOCKET handle =
        ::accept(iSystemHandle(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (handle == INVALID_SOCKET) {
        return CSocket();
    }
    CSocket accepted(static_cast<SocketHandle>(handle));
    // An accepted socket inherits the listener's non-blocking mode; callers expect the
    // blocking one, as on POSIX.
    (void)iSetNonBlocking(accepted, false);
    (void)::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    if (peer != nullptr) {
        *peer = sFromSockaddr(address);
    }
    return accepted;
}

bool fgMakeWakePair(CSocket& reader, CSocket& writer) {
    // No local socket pairs here: two loopback datagram sockets connected to each other.
    CSocket in = CSocket::Udp();
    CSocket out = CSocket::Udp();
    const CEndpoint loopback{iIpv4Net(127, 0, 0, 1), 0};
    if (!in.fgValid() || !out.fgValid() || iBind(in, loopback) != 0 || iBind(out, loopback) != 0 ||
        iConnect(in, sLocalEndpoint(out)) != 0 || iConnect(out, sLocalEndpoint(in)) != 0 ||
        iSetNonBlocking(in, true) != 0 || iSetNonBlocking(out, true) != 0) {
        return false;
    }
    reader = std::move(in);
    writer = std::move(out);
    return true;
}

int iShutdown(const CSocket& socket) {
    return iResult(::shutdown(iSystemHandle(socket), SD_BOTH));
}

ESockErr eSocketError(const CSocket& socket) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(iSystemHandle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &length) != 0) {
        return eLastSockErr();
    }
    return eFromWsa(error);
}

int iWaitReadable(std::span<const SocketHandle> handles, int timeoutMs,
                  std::vector<SocketHandle>& ready) {
    ready.clear();
    std::vector<WSAPOLLFD> polled(handles.size());
    for (std::size_t i = 0; i < handles.size(); ++i) {
        polled[i] = WSAPOLLFD{static_cast<SOCKET>(handles[i]), POLLRDNORM, 0};
    }
    if (polled.empty()) {
        // WSAPoll refuses an empty set; a wait on nothing is a plain pause.
        ::Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
        return 0;
    }
    const int rc = ::WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeoutMs);
    if (rc == SOCKET_ERROR) {
        return iFailure();
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if ((polled[i].revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0) {
            ready.push_back(handles[i]);
        }
    }
    return rc;
}

int iWaitOne(const CSocket& socket, bool forRead, bool forWrite, int timeoutMs, int& events) {
    events = 0;
    // select, not WSAPoll: only select reports a failed connect (in the exception set).
    fd_set readSet;
    fd_set writeSet;
    fd_set failSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&failSet);
    const SOCKET handle = iSystemHandle(socket);
    if (forRead) {
        FD_SET(handle, &readSet);
    }
    if (forWrite) {
        FD_SET(handle, &writeSet);
        FD_SET(handle, &failSet);
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int rc = ::select(0, &readSet, &writeSet, &failSet, timeoutMs < 0 ? nullptr : &timeout);
    if (rc <= 0) {
        return rc < 0 ? iFailure() : 0;
    }
    int count = 0;
    if (forRead && FD_ISSET(handle, &readSet) != 0) {
        events |= kEventReadable;
        ++count;
    }
    if (forWrite && (FD_ISSET(handle, &writeSet) != 0 || FD_ISSET(handle, &failSet) != 0)) {
        events |= kEventWritable;
        ++count;
    }
    return count;
}
