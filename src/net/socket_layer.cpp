#include "net/socket_layer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace {

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

int iResult(int rc) {
    return rc < 0 ? -errno : rc;
}

int iSetIntOption(const CSocket& socket, int level, int name, int value) {
    return iResult(::setsockopt(socket.iHandle(), level, name, &value, sizeof value));
}

}  // namespace

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        vClose();
        m_handle = other.release();
    }
    return *this;
}

CSocket CSocket::Udp() {
    return CSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
}

CSocket CSocket::Tcp() {
    return CSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

SocketHandle CSocket::release() {
    const SocketHandle handle = m_handle;
    m_handle = kInvalidSocket;
    return handle;
}

void CSocket::vClose() {
    if (m_handle >= 0) {
        ::close(m_handle);
        m_handle = kInvalidSocket;
    }
}

std::string strIpText(std::uint32_t addrNet) {
    in_addr address{};
    address.s_addr = addrNet;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

bool fgParseIp(const std::string& text, std::uint32_t& addrNet) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1) {
        return false;
    }
    addrNet = address.s_addr;
    return true;
}

int iBind(const CSocket& socket, const CEndpoint& local) {
    const sockaddr_in address = sToSockaddr(local);
    return iResult(
        ::bind(socket.iHandle(), reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int iSetBroadcast(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_BROADCAST, enabled ? 1 : 0);
}

int iSetReuseAddr(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, SOL_SOCKET, SO_REUSEADDR, enabled ? 1 : 0);
}

int iSetNonBlocking(const CSocket& socket, bool enabled) {
    const int flags = ::fcntl(socket.iHandle(), F_GETFL, 0);
    if (flags < 0) {
        return -errno;
    }
    const int wanted = enabled ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return iResult(::fcntl(socket.iHandle(), F_SETFL, wanted));
}

int iListen(const CSocket& socket, int backlog) {
    return iResult(::listen(socket.iHandle(), backlog));
}

namespace {
int iSetMembership(const CSocket& socket, int option, std::uint32_t groupNet,
                   std::uint32_t interfaceNet) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = groupNet;
    request.imr_interface.s_addr = interfaceNet;
    return iResult(::setsockopt(socket.iHandle(), IPPROTO_IP, option, &request, sizeof request));
}
}  // namespace

int iJoinMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_ADD_MEMBERSHIP, groupNet, interfaceNet);
}

int iLeaveMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet) {
    return iSetMembership(socket, IP_DROP_MEMBERSHIP, groupNet, interfaceNet);
}

int iSetMulticastAll(const CSocket& socket, bool enabled) {
    return iSetIntOption(socket, IPPROTO_IP, IP_MULTICAST_ALL, enabled ? 1 : 0);
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
    if (::getsockopt(socket.iHandle(), SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) {
        return -errno;
    }
    return granted;
}

CEndpoint sLocalEndpoint(const CSocket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.iHandle(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    return sFromSockaddr(address);
}

int iSendTo(const CSocket& socket, std::span<const std::uint8_t> data, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    const ssize_t sent = ::sendto(socket.iHandle(), data.data(), data.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent < 0 ? -errno : static_cast<int>(sent);
}

int iRecvFrom(const CSocket& socket, std::span<std::uint8_t> buffer, CEndpoint& from) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // MSG_TRUNC makes the call report the datagram's real length, so an oversized
    // datagram can be told from one that filled the buffer exactly.
    const ssize_t got = ::recvfrom(socket.iHandle(), buffer.data(), buffer.size(), MSG_TRUNC,
                                   reinterpret_cast<sockaddr*>(&address), &length);
    if (got < 0) {
        return -errno;
    }
    from = sFromSockaddr(address);
    return static_cast<int>(got);
}

int iSend(const CSocket& socket, std::span<const std::uint8_t> data) {
    const ssize_t sent = ::send(socket.iHandle(), data.data(), data.size(), MSG_NOSIGNAL);
    return sent < 0 ? -errno : static_cast<int>(sent);
}

int iRecv(const CSocket& socket, std::span<std::uint8_t> buffer) {
    const ssize_t got = ::recv(socket.iHandle(), buffer.data(), buffer.size(), 0);
    return got < 0 ? -errno : static_cast<int>(got);
}

int iConnect(const CSocket& socket, const CEndpoint& target) {
    const sockaddr_in address = sToSockaddr(target);
    return iResult(
        ::connect(socket.iHandle(), reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

CSocket sAccept(const CSocket& listener, CEndpoint* peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CSocket accepted(::accept4(listener.iHandle(), reinterpret_cast<sockaddr*>(&address), &length,
                               SOCK_CLOEXEC));
    if (accepted.fgValid() && peer != nullptr) {
        *peer = sFromSockaddr(address);
    }
    return accepted;
}

bool fgMakeWakePair(CSocket& reader, CSocket& writer) {
    int pair[2] = {kInvalidSocket, kInvalidSocket};
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        return false;
    }
    reader = CSocket(pair[0]);
    writer = CSocket(pair[1]);
    return true;
}

int iShutdown(const CSocket& socket) {
    return ::shutdown(socket.iHandle(), SHUT_RDWR) == 0 ? 0 : -errno;
}

int iSocketError(const CSocket& socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.iHandle(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
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
        polled[i] = pollfd{handles[i], POLLIN, 0};
    }
    const int rc = ::poll(polled.data(), polled.size(), timeoutMs);
    if (rc < 0) {
        return -errno;
    }
    for (const pollfd& entry : polled) {
        if ((entry.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            ready.push_back(entry.fd);
        }
    }
    return rc;
}

int iWaitOne(const CSocket& socket, bool forRead, bool forWrite, int timeoutMs, int& events) {
    events = 0;
    pollfd entry{socket.iHandle(), 0, 0};
    if (forRead) {
        entry.events |= POLLIN;
    }
    if (forWrite) {
        entry.events |= POLLOUT;
    }
    const int rc = ::poll(&entry, 1, timeoutMs);
    if (rc <= 0) {
        return rc < 0 ? -errno : 0;
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
