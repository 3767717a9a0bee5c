#pragma once

// Test helpers for the simulator: the station's side of the wire, made of plain
// sockets and hand-written bytes, and a way to run the test thread inside a network
// namespace so that the fixed ports never collide with other tests.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "net/socket_layer.h"
#include "support/netns.h"

using CBytes = std::vector<std::uint8_t>;

// Puts the calling thread into the namespace and back on destruction. Threads the
// caller starts meanwhile (the fleet's receive thread) live in the namespace too.
class CNetnsScope {
  public:
    explicit CNetnsScope(const CNetns& ns);
    ~CNetnsScope();
    CNetnsScope(const CNetnsScope&) = delete;
    CNetnsScope& operator=(const CNetnsScope&) = delete;
    bool fgEntered() const { return m_fgEntered; }

  private:
    int m_iHomeFd = -1;
    bool m_fgEntered = false;
};

// One datagram as the station received it.
struct CReceived {
    CBytes m_data;
    CEndpoint m_from;
};

// The station: a command socket on address:24216 and a search socket on
// address:24220, both allowed to broadcast.
class CStationProbe {
  public:
    explicit CStationProbe(const std::string& address = "127.0.0.1",
                           const std::string& broadcast = "127.255.255.255");
    bool fgReady() const { return m_command.fgValid() && m_search.fgValid(); }

    // Broadcasts A8 01 and 14 zero bytes to the broadcast address, port 24218, from the
    // search socket.
    void vSearch() const;
    // Sends data from the command socket.
    void vSend(std::span<const std::uint8_t> data, const CEndpoint& target) const;
    // Collects datagrams on the command (or search) socket until `expected` arrived or
    // nothing came for quietMs.
    std::vector<CReceived> vecCollect(std::size_t expected, int quietMs,
                                      bool onSearch = false) const;

  private:
    CSocket m_command;
    CSocket m_search;
    std::uint32_t m_uiBroadcast = 0;
};

// Address helpers for readable tests.
std::uint32_t iAddr(const std::string& text);
CEndpoint sDevice(const std::string& text, std::uint16_t port = 24216);

// A request: header bytes A8, code, then the given header fields, payload zero-filled
// to `total` bytes.
CBytes sRequest(std::uint8_t code, std::size_t total, std::uint8_t param = 0);
void vPutText(CBytes& data, std::size_t offset, const std::string& text);
void vPutLe32(CBytes& data, std::size_t offset, std::uint32_t value);
std::uint32_t iLe32(const CBytes& data, std::size_t offset);
std::uint16_t iLe16(const CBytes& data, std::size_t offset);
// Text of a fixed-width field up to its first NUL.
std::string strField(const CBytes& data, std::size_t offset, std::size_t width);
