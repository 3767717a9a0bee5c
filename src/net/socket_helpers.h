#pragma once

// Socket helpers shared by the transport, the upgrade transfer and the stream client.
// Each creator returns the new socket (RAII) or the reason it could not be made, and
// never closes a socket it did not create. Addresses are IPv4 in network byte order.
// Nothing here writes to standard output.

#include <cstdint>
#include <span>

#include "app/result.h"
#include "net/lan_interfaces.h"
#include "net/socket_layer.h"

// UDP socket bound to addrNet:24220 with broadcast sending switched on, or why it could
// not be created or bound. A failing broadcast option only writes a line; the socket is
// still returned.
CResult<CSocket> sCreateBroadcastSocketWithBindPortAddr(std::uint32_t addrNet);

// UDP socket bound to addrNet:port, or why not ("UDP 10.0.0.2:24216: Address already in
// use").
CResult<CSocket> sCreateUdpSocketWithBindPortAddr(std::uint16_t port, std::uint32_t addrNet);

// TCP socket bound to addrNet:24214, listening with a backlog of 60, or why it could not
// be created, bound or switched to listening.
CResult<CSocket> sCreateTcpListenSocket(std::uint32_t addrNet);

// Joins groupNet on the interface interfaceNet (0: the one the system picks), after
// dropping any earlier membership. 0; -1 invalid socket; -2 groupNet is outside
// 224.0.1.0-239.255.255.255; -3 the system refused the membership.
int iAddMulticastGroup(const CSocket& socket, std::uint32_t interfaceNet = 0,
                       std::uint32_t groupNet = kAnnounceGroupNet);

// Result of iSocketTcpConnect2 when a connect was already under way on the socket.
inline constexpr int kConnectAlready = -10037;
// How long iSocketTcpConnect2 waits for the connection.
inline constexpr int kConnectWaitMs = 500;

// Connects the TCP socket to addrNet:port within kConnectWaitMs. 0 connected (the
// socket is blocking again); -1 refused or failed; -2 no answer in time;
// kConnectAlready when a connect was still under way. On failure the socket stays
// open and non-blocking; the caller closes it.
int iSocketTcpConnect2(const CSocket& socket, std::uint32_t addrNet,
                       std::uint16_t port = kPortStream);

// How long the two waits below wait.
inline constexpr int kSelectWaitMs = 1000;

// Waits up to a second for the socket to be readable, then receives once into
// buffer. -1 invalid socket; 0 time-out; the negative error of a failed wait; else
// the receive's result (bytes, 0 for the peer's close, or a negative error).
int iSELECT_Read(std::span<std::uint8_t> buffer, const CSocket& socket);

// Waits up to a second for a connection on listener and accepts it into accepted
// (peer filled when given). 1 accepted; 0 time-out; -1 invalid listener or failed
// accept; the negative error of a failed wait.
int iSELECT_Accept(CSocket& accepted, const CSocket& listener, CEndpoint* peer = nullptr);
