#include "protocol/requests.h"

#include <algorithm>

#include "protocol/cmd_header.h"

namespace {

// A zero-filled datagram of totalBytes with the header written at its start.
CmdBytes bufFrame(std::size_t totalBytes, const CCmdHeader& header) {
    CmdBytes datagram(std::max(totalBytes, kCmdHeaderBytes), 0);
    iWriteCmdHeader(datagram, header);
    return datagram;
}

CCmdHeader sHeader(std::uint8_t code, std::uint8_t param = 0) {
    CCmdHeader header;
    header.m_byCode = code;
    header.m_byParam = param;
    return header;
}

std::uint16_t usLength(std::size_t bytes) {
    return static_cast<std::uint16_t>(bytes);
}

// Payload carried by the generic senders: all of it, or none when it is out of range.
std::span<const std::uint8_t> sCarriedPayload(std::span<const std::uint8_t> payload) {
    if (payload.empty() || payload.size() > kMaxCmdPayload) {
        return {};
    }
    return payload;
}

CmdBytes bufBuildWithPayload(CCmdHeader header, std::span<const std::uint8_t> payload) {
    const auto carried = sCarriedPayload(payload);
    header.m_usPayloadLen = usLength(carried.size());
    CmdBytes datagram = bufFrame(kCmdHeaderBytes + carried.size(), header);
    std::copy(carried.begin(), carried.end(), datagram.begin() + kCmdOffPayload);
    return datagram;
}

constexpr std::size_t kCredentialBytes = 32;

}  // namespace

CmdBytes bufBuildCmd(std::uint8_t code, std::uint8_t param) {
    return bufFrame(kCmdHeaderBytes, sHeader(code, param));
}

CmdBytes bufBuildSendCmd(std::uint8_t code, std::uint8_t param,
                         std::span<const std::uint8_t> payload) {
    return bufBuildWithPayload(sHeader(code, param), payload);
}

CmdBytes bufBuildExtCmd(std::uint32_t subCmd, std::span<const std::uint8_t> payload) {
    CCmdHeader header = sHeader(kCmdExtended);
    header.m_uiWordB = subCmd;
    return bufBuildWithPayload(header, payload);
}

CmdBytes bufBuildSearch() {
    return bufBuildCmd(kCmdSearch);
}

CmdBytes bufBuildLogin(std::string_view password, ELoginOrigin origin) {
    constexpr std::size_t kLoginBytes = 80;
    CCmdHeader header = sHeader(kCmdLogin, static_cast<std::uint8_t>(origin));
    header.m_usPayloadLen = usLength(kLoginBytes - kCmdHeaderBytes);
    CmdBytes datagram = bufFrame(kLoginBytes, header);
    vPutTextField(datagram, 16, kCredentialBytes, kDefaultUser, ETextCut::kTerminated);
    vPutTextField(datagram, 48, kCredentialBytes, password.empty() ? kDefaultDevPassword : password,
                  ETextCut::kTerminated);
    return datagram;
}

CmdBytes bufBuildChangePassword(std::string_view newPassword) {
    CmdBytes datagram = bufFrame(80, sHeader(kCmdChangePassword));
    vPutTextField(datagram, 16, kCredentialBytes, kDefaultUser, ETextCut::kTerminated);
    vPutTextField(datagram, 48, kCredentialBytes, newPassword, ETextCut::kTerminated);
    return datagram;
}

CmdBytes bufBuildConnectWifi(std::uint32_t encryption, std::string_view password,
                             std::string_view ssidUtf8) {
    constexpr std::size_t kSsidBytes = 32;
    CmdBytes datagram = bufFrame(116, sHeader(kCmdConnectWifi));
    vWriteLe32(datagram, 16, encryption);
    vPutTextField(datagram, 20, 64, password, ETextCut::kTerminated);
    if (ssidUtf8.size() < kSsidBytes) {
        vPutTextField(datagram, 84, kSsidBytes, ssidUtf8, ETextCut::kTerminated);
    }
    return datagram;
}

CmdBytes bufBuildWifiStatus() {
    return bufBuildCmd(kCmdWifiStatus);
}

CmdBytes bufBuildFormatSd() {
    return bufBuildCmd(kCmdFormatSd);
}

CmdBytes bufBuildMakeUpgradeFile() {
    return bufBuildCmd(kCmdMakeUpgradeFile, 0x1C);
}

CmdBytes bufBuildSetUid(std::string_view uid) {
    CmdBytes datagram = bufFrame(37, sHeader(kCmdSetUid));
    vPutTextField(datagram, 16, kUidChars, uid, ETextCut::kFullWidth);
    return datagram;
}

CmdBytes bufBuildRestart() {
    return bufBuildCmd(kCmdRestart);
}

CmdBytes bufBuildFactoryReset(EResetOrigin origin) {
    return bufBuildCmd(kCmdFactoryReset, static_cast<std::uint8_t>(origin));
}

CmdBytes bufBuildUpgradeRequest() {
    return bufBuildCmd(kCmdUpgrade, 0x66);
}

CmdBytes bufBuildOpenStream() {
    return bufBuildCmd(kCmdOpenStream);
}

CmdBytes bufBuildPtzMove(std::uint8_t param) {
    return bufBuildCmd(kCmdPtzMove, param);
}

CmdBytes bufBuildPtzDrag(int direction) {
    constexpr std::array<std::uint8_t, 4> kDragParams = {11, 12, 9, 10};
    if (direction < 0 || direction >= static_cast<int>(kDragParams.size())) {
        return {};
    }
    return bufBuildPtzMove(kDragParams[static_cast<std::size_t>(direction)]);
}

CmdBytes bufBuildGetFlip() {
    return bufBuildCmd(kCmdGetFlip);
}

CmdBytes bufBuildGetDayNight() {
    return bufBuildCmd(kCmdGetDayNight);
}

CmdBytes bufBuildSetFlip(int entry) {
    if (entry < 0 || entry > 3) {
        return {};
    }
    return bufBuildCmd(static_cast<std::uint8_t>(kCmdSetFlipNormal + entry));
}

CmdBytes bufBuildSetDayNight(EDayNight mode) {
    return bufBuildCmd(static_cast<std::uint8_t>(mode));
}

CmdBytes bufBuildCameraAction(std::uint32_t action) {
    std::array<std::uint8_t, 4> payload{};
    vWriteLe32(payload, 0, action);
    return bufBuildExtCmd(kExtCameraAction, payload);
}

CmdBytes bufBuildOpenHorn() {
    return bufBuildCmd(kCmdOpenHorn);
}

CmdBytes bufBuildStopHorn() {
    return bufBuildCmd(kCmdStopHorn);
}

CmdBytes bufBuildGetVideoParam() {
    return bufBuildCmd(kCmdGetVideoParam);
}

CmdBytes bufBuildSetVideoParam(const CStreamSettings& mainStream,
                               const CStreamSettings& subStream) {
    CmdBytes datagram = bufFrame(32, sHeader(kCmdSetVideoParam));
    std::size_t offset = kCmdOffPayload;
    for (const CStreamSettings* stream : {&mainStream, &subStream}) {
        datagram[offset] = stream->m_byResolution;
        datagram[offset + 1] = stream->m_byFrameRate;
        vWriteLe16(datagram, offset + 2, stream->m_usBitRate);
        vWriteLe32(datagram, offset + 4, static_cast<std::uint32_t>(stream->m_iStandard));
        offset += 8;
    }
    return datagram;
}

CmdBytes bufBuildGetMotorTimer() {
    return bufBuildCmd(kCmdGetMotorTimer);
}

CmdBytes bufBuildSetMotorTimer(std::uint8_t hTimer, std::uint8_t vTimer) {
    CmdBytes datagram = bufFrame(18, sHeader(kCmdSetMotorTimer));
    datagram[16] = hTimer;
    datagram[17] = vTimer;
    return datagram;
}

CmdBytes bufBuildGetMotorPos() {
    return bufBuildCmd(kCmdGetMotorPos);
}

CmdBytes bufBuildZeroMotorPos() {
    return bufBuildCmd(kCmdZeroMotorPos);
}

CmdBytes bufBuildMotorMove(EMotorDir dir, std::uint16_t steps) {
    std::uint8_t code = kCmdMotorVertical;
    if (dir == EMotorDir::kRight) {
        code = kCmdMotorRight;
    } else if (dir == EMotorDir::kLeft) {
        code = kCmdMotorLeft;
    }
    CmdBytes datagram = bufFrame(20, sHeader(code));
    vWriteLe16(datagram, 16, static_cast<std::uint16_t>(dir));
    vWriteLe16(datagram, 18, steps);
    return datagram;
}

CmdBytes bufBuildMotorStop(EMotorAxis axis) {
    return bufBuildCmd(axis == EMotorAxis::kHorizontal ? kCmdMotorStopHoriz : kCmdMotorStopVert);
}

CmdBytes bufBuildSetNetwork(ENetBlock block, const CNetSettings& settings) {
    constexpr std::size_t kAddrBytes = 16;
    CmdBytes datagram =
        bufFrame(96, sHeader(block == ENetBlock::kWired ? kCmdSetWiredNet : kCmdSetWifiNet));
    vPutTextField(datagram, 16, kAddrBytes, settings.m_strIp, ETextCut::kFullWidth);
    vPutTextField(datagram, 32, kAddrBytes, settings.m_strMask, ETextCut::kFullWidth);
    vPutTextField(datagram, 48, kAddrBytes, settings.m_strGateway, ETextCut::kFullWidth);
    vPutTextField(datagram, 64, kAddrBytes, settings.m_strDns, ETextCut::kFullWidth);
    vWriteLe32(datagram, 80, settings.m_fgDhcp ? 1U : 0U);
    return datagram;
}

CmdBytes bufBuildGetConfigText() {
    return bufBuildCmd(kCmdGetConfigText);
}

CmdBytes bufBuildDefaultFlags(std::uint32_t flags) {
    CCmdHeader header = sHeader(kCmdSetDefaultFlags, static_cast<std::uint8_t>(flags & 0xFF));
    header.m_usPayloadLen = 4;
    header.m_uiWordB = 1;
    CmdBytes datagram = bufFrame(20, header);
    vWriteLe32(datagram, 16, flags);
    return datagram;
}

CmdBytes bufBuildConfigItem(std::string_view key, std::string_view value, EConfigValueKind kind) {
    CCmdHeader header = sHeader(kCmdSetConfigItem);
    header.m_usPayloadLen = 72;
    CmdBytes datagram = bufFrame(88, header);
    vPutTextField(datagram, 16, 32, key, ETextCut::kTerminated);
    vPutTextField(datagram, 48, 32, value, ETextCut::kTerminated);
    vWriteLe32(datagram, 80, static_cast<std::uint32_t>(kind));
    return datagram;
}

CmdBytes bufBuildGetKeyFuncs() {
    return bufBuildExtCmd(kExtGetKeyFuncs, {});
}

CmdBytes bufBuildSaveKeyFuncs(const std::array<std::uint32_t, 4>& codes) {
    std::array<std::uint8_t, 16> payload{};
    for (std::size_t i = 0; i < codes.size(); ++i) {
        vWriteLe32(payload, 4 * i, codes[i]);
    }
    return bufBuildExtCmd(kExtSaveKeyFuncs, payload);
}

CmdBytes bufBuildStartLog() {
    return bufBuildCmd(kCmdStartLog);
}

CmdBytes bufBuildKeepLog() {
    return bufBuildCmd(kCmdStartLog, 0x3B);
}

CmdBytes bufBuildStopLog() {
    return bufBuildCmd(kCmdStopLog);
}

CmdBytes bufBuildKeyCmd(std::int32_t keyCode, std::span<const std::uint8_t> params) {
    if (params.size() > kMaxKeyParamBytes) {
        return {};
    }
    CCmdHeader header = sHeader(kCmdControl);
    header.m_usPayloadLen = usLength(4 + params.size());
    CmdBytes datagram = bufFrame(20 + params.size(), header);
    vWriteLe32(datagram, 16, static_cast<std::uint32_t>(keyCode));
    std::copy(params.begin(), params.end(), datagram.begin() + 20);
    return datagram;
}

CmdBytes bufBuildUpdateEthMac() {
    return bufBuildKeyCmd(kKeyUpdateEthMac, {});
}

CmdBytes bufBuildQuerySensors() {
    return bufBuildCmd(kCmdQuerySensors);
}

CmdBytes bufBuildLearnSensor(ESensorLearn kind) {
    return bufBuildCmd(kind == ESensorLearn::kWarning ? kCmdLearnWarnSensor : kCmdLearnKeySensor);
}

CmdBytes bufBuildStopSensorLearn() {
    return bufBuildCmd(kCmdStopSensorLearn);
}

CmdBytes bufBuildDeleteSensor(std::uint32_t index) {
    CmdBytes datagram = bufFrame(52, sHeader(kCmdDeleteSensor));
    vWriteLe32(datagram, 48, index);
    return datagram;
}

CmdBytes bufBuildSensorTest(std::uint32_t index, std::uint32_t kind) {
    CmdBytes datagram = bufFrame(24, sHeader(kCmdSensorTest));
    vWriteLe32(datagram, 16, index);
    vWriteLe32(datagram, 20, kind);
    return datagram;
}

CmdBytes bufBuildClearSensors() {
    return bufBuildCmd(kCmdClearSensorData);
}

CmdBytes bufBuildPowerCalibration(std::uint32_t index, std::int32_t watts) {
    CmdBytes datagram = bufFrame(24, sHeader(kCmdPowerCalibration));
    vWriteLe32(datagram, 16, index);
    vWriteLe32(datagram, 20, static_cast<std::uint32_t>(watts));
    return datagram;
}

CmdBytes bufBuildNameSensor(std::string_view nameUtf8) {
    CmdBytes datagram = bufFrame(56, sHeader(kCmdNameSensor));
    vPutTextField(datagram, 20, 36, nameUtf8, ETextCut::kTerminatedUtf8);
    return datagram;
}
