#pragma once

// The 16-byte header that starts every command datagram and every reply, the codes
// of the commands this station sends and of the replies it reads, and little-endian
// field access. Everything here is pure and never touches bytes outside the span
// it is given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

inline constexpr std::size_t kCmdHeaderBytes = 16;
inline constexpr std::uint8_t kCmdStartByte = 0xA8;

// Header layout (little-endian): 0 start byte, 1 command code or reply type,
// 2-3 payload length, 4-7 word A, 8-11 word B, 12 parameter byte, 13-15 extra bytes.
inline constexpr std::size_t kCmdOffCode = 1;
inline constexpr std::size_t kCmdOffPayloadLen = 2;
inline constexpr std::size_t kCmdOffWordA = 4;
inline constexpr std::size_t kCmdOffWordB = 8;
inline constexpr std::size_t kCmdOffParam = 12;
inline constexpr std::size_t kCmdOffExtra = 13;
inline constexpr std::size_t kCmdOffPayload = 16;

struct CCmdHeader {
    std::uint8_t m_byStart = kCmdStartByte;
    std::uint8_t m_byCode = 0;                 // command code (requests) or reply type (replies)
    std::uint16_t m_usPayloadLen = 0;          // bytes after the header, where the command sets it
    std::uint32_t m_uiWordA = 0;               // extended reply 0x1001: the refused command
    std::uint32_t m_uiWordB = 0;               // extended sub-command, or command parameters
    std::uint8_t m_byParam = 0;                // one-byte argument, or the reply's status
    std::array<std::uint8_t, 3> m_abyExtra{};  // reply flags (login reply), else 0
    bool operator==(const CCmdHeader&) const = default;
};

// Writes the header into out[0..15]. 0, or -1 when out holds fewer than 16 bytes
// (nothing written).
int iWriteCmdHeader(std::span<std::uint8_t> out, const CCmdHeader& header);

// Reads the header of a datagram; nullopt when it holds fewer than 16 bytes. The
// start byte is returned as received; receivers do not insist on 0xA8.
std::optional<CCmdHeader> sReadCmdHeader(std::span<const std::uint8_t> datagram);

// Little-endian fields. The readers return 0 when the field does not lie wholly
// inside the span; the writers then write nothing.
std::uint16_t usReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t uiReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset);
void vWriteLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void vWriteLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);

// How a text is put into a fixed-size field of width bytes:
// kTerminated     at most width - 1 bytes, then at least one zero byte;
// kTerminatedUtf8 as kTerminated, but never cut inside a UTF-8 character;
// kFullWidth      at most width bytes; a text that fills the field has no terminator.
// The rest of the field is zero-filled. Nothing is written when the field does not lie
// wholly inside out.
enum class ETextCut : std::uint8_t { kTerminated, kTerminatedUtf8, kFullWidth };
void vPutTextField(std::span<std::uint8_t> out, std::size_t offset, std::size_t width,
                   std::string_view text, ETextCut cut);

// Command codes (byte 1 of a request).
inline constexpr std::uint8_t kCmdSearch = 1;
inline constexpr std::uint8_t kCmdLogin = 2;
inline constexpr std::uint8_t kCmdPtzMove = 7;
inline constexpr std::uint8_t kCmdFormatSd = 14;
inline constexpr std::uint8_t kCmdLearnWarnSensor = 15;
inline constexpr std::uint8_t kCmdSetWiredNet = 16;
inline constexpr std::uint8_t kCmdRestart = 17;
inline constexpr std::uint8_t kCmdFactoryReset = 18;
inline constexpr std::uint8_t kCmdSetUid = 19;
inline constexpr std::uint8_t kCmdUpgrade = 20;
inline constexpr std::uint8_t kCmdMakeUpgradeFile = 21;
inline constexpr std::uint8_t kCmdOpenStream = 22;
inline constexpr std::uint8_t kCmdSetDefaultFlags = 24;
inline constexpr std::uint8_t kCmdSetConfigItem = 25;
inline constexpr std::uint8_t kCmdExtended = 26;
inline constexpr std::uint8_t kCmdConnectWifi = 29;
inline constexpr std::uint8_t kCmdOpenHorn = 30;
inline constexpr std::uint8_t kCmdGetVideoParam = 31;
inline constexpr std::uint8_t kCmdSetVideoParam = 32;
inline constexpr std::uint8_t kCmdSetWifiNet = 33;
inline constexpr std::uint8_t kCmdGetConfigText = 34;
inline constexpr std::uint8_t kCmdQuerySensors = 35;
inline constexpr std::uint8_t kCmdDeleteSensor = 37;
inline constexpr std::uint8_t kCmdGetMotorTimer = 38;
inline constexpr std::uint8_t kCmdSetMotorTimer = 39;
inline constexpr std::uint8_t kCmdGetMotorPos = 40;
inline constexpr std::uint8_t kCmdZeroMotorPos = 41;
inline constexpr std::uint8_t kCmdMotorRight = 42;
inline constexpr std::uint8_t kCmdMotorLeft = 43;
inline constexpr std::uint8_t kCmdMotorStopHoriz = 44;
inline constexpr std::uint8_t kCmdMotorVertical = 45;
inline constexpr std::uint8_t kCmdMotorStopVert = 47;
inline constexpr std::uint8_t kCmdStopHorn = 48;
inline constexpr std::uint8_t kCmdStopSensorLearn = 49;
inline constexpr std::uint8_t kCmdLearnKeySensor = 50;
inline constexpr std::uint8_t kCmdNameSensor = 52;
inline constexpr std::uint8_t kCmdChangePassword = 54;
inline constexpr std::uint8_t kCmdControl = 55;
inline constexpr std::uint8_t kCmdStartLog = 56;
inline constexpr std::uint8_t kCmdStopLog = 57;
inline constexpr std::uint8_t kCmdWifiStatus = 79;
inline constexpr std::uint8_t kCmdSensorTest = 80;
inline constexpr std::uint8_t kCmdClearSensorData = 81;
inline constexpr std::uint8_t kCmdPowerCalibration = 82;
inline constexpr std::uint8_t kCmdGetFlip = 92;
inline constexpr std::uint8_t kCmdSetFlipNormal = 94;  // 94..97: normal, V, H, VH
inline constexpr std::uint8_t kCmdGetDayNight = 93;
inline constexpr std::uint8_t kCmdSetDayNightAuto = 98;  // 98..100: auto, night, day

// Reply types (byte 1 of a reply). Types equal to a command code (24, 25, 26, 38..47,
// 55, 80, 82, 92, 93) are named by that command's constant.
inline constexpr std::uint8_t kReplyUpgradeFileCheck = 3;
inline constexpr std::uint8_t kReplyMotorDown = 46;  // the down move of command 45
inline constexpr std::uint8_t kReplyUpgradeReceived = 20;
inline constexpr std::uint8_t kReplyDiscovery = 101;
inline constexpr std::uint8_t kReplyFormatSdOk = 107;
inline constexpr std::uint8_t kReplyLearnOk = 109;
inline constexpr std::uint8_t kReplyLearnFailed = 110;
inline constexpr std::uint8_t kReplyWiredNetOk = 111;
inline constexpr std::uint8_t kReplyWiredNetFailed = 112;
inline constexpr std::uint8_t kReplyRestart = 113;
inline constexpr std::uint8_t kReplyFactoryReset = 114;
inline constexpr std::uint8_t kReplySetUidOk = 115;
inline constexpr std::uint8_t kReplySetUidFailed = 116;
inline constexpr std::uint8_t kReplyMakeUpgradeFile = 123;
inline constexpr std::uint8_t kReplyWifiJoinOk = 124;
inline constexpr std::uint8_t kReplyWifiJoinFailed = 125;
inline constexpr std::uint8_t kReplyVideoParam = 126;
inline constexpr std::uint8_t kReplyVideoParamFailed = 127;
inline constexpr std::uint8_t kReplySetVideoParamOk = 128;
inline constexpr std::uint8_t kReplySetVideoParamFailed = 129;
inline constexpr std::uint8_t kReplyMakeUpgradeFile2 = 140;
inline constexpr std::uint8_t kReplyWifiNetOk = 141;
inline constexpr std::uint8_t kReplyWifiNetFailed = 142;
inline constexpr std::uint8_t kReplyMakeUpgradeFile3 = 143;
inline constexpr std::uint8_t kReplyConfigText = 144;
inline constexpr std::uint8_t kReplyVersionFailed = 145;
inline constexpr std::uint8_t kReplySensorList = 146;
inline constexpr std::uint8_t kReplySensorListFailed = 147;
inline constexpr std::uint8_t kReplyWifiStatus = 166;
inline constexpr std::uint8_t kReplyLearned = 173;
inline constexpr std::uint8_t kReplyLearnedFailed = 174;
inline constexpr std::uint8_t kReplyLoginOk = 180;
inline constexpr std::uint8_t kReplyLoginRefused = 181;
inline constexpr std::uint8_t kReplyPasswordOk = 182;
inline constexpr std::uint8_t kReplyPasswordFailed = 183;
inline constexpr std::uint8_t kReplyLogText = 184;
inline constexpr std::uint8_t kReplyAbility = 192;

// Announcements of devices to recorders (multicast 233.233.233.233:34226).
inline constexpr std::size_t kAnnounceMinBytes = 24;
inline constexpr std::uint8_t kAnnounceStartByte = 0x68;
inline constexpr std::size_t kAnnounceOffType = 4;
inline constexpr std::size_t kAnnounceOffLength = 12;
inline constexpr std::uint32_t kAnnounceMinLength = 12;

// Sub-commands of the extended command 26 (word B).
inline constexpr std::uint32_t kExtUnsupported = 0x1001;
inline constexpr std::uint32_t kExtGetKeyFuncs = 0x1002;
inline constexpr std::uint32_t kExtKeyFuncs = 0x1003;
inline constexpr std::uint32_t kExtSaveKeyFuncs = 0x1004;
inline constexpr std::uint32_t kExtKeyFuncsSaved = 0x1005;
inline constexpr std::uint32_t kExtCameraAction = 0x1006;
inline constexpr std::uint32_t kExtCameraActionAck = 0x1007;
