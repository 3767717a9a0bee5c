#pragma once

// The LAN transport: four sockets on every local IPv4 interface (command 24216,
// search 24220, announcement 34226, upgrade listener TCP 24214), the socket table
// that picks the local socket on a device's subnet, the receive thread that hands
// every datagram to the protocol layer, the two send paths and the device search.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "app/worker.h"
#include "net/fd_attr_info.h"
#include "net/lan_interfaces.h"
#include "net/socket_layer.h"

// Text key of the operator's notice when Init fails (shown through strTranslate).
inline constexpr const char* kSocketInitFailText = "Socket init!";

// Which step made Init fail.
enum class EInitStep {
    CommandSocket,   // UDP 24216 could not be opened on the interface
    SearchSocket,    // UDP 24220 could not be opened on the interface
    AlreadyRunning,  // Init was called again before UnInit
    ReceiveThread,   // the system refused the receive thread
};

struct CInitFault {
    EInitStep m_eStep = EInitStep::CommandSocket;
    std::uint32_t m_uiAddr = 0;  // interface address, network byte order
    std::string m_strReason;     // what the system said, for the operator
    // The same step on the same interface, whatever the words.
    bool operator==(const CInitFault& other) const {
        return m_eStep == other.m_eStep && m_uiAddr == other.m_uiAddr;
    }
};

// One socket of the table, as seen from outside.
struct CSockTabInfo {
    SocketHandle m_iSocket = kInvalidSocket;
    std::uint32_t m_uiAddr = 0;       // interface address, network byte order
    std::uint32_t m_uiMask = 0;       // interface mask, network byte order
    std::uint32_t m_uiBroadcast = 0;  // subnet broadcast address, network byte order
    std::uint16_t m_usPort = 0;
    bool operator==(const CSockTabInfo&) const = default;
};

class CMySocket final : public IUdpSender {
  public:
    // Takes over a connection accepted on an upgrade listener. Runs on the receive
    // thread: it must hand the socket to a thread of its owner and return at once.
    using UpgradeAcceptHandler = std::function<void(CSocket connection, const CEndpoint& peer)>;

    // The search datagram: command header with code 1 and nothing else set.
    static constexpr std::array<std::uint8_t, 16> kSearchDatagram{0xA8, 0x01};
    // Receive buffer asked for on every UDP socket, so that the replies of a search
    // answered by a thousand devices at once are not dropped.
    static constexpr int kDefaultRecvBufferBytes = 4 * 1024 * 1024;
    // At most this many interfaces are opened.
    static constexpr std::size_t kMaxInterfaces = 6;
    // How long UnInit waits for the receive thread before saying so in a line.
    static constexpr int kStopWaitMs = 3000;

    CMySocket() = default;
    // Runs UnInit.
    ~CMySocket() override;
    CMySocket(const CMySocket&) = delete;
    CMySocket& operator=(const CMySocket&) = delete;

    // Opens the sockets on each interface (default: the machine's interface table,
    // at most six, loopback 127.0.0.1 left out; an explicit list is taken as given,
    // up to six) and starts the receive thread, which hands datagrams to receiver
    // until UnInit. false when a command or search socket cannot be opened (see
    // sInitFault; the thread is then not started and every socket opened so far is
    // closed again) or when already running.
    bool Init(ILanReceiver& receiver,
              std::optional<std::vector<CInterfaceAddr>> interfaces = std::nullopt);
    // Stops the receive thread (it notices within one one-second cycle; a handler
    // still running is waited for), forgets the receive set and closes every socket.
    // 0. Init may be called again afterwards; UnInit again does no harm. Never call
    // it from a handler (the receive thread cannot wait for itself).
    int UnInit();
    // Why the last Init failed; nullopt after a successful one.
    std::optional<CInitFault> sInitFault() const;

    // Replaces the taker of connections on the upgrade listeners; without one a
    // connection is accepted and closed at once. Thread-safe, takes effect for the next
    // connection.
    void vSetUpgradeAcceptHandler(UpgradeAcceptHandler handler);
    // How long one receive cycle waits (CFdAttrInfo::kWaitMs unless set). Thread-safe.
    void vSetRecvWaitMs(int waitMs) { m_fdAttrInfo.vSetWaitMs(waitMs); }
    // Receive buffer asked for on the UDP sockets of the next Init; 0 keeps the
    // system's default.
    void vSetRecvBufferBytes(int bytes);

    // Takes the socket into the table with its interface's address, mask, the derived
    // broadcast address and its local port, then registers it in the receive set with
    // the reader. An entry with the same handle is replaced. 0.
    int iAddRecvTab(CSocket socket, CFdAttrInfo::ReadCallback reader, std::uint32_t addrNet,
                    std::uint32_t maskNet, std::uint16_t port);
    // Closes every socket of the table and empties it. The receive thread must not
    // be running (UnInit stops it first). 0.
    int iReleaseRecvTab();

    // The local socket on addrNet's subnet: among the entries whose subnet holds the
    // address, the first command socket in ascending handle order, else the first
    // such entry. broadcastNet receives that entry's broadcast address when given.
    // -1 (and the "err sockfd info" line) when no interface is on that subnet.
    int iGetSockfd(std::uint32_t addrNet, std::uint32_t* broadcastNet = nullptr) const;
    // A copy of the table in ascending handle order.
    std::vector<CSockTabInfo> vecSockTab() const;

    int iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) override;
    bool fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                          std::span<const std::uint8_t> data, bool broadcast) override;
    void vSearchDev() override;

  private:
    struct CSockTabEntry {
        CSocket m_socket;
        std::uint32_t m_uiAddr = 0;
        std::uint32_t m_uiMask = 0;
        std::uint32_t m_uiBroadcast = 0;
        std::uint16_t m_usPort = 0;
    };
    enum class EDatagramKind { Reply, Announcement };

    void BroRecv(const std::stop_token& stop);
    // Opens the four sockets of one interface; false on a fatal failure (sInitFault set).
    bool fgOpenInterface(const CInterfaceAddr& iface);
    void vRaiseRecvBuffer(const CSocket& socket, std::uint16_t port) const;
    // The datagram reader (Reply) and the announcement reader (Announcement).
    int iReadDatagram(std::span<std::uint8_t> buffer, const CSocket& socket, EDatagramKind kind);
    int iReadUpgradeAccept(const CSocket& listener);
    // Needs m_tabLock held; nullptr (and the "err sockfd info" line) without a match.
    const CSockTabEntry* psFindSockEntry(std::uint32_t addrNet) const;

    ILanReceiver* m_pReceiver = nullptr;
    int m_iRecvBufferBytes = kDefaultRecvBufferBytes;
    std::optional<CInitFault> m_initFault;

    mutable std::mutex m_upgradeHandlerLock;
    UpgradeAcceptHandler m_upgradeHandler;

    mutable std::mutex m_tabLock;
    std::map<SocketHandle, CSockTabEntry> m_sockTab;

    // Declared after the table: the set points at sockets the table owns.
    CFdAttrInfo m_fdAttrInfo;
    // Written by UnInit so that the receive thread leaves its wait at once.
    CSocket m_wakeReader;
    CSocket m_wakeWriter;
    CWorker m_recvThread;
};
