#pragma once

// The receive set: the sockets the transport's receive thread waits on, each with
// the callbacks that serve it, and the one receive buffer lent to those callbacks.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "net/socket_layer.h"

class CFdAttrInfo {
  public:
    // Called first when the socket is readable. A negative result is only logged.
    using AcceptCallback = std::function<int(const CSocket& socket)>;
    // Reads what is ready on the socket. buffer is the set's receive buffer
    // (kRecvBufferBytes), valid only during the call. A negative result is only logged.
    using ReadCallback = std::function<int(std::span<std::uint8_t> buffer, const CSocket& socket)>;

    static constexpr std::size_t kRecvBufferBytes = 3072;
    // How long one cycle waits for a readable socket, unless vSetWaitMs says otherwise.
    static constexpr int kWaitMs = 1000;
    // At most this many distinct sockets are waited on; later members are not.
    static constexpr std::size_t kMaxWaited = kWaitReadableMax;

    CFdAttrInfo() = default;
    CFdAttrInfo(const CFdAttrInfo&) = delete;
    CFdAttrInfo& operator=(const CFdAttrInfo&) = delete;

    // Appends a member. socket must stay open until vClear; either callback may be
    // empty. Thread-safe.
    void vAdd(const CSocket& socket, AcceptCallback onAccept, ReadCallback onRead);
    // Forgets every member. Call only while no thread runs iRead.
    void vClear();
    std::size_t iMemberCount() const;
    // The wait of the next cycles (tests stretch it to show that a wake-up, not the
    // time-out, ends a wait). Thread-safe.
    void vSetWaitMs(int waitMs) { m_iWaitMs = waitMs; }
    int iWaitMs() const { return m_iWaitMs; }

    // One receive cycle: waits up to the wait time for the first kMaxWaited distinct
    // sockets and serves every member whose socket is ready, in registration order,
    // without holding the set's lock while a callback runs. Returns the number of ready
    // sockets (0 on time-out), -1 when the set is empty, or the negative error of a
    // failed wait. Called by one thread at a time (the receive thread).
    int iRead();

  private:
    struct CMember {
        const CSocket* m_pSocket;
        AcceptCallback m_onAccept;
        ReadCallback m_onRead;
    };

    mutable std::mutex m_lock;
    // A deque: members keep their place while others are added.
    std::deque<CMember> m_members;
    std::atomic<int> m_iWaitMs{kWaitMs};
    // Used only by the thread running iRead; kept between cycles so that serving a
    // datagram allocates nothing.
    std::vector<SocketHandle> m_waited;
    std::vector<SocketHandle> m_ready;
    std::vector<const CMember*> m_serve;
    std::array<std::uint8_t, kRecvBufferBytes> m_buffer{};
};
