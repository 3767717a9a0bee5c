#pragma once

// Builders of every UDP request the station sends to a device. Each is pure: it takes
// plain values and returns the whole datagram, built in a zero-filled buffer of the
// request's exact length. Header bytes not named for a request are 0, the payload
// length field (bytes 2-3) included, unless the request is documented to set it.
//
// Texts go into fixed-size fields. Unless a builder says otherwise a text field is
// NUL-terminated: a longer text is cut to the field width less one byte. Texts that
// the device reads as UTF-8 are never cut inside a character.
//
// Targets: every request goes to the device's UDP port 24216 (kPortCommand), except
// the search, the stream opening and the configuration text query, which go to the
// device search port 24218 (kPortSearch).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

using CmdBytes = std::vector<std::uint8_t>;

// Largest payload the generic and extended senders carry (datagram at most 1023 bytes).
inline constexpr std::size_t kMaxCmdPayload = 1007;

// A header-only request: the command code and its parameter byte, 16 bytes.
CmdBytes bufBuildCmd(std::uint8_t code, std::uint8_t param = 0);

// The generic send: 16 + payload bytes with the payload length field set. A payload
// of 0 or more than kMaxCmdPayload bytes is left out (16 bytes, length field 0).
CmdBytes bufBuildSendCmd(std::uint8_t code, std::uint8_t param,
                         std::span<const std::uint8_t> payload);

// Extended command 26: sub-command in word B, payload as bufBuildSendCmd.
CmdBytes bufBuildExtCmd(std::uint32_t subCmd, std::span<const std::uint8_t> payload);

// ---- Device list and main window ----

CmdBytes bufBuildSearch();  // command 1, to the search port

// Who asks for the login: the click on a list row or the login check before a command.
enum class ELoginOrigin : std::uint8_t { kRowClick = 0, kLoginCheck = 1 };

inline constexpr std::string_view kDefaultUser = "admin";
inline constexpr std::string_view kDefaultDevPassword = "kavno";

// Command 2, 80 bytes: length field 64, bytes 12-15 the origin (0 or 1), user "admin"
// at 16 (32 bytes), password at 48 (32 bytes; an empty password sends "kavno").
CmdBytes bufBuildLogin(std::string_view password, ELoginOrigin origin);

// Command 54, 80 bytes: user "admin" at 16, the new password at 48 (may be empty).
CmdBytes bufBuildChangePassword(std::string_view newPassword);

// Command 29, 116 bytes: encryption type at 16 (32-bit), password at 20 (64 bytes), the
// SSID in UTF-8 at 84 (32 bytes). An SSID of more than 31 bytes is sent empty: a cut
// SSID would name another network.
CmdBytes bufBuildConnectWifi(std::uint32_t encryption, std::string_view password,
                             std::string_view ssidUtf8);

CmdBytes bufBuildWifiStatus();       // command 79
CmdBytes bufBuildFormatSd();         // command 14
CmdBytes bufBuildMakeUpgradeFile();  // command 21, parameter byte 0x1C ("all files")

// ---- UID, restart, factory reset ----

inline constexpr std::size_t kUidChars = 20;

// Command 19, 37 bytes: the UID at 16 in 20 bytes with no terminator inside (a shorter
// text is zero-padded, a longer one cut to 20), byte 36 zero.
CmdBytes bufBuildSetUid(std::string_view uid);

CmdBytes bufBuildRestart();  // command 17

// Parameter byte of the factory reset: plain, or after a default configuration change.
enum class EResetOrigin : std::uint8_t { kPlain = 0, kAfterConfigChange = 5 };
CmdBytes bufBuildFactoryReset(EResetOrigin origin);  // command 18

// ---- Firmware upgrade ----

// Command 20, parameter byte 0x66: tells the device that upgrade files are coming.
CmdBytes bufBuildUpgradeRequest();

// ---- Live view, horn test ----

CmdBytes bufBuildOpenStream();  // command 22, to the search port

// Command 7 with the parameter byte; the named values below.
inline constexpr std::uint8_t kPtzCruiseStart = 8;
inline constexpr std::uint8_t kPtzCruiseStop = 13;
CmdBytes bufBuildPtzMove(std::uint8_t param);
// A drag in direction 0, 1, 2, 3 sends the parameter 11, 12, 9, 10; any other
// direction gives an empty result (nothing to send).
CmdBytes bufBuildPtzDrag(int direction);

CmdBytes bufBuildGetFlip();      // command 92
CmdBytes bufBuildGetDayNight();  // command 93
// Flip entries 0..3 (normal, vertical, horizontal, both) send commands 94..97; any
// other entry gives an empty result.
CmdBytes bufBuildSetFlip(int entry);
enum class EDayNight : std::uint8_t { kAuto = 98, kNight = 99, kDay = 100 };
CmdBytes bufBuildSetDayNight(EDayNight mode);

// Extended camera action (0x1006), 20 bytes: the action code at 16 (0 ends a
// press-and-hold, 3..10 focus, zoom and directions, 11 calibration).
CmdBytes bufBuildCameraAction(std::uint32_t action);

CmdBytes bufBuildOpenHorn();  // command 30
CmdBytes bufBuildStopHorn();  // command 48

// ---- Video parameters ----

// One stream's settings, 8 bytes on the wire.
struct CStreamSettings {
    std::uint8_t m_byResolution = 255;  // 255: no resolution chosen
    std::uint8_t m_byFrameRate = 0;
    std::uint16_t m_usBitRate = 0;
    std::int32_t m_iStandard = -1;  // -1: no standard chosen
    bool operator==(const CStreamSettings&) const = default;
};

CmdBytes bufBuildGetVideoParam();  // command 31
// Command 32, 32 bytes: main stream at 16, sub stream at 24; length field stays 0.
CmdBytes bufBuildSetVideoParam(const CStreamSettings& mainStream, const CStreamSettings& subStream);

// ---- Motor ----

CmdBytes bufBuildGetMotorTimer();  // command 38
// Command 39, 18 bytes: H timer at 16, V timer at 17.
CmdBytes bufBuildSetMotorTimer(std::uint8_t hTimer, std::uint8_t vTimer);
CmdBytes bufBuildGetMotorPos();   // command 40
CmdBytes bufBuildZeroMotorPos();  // command 41

// Commands 42 (right, direction 1), 43 (left, 0), 45 (up, 2; down, 3); 20 bytes: the
// 16-bit direction at 16, the 16-bit step count at 18.
enum class EMotorDir : std::uint8_t { kLeft = 0, kRight = 1, kUp = 2, kDown = 3 };
CmdBytes bufBuildMotorMove(EMotorDir dir, std::uint16_t steps);
enum class EMotorAxis : std::uint8_t { kHorizontal, kVertical };
CmdBytes bufBuildMotorStop(EMotorAxis axis);  // command 44 or 47

// ---- Network settings ----

enum class ENetBlock : std::uint8_t { kWired, kWifi };

struct CNetSettings {
    std::string_view m_strIp;
    std::string_view m_strMask;
    std::string_view m_strGateway;
    std::string_view m_strDns;
    bool m_fgDhcp = false;
};

// Command 16 (wired) or 33 (Wi-Fi), 96 bytes: IP, mask, gateway and DNS texts at 16,
// 32, 48, 64 (16 bytes each; a text of 16 characters or more fills its field without a
// terminator, as the device reads up to the zero byte or the field's end), DHCP flag
// (0 or 1, 32-bit) at 80.
CmdBytes bufBuildSetNetwork(ENetBlock block, const CNetSettings& settings);

// ---- Default configuration ----

CmdBytes bufBuildGetConfigText();  // command 34, to the search port

// Command 24, 20 bytes: length field 4, word B = 1, parameter byte = the low 8 bits of
// the flags, the whole flags word at 16.
CmdBytes bufBuildDefaultFlags(std::uint32_t flags);

enum class EConfigValueKind : std::uint32_t { kText = 0, kNumber = 1 };
// Command 25, 88 bytes: length field 72; key at 16 (32 bytes), value text at 48 (32
// bytes), value kind at 80 (32-bit), 4 zero bytes.
CmdBytes bufBuildConfigItem(std::string_view key, std::string_view value, EConfigValueKind kind);

CmdBytes bufBuildGetKeyFuncs();  // extended 0x1002, no payload
// Extended 0x1004, 32 bytes: the four key codes at 16 (length field 16).
CmdBytes bufBuildSaveKeyFuncs(const std::array<std::uint32_t, 4>& codes);

// ---- Device log and key commands ----

CmdBytes bufBuildStartLog();  // command 56, parameter 0
CmdBytes bufBuildKeepLog();   // command 56, parameter 0x3B (sent every second)
CmdBytes bufBuildStopLog();   // command 57

// Largest number of parameter bytes a key command carries (datagram at most 1024).
inline constexpr std::size_t kMaxKeyParamBytes = 1004;
// Command 55, 20 + n bytes: length field 4 + n, key code at 16 (signed 32-bit), the
// parameter bytes from 20. More than kMaxKeyParamBytes parameters give an empty result.
CmdBytes bufBuildKeyCmd(std::int32_t keyCode, std::span<const std::uint8_t> params);

// The key command that makes the device update its wired MAC address (key 184).
inline constexpr std::int32_t kKeyUpdateEthMac = 184;
CmdBytes bufBuildUpdateEthMac();

// ---- Sensors ----

CmdBytes bufBuildQuerySensors();  // command 35
enum class ESensorLearn : std::uint8_t { kWarning, kKey };
CmdBytes bufBuildLearnSensor(ESensorLearn kind);  // command 15 or 50
CmdBytes bufBuildStopSensorLearn();               // command 49
// Command 37, 52 bytes: the sensor index at 48 (32-bit).
CmdBytes bufBuildDeleteSensor(std::uint32_t index);
// Command 80, 24 bytes: sensor index at 16, its kind byte at 20 (both 32-bit).
CmdBytes bufBuildSensorTest(std::uint32_t index, std::uint32_t kind);
CmdBytes bufBuildClearSensors();  // command 81
// Command 82, 24 bytes: sensor index at 16, standard power in watts at 20 (signed).
CmdBytes bufBuildPowerCalibration(std::uint32_t index, std::int32_t watts);
// Command 52, 56 bytes: the sensor name in UTF-8 at 20 (36 bytes, NUL-terminated, cut
// at a character boundary). Sent to the subnet broadcast address.
CmdBytes bufBuildNameSensor(std::string_view nameUtf8);
