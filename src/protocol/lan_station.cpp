#include "protocol/lan_station.h"

CLanStation::CLanStation(IStationView& view) : m_station(m_socket, view) {}

CLanStation::~CLanStation() {
    vStop();
}

bool CLanStation::fgStart(std::optional<std::vector<CInterfaceAddr>> interfaces,
                          ILanReceiver* tap) {
    m_pTap = tap;
    return m_socket.Init(*this, std::move(interfaces));
}

void CLanStation::vStop() {
    m_socket.UnInit();
}

void CLanStation::vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) {
    m_station.vOnDatagram(data, from);
    if (m_pTap != nullptr) {
        m_pTap->vOnDatagram(data, from);
    }
}

void CLanStation::vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) {
    m_station.vOnAnnouncement(data, from);
    if (m_pTap != nullptr) {
        m_pTap->vOnAnnouncement(data, from);
    }
}
