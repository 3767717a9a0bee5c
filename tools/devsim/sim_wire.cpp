#include "devsim/sim_wire.h"

#include <algorithm>
#include <cstring>

namespace devsim {

namespace {

constexpr std::size_t kTruncatedBytes = 8;
// How far a lying length or count reaches past what the datagram holds.
constexpr std::size_t kLieExtraBytes = 512;
constexpr std::size_t kLieExtraEntries = 50;

void vPutMac(CBytes& data, std::size_t offset, const CMac& mac) {
    std::copy(mac.begin(), mac.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::uint16_t iClamp16(std::size_t value) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(value, 0xFFFF));
}

CBytes sTextReply(std::uint8_t type, std::string_view text) {
    CHeader header;
    header.m_ucCode = type;
    header.m_usPayloadLen = iClamp16(text.size());
    CBytes reply = sMakeDatagram(header, text.size() + 1);
    vPutText(reply, kHeaderBytes, text.size(), text);
    return reply;
}

void vPutSensorName(CBytes& data, std::size_t offset, const CSensorRecord& sensor) {
    vPutText(data, offset, 32, sensor.m_strName);
}

}  // namespace

std::uint16_t iGetU16(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset > data.size() || data.size() - offset < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

std::uint32_t iGetU32(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset > data.size() || data.size() - offset < 4) {
        return 0;
    }
    return static_cast<std::uint32_t>(data[offset]) |
           (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

std::string strGetText(std::span<const std::uint8_t> data, std::size_t offset, std::size_t width) {
    if (offset >= data.size()) {
        return {};
    }
    const std::size_t available = std::min(width, data.size() - offset);
    const auto first = data.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto last = std::find(first, first + static_cast<std::ptrdiff_t>(available), 0);
    return std::string(first, last);
}

void vPutU16(CBytes& data, std::size_t offset, std::uint16_t value) {
    if (offset > data.size() || data.size() - offset < 2) {
        return;
    }
    data[offset] = static_cast<std::uint8_t>(value & 0xFF);
    data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void vPutU32(CBytes& data, std::size_t offset, std::uint32_t value) {
    if (offset > data.size() || data.size() - offset < 4) {
        return;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

void vPutText(CBytes& data, std::size_t offset, std::size_t width, std::string_view text) {
    if (offset >= data.size()) {
        return;
    }
    const std::size_t count = std::min({width, text.size(), data.size() - offset});
    std::copy_n(text.begin(), count, data.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::optional<CHeader> sParseHeader(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderBytes) {
        return std::nullopt;
    }
    CHeader header;
    header.m_ucStart = data[0];
    header.m_ucCode = data[kOffCode];
    header.m_usPayloadLen = iGetU16(data, kOffPayloadLen);
    header.m_uiWordA = iGetU32(data, kOffWordA);
    header.m_uiWordB = iGetU32(data, kOffWordB);
    header.m_ucParam = data[kOffParam];
    std::copy_n(data.begin() + kOffExtra, 3, header.m_extra.begin());
    return header;
}

CBytes sMakeDatagram(const CHeader& header, std::size_t payloadBytes) {
    CBytes data(kHeaderBytes + payloadBytes, 0);
    data[0] = header.m_ucStart;
    data[kOffCode] = header.m_ucCode;
    vPutU16(data, kOffPayloadLen, header.m_usPayloadLen);
    vPutU32(data, kOffWordA, header.m_uiWordA);
    vPutU32(data, kOffWordB, header.m_uiWordB);
    data[kOffParam] = header.m_ucParam;
    std::copy(header.m_extra.begin(), header.m_extra.end(), data.begin() + kOffExtra);
    return data;
}

CBytes sBuildStatusReply(std::uint8_t type, std::uint8_t status) {
    CHeader header;
    header.m_ucCode = type;
    header.m_ucParam = status;
    return sMakeDatagram(header, 0);
}

CBytes sBuildDiscoveryReply(const CDiscoveryInfo& info) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::Discovery);
    header.m_usPayloadLen = static_cast<std::uint16_t>(kDiscoveryBytes - kHeaderBytes);
    CBytes reply = sMakeDatagram(header, kDiscoveryBytes - kHeaderBytes);
    vPutText(reply, 16, 16, info.m_strWiredIp);
    vPutText(reply, 32, 16, info.m_strWiredMask);
    vPutText(reply, 48, 16, info.m_strWiredGateway);
    vPutText(reply, 64, 16, info.m_strWiredDns);
    vPutU32(reply, 80, info.m_fgWiredDhcp ? 1U : 0U);
    vPutText(reply, 84, 16, info.m_strWifiIp);
    vPutText(reply, 100, 16, info.m_strWifiMask);
    vPutText(reply, 116, 16, info.m_strWifiGateway);
    vPutText(reply, 132, 16, info.m_strWifiDns);
    reply[148] = info.m_fgWifiDhcp ? 1 : 0;
    vPutMac(reply, 152, info.m_wiredMac);
    vPutMac(reply, 158, info.m_wifiMac);
    vPutText(reply, 164, 32, info.m_strUid);
    vPutText(reply, 196, 32, info.m_strVersion);
    vPutU32(reply, 228, info.m_uiSdTotalMb);
    vPutU32(reply, 232, info.m_uiSdFreeMb);
    vPutU32(reply, 236, info.m_uiFlags);
    return reply;
}

CBytes sBuildLoginReply(bool accepted, const std::array<bool, 3>& detectors,
                        std::span<const CWifiListEntry> networks, int connectedNumber) {
    // Keep the list inside what the station reads in one datagram.
    const std::size_t count =
        std::min(networks.size(), (kStationBufferBytes - kHeaderBytes - 4) / kWifiEntryBytes);
    const std::size_t payloadBytes = 4 + count * kWifiEntryBytes;
    CHeader header;
    header.m_ucCode =
        static_cast<std::uint8_t>(accepted ? EReply::LoginAccepted : EReply::LoginRefused);
    header.m_usPayloadLen = static_cast<std::uint16_t>(payloadBytes);
    for (std::size_t i = 0; i < 3; ++i) {
        header.m_extra[i] = detectors[i] ? 1 : 0;
    }
    CBytes reply = sMakeDatagram(header, payloadBytes);
    vPutU16(reply, 16, static_cast<std::uint16_t>(count));
    vPutU16(reply, 18, static_cast<std::uint16_t>(static_cast<std::int16_t>(connectedNumber)));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 20 + i * kWifiEntryBytes;
        reply[entry] = networks[i].m_ucEncryption;
        vPutU16(reply, entry + 2, networks[i].m_usIntensity);
        vPutText(reply, entry + 4, 32, networks[i].m_strSsid);
    }
    return reply;
}

CBytes sBuildCapabilityReply(bool panoramic, bool gateway) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::Capability);
    header.m_usPayloadLen = static_cast<std::uint16_t>(kCapabilityBytes);
    CBytes reply = sMakeDatagram(header, kCapabilityBytes);
    if (gateway) {
        vPutU32(reply, kHeaderBytes + 4, 0x200000);
    }
    if (panoramic) {
        reply[kHeaderBytes + 10] = 0x02;
    }
    return reply;
}

CBytes sBuildConfigTextReply(std::string_view text) {
    return sTextReply(static_cast<std::uint8_t>(EReply::ConfigText),
                      text.substr(0, kStationBufferBytes - kHeaderBytes - 1));
}

CBytes sBuildLogReply(std::string_view text) {
    return sTextReply(static_cast<std::uint8_t>(EReply::LogText), text.substr(0, kLogTextMax));
}

CBytes sBuildSensorListReply(std::span<const CSensorRecord> sensors) {
    const std::size_t count = std::min<std::size_t>(
        {sensors.size(), 255, (kStationBufferBytes - kHeaderBytes) / kSensorEntryBytes});
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::SensorList);
    header.m_uiWordA = static_cast<std::uint32_t>(count);
    header.m_usPayloadLen = static_cast<std::uint16_t>(count * kSensorEntryBytes);
    CBytes reply = sMakeDatagram(header, count * kSensorEntryBytes);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kHeaderBytes + i * kSensorEntryBytes;
        vPutSensorName(reply, entry, sensors[i]);
        reply[entry + 32] = sensors[i].m_ucIndex;
        reply[entry + 34] = sensors[i].m_ucKind;
    }
    return reply;
}

CBytes sBuildLearnReply(std::uint8_t type, const CSensorRecord& sensor) {
    CHeader header;
    header.m_ucCode = type;
    header.m_usPayloadLen = static_cast<std::uint16_t>(kLearnPayloadBytes);
    CBytes reply = sMakeDatagram(header, kLearnPayloadBytes);
    vPutSensorName(reply, kHeaderBytes, sensor);
    vPutU32(reply, kHeaderBytes + 32, sensor.m_ucKind);
    vPutU32(reply, kHeaderBytes + 36, sensor.m_ucIndex);
    return reply;
}

CBytes sBuildSensorResultReply(std::uint8_t type, std::uint8_t status,
                               const CSensorRecord& sensor) {
    CHeader header;
    header.m_ucCode = type;
    header.m_ucParam = status;
    header.m_usPayloadLen = static_cast<std::uint16_t>(kSensorResultBytes);
    CBytes reply = sMakeDatagram(header, kSensorResultBytes);
    vPutSensorName(reply, kHeaderBytes, sensor);
    vPutU32(reply, kHeaderBytes + 36, sensor.m_ucKind);
    vPutU32(reply, kHeaderBytes + 40, static_cast<std::uint32_t>(sensor.m_iMainValue));
    vPutU16(reply, kHeaderBytes + 44, sensor.m_usSecondValue);
    vPutU16(reply, kHeaderBytes + 46, sensor.m_usThirdValue);
    vPutU32(reply, kHeaderBytes + 48, static_cast<std::uint32_t>(sensor.m_iSendDb));
    vPutU32(reply, kHeaderBytes + 52, static_cast<std::uint32_t>(sensor.m_iRecvDb));
    return reply;
}

namespace {

void vPutStream(CBytes& data, std::size_t offset, const CStreamSettings& stream) {
    data[offset] = stream.m_ucResolution;
    data[offset + 1] = stream.m_ucFrameRate;
    vPutU16(data, offset + 2, stream.m_usBitRate);
    vPutU32(data, offset + 4, static_cast<std::uint32_t>(stream.m_iStandard));
}

CStreamSettings sGetStream(std::span<const std::uint8_t> data, std::size_t offset) {
    CStreamSettings stream;
    stream.m_ucResolution = data[offset];
    stream.m_ucFrameRate = data[offset + 1];
    stream.m_usBitRate = iGetU16(data, offset + 2);
    stream.m_iStandard = static_cast<std::int32_t>(iGetU32(data, offset + 4));
    return stream;
}

}  // namespace

CBytes sBuildVideoReply(const CStreamSettings& mainStream, const CStreamSettings& subStream) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::Video);
    header.m_usPayloadLen = 16;
    CBytes reply = sMakeDatagram(header, 16);
    vPutStream(reply, 16, mainStream);
    vPutStream(reply, 24, subStream);
    return reply;
}

std::optional<std::array<CStreamSettings, 2>> sParseVideoRequest(
    std::span<const std::uint8_t> data) {
    if (data.size() < 32) {
        return std::nullopt;
    }
    return std::array<CStreamSettings, 2>{sGetStream(data, 16), sGetStream(data, 24)};
}

CBytes sBuildMotorTimerReply(std::uint8_t status, std::uint8_t timerH, std::uint8_t timerV) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(ERequest::GetMotorTimer);
    header.m_ucParam = status;
    header.m_usPayloadLen = 2;
    CBytes reply = sMakeDatagram(header, 2);
    reply[16] = timerH;
    reply[17] = timerV;
    return reply;
}

CBytes sBuildMotorPosReply(std::uint8_t status, std::uint16_t posH, std::uint16_t posV) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(ERequest::GetMotorPos);
    header.m_ucParam = status;
    header.m_usPayloadLen = 4;
    CBytes reply = sMakeDatagram(header, 4);
    vPutU16(reply, 16, posH);
    vPutU16(reply, 18, posV);
    return reply;
}

CBytes sBuildExtReply(std::uint32_t subCommand, std::uint32_t wordA,
                      std::span<const std::uint32_t> payloadWords) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::Extended);
    header.m_uiWordA = wordA;
    header.m_uiWordB = subCommand;
    header.m_usPayloadLen = static_cast<std::uint16_t>(4 * payloadWords.size());
    CBytes reply = sMakeDatagram(header, 4 * payloadWords.size());
    for (std::size_t i = 0; i < payloadWords.size(); ++i) {
        vPutU32(reply, kHeaderBytes + 4 * i, payloadWords[i]);
    }
    return reply;
}

CBytes sBuildWifiConnectedReply(std::string_view ssid) {
    CHeader header;
    header.m_ucCode = static_cast<std::uint8_t>(EReply::WifiConnected);
    header.m_usPayloadLen = 32;
    CBytes reply = sMakeDatagram(header, 32);
    vPutText(reply, 16, 32, ssid);
    return reply;
}

CBytes sBuildAnnouncement(std::uint32_t messageType, std::uint32_t deviceAddrNet) {
    CBytes datagram(kAnnounceBytes, 0);
    datagram[0] = kAnnounceStart;
    vPutU32(datagram, 4, messageType);
    vPutU32(datagram, 12, static_cast<std::uint32_t>(kAnnounceBytes - kHeaderBytes));
    // The address goes out in network order, byte for byte as it is kept.
    std::memcpy(datagram.data() + 16, &deviceAddrNet, sizeof deviceAddrNet);
    return datagram;
}

std::optional<CNetRequest> sParseNetRequest(std::span<const std::uint8_t> data) {
    if (data.size() < 84) {
        return std::nullopt;
    }
    CNetRequest request;
    request.m_strIp = strGetText(data, 16, 16);
    request.m_strMask = strGetText(data, 32, 16);
    request.m_strGateway = strGetText(data, 48, 16);
    request.m_strDns = strGetText(data, 64, 16);
    request.m_fgDhcp = iGetU32(data, 80) != 0;
    return request;
}

void vMalform(CBytes& reply, EMalform kind) {
    switch (kind) {
        case EMalform::None:
            return;
        case EMalform::Short:
            if (!reply.empty()) {
                reply.pop_back();
            }
            return;
        case EMalform::Truncated:
            reply.resize(std::min(reply.size(), kTruncatedBytes));
            return;
        case EMalform::Long:
            reply.push_back(0);
            return;
        case EMalform::LyingCounts:
            break;
    }
    if (reply.size() < kHeaderBytes) {
        return;
    }
    const std::size_t payloadBytes = reply.size() - kHeaderBytes;
    vPutU16(reply, kOffPayloadLen, iClamp16(payloadBytes + kLieExtraBytes));
    const std::uint8_t type = reply[kOffCode];
    if ((type == static_cast<std::uint8_t>(EReply::LoginAccepted) ||
         type == static_cast<std::uint8_t>(EReply::LoginRefused)) &&
        reply.size() >= 20) {
        vPutU16(reply, 16, iClamp16(iGetU16(reply, 16) + kLieExtraEntries));
    }
    if (type == static_cast<std::uint8_t>(EReply::SensorList)) {
        reply[kOffWordA] = static_cast<std::uint8_t>(
            std::min<std::size_t>(255, reply[kOffWordA] + kLieExtraEntries));
    }
}

std::optional<EMalform> sMalformFromText(std::string_view text) {
    if (text == "short") {
        return EMalform::Short;
    }
    if (text == "truncated") {
        return EMalform::Truncated;
    }
    if (text == "long") {
        return EMalform::Long;
    }
    if (text == "lying") {
        return EMalform::LyingCounts;
    }
    if (text == "none") {
        return EMalform::None;
    }
    return std::nullopt;
}

}  // namespace devsim
