#pragma once

// The only place that touches raw socket calls, over BSD sockets (posix/socket.cpp) or
// Winsock (win/socket.cpp) behind one interface. Addresses and ports are in host byte
// order unless a name says otherwise; IPv4 only.
//
// Failures come back as negative results whose meaning is one portable ESockErr:
// callers test them with eSockErr(rc) or fgSockRetry(rc), never with system numbers
// (EAGAIN and EWOULDBLOCK differ on some systems, Winsock has numbers of its own).

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A system socket handle, opaque outside src/platform: a descriptor on POSIX, a SOCKET
// on Windows. Handles compare and order, so they may key maps.
enum class SocketHandle : std::uintptr_t {};
inline constexpr SocketHandle kInvalidSocket = static_cast<SocketHandle>(~std::uintptr_t{0});

// Why a socket call failed, alike on every system.
enum class ESockErr : int {
    None = 0,
    WouldBlock = 1,         // nothing to read, no room to send: try when ready
    InProgress = 2,         // a non-blocking connect is under way
    Interrupted = 3,        // a signal interrupted the call: try again
    TimedOut = 4,           // the peer did not answer in time
    Refused = 5,            // nobody listens there
    Reset = 6,              // the peer ended the connection
    AddrInUse = 7,          // the local address is taken
    AddrNotAvailable = 8,   // the local address is no interface's
    AlreadyConnecting = 9,  // a connect was started before
    NotConnected = 10,      // the call needs a connection
    Unreachable = 11,       // no route to the network or host
    Access = 12,            // refused by permission (a broadcast without the option)
    Other = 13,             // anything else
};

// The error a negative result stands for; None for a result >= 0.
ESockErr eSockErr(int rc);
// The negative result that stands for error.
constexpr int iSockErrRc(ESockErr error) {
    return -static_cast<int>(error);
}
// True for a negative result worth repeating as it was: WouldBlock or Interrupted.
bool fgSockRetry(int rc);
// A short English name for diagnostic lines ("would block", "refused", ...).
const char* pszSockErrText(ESockErr error);
// The error of the last failed call of this thread that returned no result of its own
// (opening or accepting a socket).
ESockErr eLastSockErr();

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

    // Not inherited by programs this process starts.
    static CSocket Udp();
    static CSocket Tcp();

    SocketHandle iHandle() const { return m_handle; }
    bool fgValid() const { return m_handle != kInvalidSocket; }
    // The handle as a number for diagnostic lines only; -1 when invalid.
    long long iLogId() const { return fgValid() ? static_cast<long long>(m_handle) : -1; }
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
// Parses dotted-quad text (four decimal parts of 0-255, nothing else); false when it
// is not one.
bool fgParseIp(const std::string& text, std::uint32_t& addrNet);

// Each returns 0 on success, or a negative ESockErr result.
int iBind(const CSocket& socket, const CEndpoint& local);
int iSetBroadcast(const CSocket& socket, bool enabled);
int iSetReuseAddr(const CSocket& socket, bool enabled);
int iSetNonBlocking(const CSocket& socket, bool enabled);
int iListen(const CSocket& socket, int backlog);
int iJoinMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet);
int iLeaveMulticast(const CSocket& socket, std::uint32_t groupNet, std::uint32_t interfaceNet);

// Binds a socket that is to receive the datagrams of multicast group groupNet on port,
// and only those of the (group, interface) memberships it joins itself (then with
// iJoinMulticast), not those of every group some socket of the host joined. Several
// such sockets may share the port (the reuse option is set here). POSIX binds the
// group address and turns off IP_MULTICAST_ALL; Windows, which cannot bind a group
// address and filters by membership itself, binds the wildcard address.
int iBindMulticastReceiver(const CSocket& socket, std::uint32_t groupNet, std::uint16_t port);

// Asks for a receive buffer of `bytes` (forcing past the system limit when permitted)
// and returns the size the system granted, or a negative result.
int iRaiseReceiveBuffer(const CSocket& socket, int bytes);

// Local endpoint the socket is bound to.
CEndpoint sLocalEndpoint(const CSocket& socket);

// Sends one datagram; the bytes sent or a negative result.
int iSendTo(const CSocket& socket, std::span<const std::uint8_t> data, const CEndpoint& target);

// Receives one datagram into buffer. Returns its length; a result larger than
// buffer.size() means the datagram did not fit (its tail is then lost); or a negative
// result. from receives the sender.
int iRecvFrom(const CSocket& socket, std::span<std::uint8_t> buffer, CEndpoint& from);

// Stream I/O: bytes moved or a negative result; 0 from iRecv is the peer's close. A
// send to a closed peer fails with Reset and raises no signal.
int iSend(const CSocket& socket, std::span<const std::uint8_t> data);
int iRecv(const CSocket& socket, std::span<std::uint8_t> buffer);

// Starts a connect; 0 when connected at once, InProgress when under way on a
// non-blocking socket, else another negative result.
int iConnect(const CSocket& socket, const CEndpoint& target);
// Accepts a connection; the new socket is invalid on failure (eLastSockErr tells).
CSocket sAccept(const CSocket& listener, CEndpoint* peer);
// Ends both directions of a connected stream socket without closing it: a thread
// waiting on it wakes and reads 0. 0 or a negative result.
int iShutdown(const CSocket& socket);
// Pending error of a socket (a failed non-blocking connect), None when none.
ESockErr eSocketError(const CSocket& socket);

// A connected pair of local non-blocking datagram sockets, used to wake a thread that
// waits for readability. false when the system refuses.
bool fgMakeWakePair(CSocket& reader, CSocket& writer);

// Waits up to timeoutMs for readability of the handles; fills ready with those that
// are readable. Returns the number ready, 0 on time-out, or a negative result.
// Allocates nothing for up to kWaitReadableMax handles once ready has the capacity.
inline constexpr std::size_t kWaitReadableMax = 64;
int iWaitReadable(std::span<const SocketHandle> handles, int timeoutMs,
                  std::vector<SocketHandle>& ready);

// Waits up to timeoutMs for one socket; bit 1 readable, bit 2 writable. Returns the
// number of events (0 on time-out) or a negative result. A connect that failed shows
// as writable; eSocketError then tells why.
int iWaitOne(const CSocket& socket, bool forRead, bool forWrite, int timeoutMs, int& events);
inline constexpr int kEventReadable = 1;
inline constexpr int kEventWritable = 2;
