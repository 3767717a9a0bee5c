#pragma once

#include <optional>
#include <vector>

#include "net/my_socket.h"
#include "protocol/station.h"

// The station core on a live network: the transport and the station wired together,
// and torn down in the right order (the receive thread is stopped before the station
// it calls into goes away). The GUI and the CLI each own one.
class CLanStation : private ILanReceiver {
  public:
    explicit CLanStation(IStationView& view);
    ~CLanStation() override;
    CLanStation(const CLanStation&) = delete;
    CLanStation& operator=(const CLanStation&) = delete;

    // Opens the sockets (on the given interfaces, or on every local interface) and
    // starts receiving. tap, when given, sees every datagram after the station has
    // handled it (on the receive thread; it must return at once). false as CMySocket::Init.
    bool fgStart(std::optional<std::vector<CInterfaceAddr>> interfaces,
                 ILanReceiver* tap = nullptr);
    void vStop();

    CStation& station() { return m_station; }
    CMySocket& transport() { return m_socket; }

  private:
    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override;
    void vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) override;

    CMySocket m_socket;
    CStation m_station;
    ILanReceiver* m_pTap = nullptr;
};
