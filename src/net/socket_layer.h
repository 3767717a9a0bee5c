#pragma once

// The only place that touches raw socket calls. POSIX here; the same interface is
// kept over Winsock on Windows. Addresses and ports are in host byte order unless a
// name says otherwise; IPv4 only.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// An open socket, closed by its owner. Move-only.
class CSocket {
  public:
    CSocket() = default;
    explicit CSocket(SocketHandle handle) : m_handle(handle) {}
    ~CSocket() { vClose(); }
    CSocket(CSocket&& other) noexcept : m_handle(other.release()) {}
    CSocket& operator=(CSocket&& other) noexcept;
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    static CSocket Udp();
    static CSocket Tcp();

    SocketHandle iHandle() const { return m_handle; }
    bool fgValid() const { return m_handle >= 0; }
    // Gives up ownership without closing.
    SocketHandle release();
    void vClose();

  private:
    SocketHandle m_handle = kInvalidSocket;
};

// An IPv4 endpoint; address in network byte order (as the device records keep it).
struct CEndpoint {
    std::uint32_t m_uiAddr = 0;  // network byte order
    std::uint16_t m_usPort = 0;  // host byte order
    bool operator==(const CEndpoint&) const = default;
};

// Byte-order conversion of a 32-bit address or mask (the same swap both ways).
constexpr std::uint32_t iNetFromHost(std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::big) {
        return value;
    }
    return ((value & 0xFFU) << 24) | ((value & 0xFF00U) << 8) | ((value >> 8) & 0xFF00U) |
           (value >> 24);
}
constexpr std::uint32_t iHostFromNet(std::uint32_t value) {
    return iNetFromHost(value);
}

// The address a.b.c.d in network byte order.
constexpr std::uint32_t iIpv4Net(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return iNetFromHost((std::uint32_t{a} << 24) | (std::uint32_t{b} << 16) |
                        (std::uint32_t{c} << 8) | std::uint32_t{d});
}

// Dotted text of an address in network byte order.
std::string strIpText(std::uint32_t addrNet);
// Parses dotted text; false when it is not an IPv4 address.
bool fgParseIp(const std::string& text, std::uint32_t& addrNet);

// Each returns 0 on success, or the negative system error number.
int iBind(const CSocket& socket, const CEndpoint& local);
int iSetBroadcast(const CSocket& socket, bool enabled);
int iSetReuseAddr(const CSocket& socket, bool enabled);
int iSetNonBlocking(const CSocket& socket, bool enabled);
int iListen(const CSocket& socket, int backlog);
int iJoinMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet);
int iLeaveMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet);
// With enabled false the socket receives multicast only for the (group, interface)
// memberships it joined itself, not for every group some socket of the host joined.
int iSetMulticastAll(const CSocket& socket, bool enabled);

// Asks for a receive buffer of `bytes` (forcing past the system limit when permitted)
// and returns the size the system granted, or a negative error number.
int iRaiseReceiveBuffer(const CSocket& socket, int bytes);

// Local endpoint the socket is bound to.
CEndpoint sLocalEndpoint(const CSocket& socket);

// Sends one datagram; the bytes sent or the negative error number.
int iSendTo(const CSocket& socket, std::span<const std::uint8_t> data, const CEndpoint& target);

// Receives one datagram into buffer. Returns its full length, which is larger than
// buffer.size() when the datagram did not fit (its tail is then lost); or the
// negative error number. from receives the sender.
int iRecvFrom(const CSocket& socket, std::span<std::uint8_t> buffer, CEndpoint& from);

// Stream I/O: bytes moved or the negative error number; 0 from iRecv is the peer's close.
int iSend(const CSocket& socket, std::span<const std::uint8_t> data);
int iRecv(const CSocket& socket, std::span<std::uint8_t> buffer);

// Starts a connect; 0 when connected at once, -EINPROGRESS when under way on a
// non-blocking socket, else the negative error number.
int iConnect(const CSocket& socket, const CEndpoint& target);
// Accepts a connection; the new socket is invalid on failure.
CSocket sAccept(const CSocket& listener, CEndpoint* peer);
// Ends both directions of a connected stream socket without closing it: a thread
// waiting on it wakes and reads 0. 0 or the negative error number.
int iShutdown(const CSocket& socket);
// Pending error of a socket (SO_ERROR) as a positive number, 0 when none.
int iSocketError(const CSocket& socket);

// A connected pair of local datagram sockets, used to wake a thread that waits for
// readability. false when the system refuses.
bool fgMakeWakePair(CSocket& reader, CSocket& writer);

// Waits up to timeoutMs for readability of the handles; fills ready with those that
// are readable. Returns the number ready, 0 on time-out, or the negative error number.
// Allocates nothing for up to kWaitReadableMax handles once ready has the capacity.
inline constexpr std::size_t kWaitReadableMax = 64;
int iWaitReadable(std::span<const SocketHandle> handles, int timeoutMs,
                  std::vector<SocketHandle>& ready);

// Waits up to timeoutMs for one socket; bit 1 readable, bit 2 writable. Returns the
// number of events (0 on time-out) or the negative error number.
int iWaitOne(const CSocket& socket, bool forRead, bool forWrite, int timeoutMs, int& events);
inline constexpr int kEventReadable = 1;
inline constexpr int kEventWritable = 2;
