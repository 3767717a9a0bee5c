#pragma once

// The device side of the UDP command protocol: the 16-byte command header, the codes
// a device receives and the reply types it sends, the fixed-width field helpers, and
// one builder per reply. Written independently of the station's protocol layer so
// that each side checks the other. Every builder is a pure function from plain
// values to bytes; every reader takes a byte span and never reads past it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

using CBytes = std::vector<std::uint8_t>;
using CMac = std::array<std::uint8_t, 6>;

inline constexpr std::uint8_t kStart = 0xA8;
inline constexpr std::size_t kHeaderBytes = 16;
// Offsets of the header fields.
inline constexpr std::size_t kOffCode = 1;
inline constexpr std::size_t kOffPayloadLen = 2;
inline constexpr std::size_t kOffWordA = 4;
inline constexpr std::size_t kOffWordB = 8;
inline constexpr std::size_t kOffParam = 12;
inline constexpr std::size_t kOffExtra = 13;

// Requests a device understands (byte 1 of a request).
enum class ERequest : std::uint8_t {
    Search = 1,
    Login = 2,
    PtzMove = 7,
    FormatSd = 14,
    LearnWarning = 15,
    SetWired = 16,
    Restart = 17,
    FactoryReset = 18,
    SetUid = 19,
    Upgrade = 20,
    MakeFlashImage = 21,
    OpenStream = 22,
    DefaultFlags = 24,
    ConfigItem = 25,
    Extended = 26,
    ConnectWifi = 29,
    OpenHorn = 30,
    GetVideo = 31,
    SetVideo = 32,
    SetWifi = 33,
    GetConfigText = 34,
    QuerySensors = 35,
    DeleteSensor = 37,
    GetMotorTimer = 38,
    SetMotorTimer = 39,
    GetMotorPos = 40,
    ZeroMotor = 41,
    MotorRight = 42,
    MotorLeft = 43,
    StopHorizontal = 44,
    MotorVertical = 45,
    StopVertical = 47,
    StopHorn = 48,
    StopLearning = 49,
    LearnKey = 50,
    NameSensor = 52,
    ChangePassword = 54,
    KeyCommand = 55,
    StartPrint = 56,
    StopPrint = 57,
    WifiStatus = 79,
    SensorTest = 80,
    ClearSensors = 81,
    SocketCalibration = 82,
    GetFlip = 92,
    GetDayNight = 93,
    SetFlipFirst = 94,  // 94..97: the four flip settings
    SetFlipLast = 97,
    SetDayNightFirst = 98,  // 98..100: auto, night, day
    SetDayNightLast = 100,
};

// Reply types a device sends (byte 1 of a reply) that are not simply the request code.
enum class EReply : std::uint8_t {
    UpgradeAccepted = 20,
    Extended = 26,
    Discovery = 101,
    FormatDone = 107,
    LearnDone = 109,
    LearnFailed = 110,
    WiredSet = 111,
    WiredFailed = 112,
    Restarting = 113,
    Resetting = 114,
    UidSet = 115,
    UidFailed = 116,
    FlashImageDone = 123,
    WifiConnecting = 124,
    WifiRefused = 125,
    Video = 126,
    VideoFailed = 127,
    VideoSet = 128,
    VideoRejected = 129,
    FlashImageFailed = 140,
    WifiSet = 141,
    WifiFailed = 142,
    NoSdCard = 143,
    ConfigText = 144,
    SensorList = 146,
    SensorsFailed = 147,
    WifiConnected = 166,
    KeyLearnt = 173,
    KeyLearnFailed = 174,
    LoginAccepted = 180,
    LoginRefused = 181,
    PasswordChanged = 182,
    PasswordRefused = 183,
    LogText = 184,
    Capability = 192,
};

// Status bytes (header byte 12) of the motor replies when the motor did what it was told.
inline constexpr std::uint8_t kMotorTimerOk = 0x99;
inline constexpr std::uint8_t kMotorPosOk = 0x9D;
inline constexpr std::uint8_t kMotorZeroOk = 0x9F;
inline constexpr std::uint8_t kMotorRightOk = 0xA1;
inline constexpr std::uint8_t kMotorLeftOk = 0xA3;
inline constexpr std::uint8_t kMotorStopHOk = 0xA5;
inline constexpr std::uint8_t kMotorUpOk = 0xA7;
inline constexpr std::uint8_t kMotorDownOk = 0xA9;
inline constexpr std::uint8_t kMotorStopVOk = 0xAB;
// Reply type of a downward move: the up move keeps the request's code.
inline constexpr std::uint8_t kReplyMotorDown = 46;

// Sub-commands of the extended command (header word B).
inline constexpr std::uint32_t kExtUnsupported = 0x1001;
inline constexpr std::uint32_t kExtGetKeys = 0x1002;
inline constexpr std::uint32_t kExtKeys = 0x1003;
inline constexpr std::uint32_t kExtSaveKeys = 0x1004;
inline constexpr std::uint32_t kExtKeysSaved = 0x1005;
inline constexpr std::uint32_t kExtCameraAction = 0x1006;
inline constexpr std::uint32_t kExtActionDone = 0x1007;

// Key code of the key command that asks the device for a new wired MAC address.
inline constexpr std::int32_t kKeyUpdateMac = 184;

// Announcement to the recorder group.
inline constexpr std::uint8_t kAnnounceStart = 0x68;
inline constexpr std::uint32_t kAnnounceGroup = 0xE9E9E9E9;  // 233.233.233.233, same in both orders
inline constexpr std::uint16_t kAnnouncePort = 34226;
inline constexpr std::size_t kAnnounceBytes = 28;

// Sizes fixed by the layouts.
inline constexpr std::size_t kDiscoveryBytes = 240;
inline constexpr std::size_t kWifiEntryBytes = 36;
inline constexpr std::size_t kSensorEntryBytes = 40;
inline constexpr std::size_t kSensorResultBytes = 56;
inline constexpr std::size_t kLearnPayloadBytes = 52;
inline constexpr std::size_t kCapabilityBytes = 80;
inline constexpr std::size_t kLogTextMax = 1023;
// Largest datagram the station reads in one piece; replies stay within it.
inline constexpr std::size_t kStationBufferBytes = 3072;

// The command header as it travels.
struct CHeader {
    std::uint8_t m_ucStart = kStart;
    std::uint8_t m_ucCode = 0;
    std::uint16_t m_usPayloadLen = 0;
    std::uint32_t m_uiWordA = 0;
    std::uint32_t m_uiWordB = 0;
    std::uint8_t m_ucParam = 0;
    std::array<std::uint8_t, 3> m_extra{};
};

// Little-endian readers; 0 when the field does not lie wholly inside data.
std::uint16_t iGetU16(std::span<const std::uint8_t> data, std::size_t offset);
std::uint32_t iGetU32(std::span<const std::uint8_t> data, std::size_t offset);
// Text of a fixed-width field: up to its first NUL or its full width, cut at the end
// of data.
std::string strGetText(std::span<const std::uint8_t> data, std::size_t offset, std::size_t width);

// Little-endian writers into a buffer already long enough (they assert nothing and
// write nothing past the end).
void vPutU16(CBytes& data, std::size_t offset, std::uint16_t value);
void vPutU32(CBytes& data, std::size_t offset, std::uint32_t value);
// Writes at most `width` bytes of text; the rest of the field stays as it is (zero in
// a fresh buffer). A text of width bytes or more fills the field without a NUL.
void vPutText(CBytes& data, std::size_t offset, std::size_t width, std::string_view text);

// nullopt when data is shorter than a header.
std::optional<CHeader> sParseHeader(std::span<const std::uint8_t> data);
// A zero-filled datagram of 16 + payloadBytes bytes with the header written.
CBytes sMakeDatagram(const CHeader& header, std::size_t payloadBytes);
// A header-only reply: type and status byte.
CBytes sBuildStatusReply(std::uint8_t type, std::uint8_t status);

// What a discovery reply tells about a device.
struct CDiscoveryInfo {
    std::string m_strWiredIp, m_strWiredMask, m_strWiredGateway, m_strWiredDns;
    bool m_fgWiredDhcp = false;
    std::string m_strWifiIp, m_strWifiMask, m_strWifiGateway, m_strWifiDns;
    bool m_fgWifiDhcp = false;
    CMac m_wiredMac{};
    CMac m_wifiMac{};
    std::string m_strUid;
    std::string m_strVersion;
    std::uint32_t m_uiSdTotalMb = 0;
    std::uint32_t m_uiSdFreeMb = 0;
    std::uint32_t m_uiFlags = 0;
};
// The 240-byte discovery reply.
CBytes sBuildDiscoveryReply(const CDiscoveryInfo& info);

// One Wi-Fi network as the login reply lists it.
struct CWifiListEntry {
    std::uint8_t m_ucEncryption = 0;
    std::uint16_t m_usIntensity = 0;
    std::string m_strSsid;  // UTF-8, at most 32 bytes are sent
};
// Login reply 180 (accepted) or 181 (refused): detector flags in bytes 13 to 15, the
// Wi-Fi list with the 1-based number of the connected network (0 for none).
CBytes sBuildLoginReply(bool accepted, const std::array<bool, 3>& detectors,
                        std::span<const CWifiListEntry> networks, int connectedNumber);

// Capability block (type 192) of 80 bytes.
CBytes sBuildCapabilityReply(bool panoramic, bool gateway);

// Configuration text (type 144) and log text (type 184): the payload length is the
// text length; a NUL follows the text. Log texts are cut to kLogTextMax bytes.
CBytes sBuildConfigTextReply(std::string_view text);
CBytes sBuildLogReply(std::string_view text);

// One sensor as the list, learning and test replies carry it.
struct CSensorRecord {
    std::uint8_t m_ucIndex = 0;
    std::uint8_t m_ucKind = 0;
    std::string m_strName;  // UTF-8
    std::int32_t m_iMainValue = 0;
    std::uint16_t m_usSecondValue = 0;
    std::uint16_t m_usThirdValue = 0;
    std::int32_t m_iSendDb = 0;
    std::int32_t m_iRecvDb = 0;
};
// Sensor list (type 146): count in header byte 4, 40-byte entries.
CBytes sBuildSensorListReply(std::span<const CSensorRecord> sensors);
// Learning replies (109 and 173) with the new sensor's index at payload offset 36.
CBytes sBuildLearnReply(std::uint8_t type, const CSensorRecord& sensor);
// Test (80) and calibration (82) results: status in byte 12 (1 = failed), 56-byte payload.
CBytes sBuildSensorResultReply(std::uint8_t type, std::uint8_t status, const CSensorRecord& sensor);

// One stream's encoder settings.
struct CStreamSettings {
    std::uint8_t m_ucResolution = 0;
    std::uint8_t m_ucFrameRate = 0;
    std::uint16_t m_usBitRate = 0;
    std::int32_t m_iStandard = 0;
    bool operator==(const CStreamSettings&) const = default;
};
// Video parameters reply (type 126, payload 16 bytes).
CBytes sBuildVideoReply(const CStreamSettings& mainStream, const CStreamSettings& subStream);
// Reads the main and sub stream records of a write request (32 bytes or more).
std::optional<std::array<CStreamSettings, 2>> sParseVideoRequest(
    std::span<const std::uint8_t> data);

// Motor replies: timers (type 38) and positions (type 40) with their status byte.
CBytes sBuildMotorTimerReply(std::uint8_t status, std::uint8_t timerH, std::uint8_t timerV);
CBytes sBuildMotorPosReply(std::uint8_t status, std::uint16_t posH, std::uint16_t posV);

// Extended reply (type 26): sub-command in word B, word A, payload.
CBytes sBuildExtReply(std::uint32_t subCommand, std::uint32_t wordA,
                      std::span<const std::uint32_t> payloadWords);

// Wi-Fi connection result (type 166) with the SSID of the joined network.
CBytes sBuildWifiConnectedReply(std::string_view ssid);

// The 28-byte announcement asking the recorder group for a login; the device's
// address (network order) follows the 16-byte head.
CBytes sBuildAnnouncement(std::uint32_t messageType, std::uint32_t deviceAddrNet);

// Network settings of one block as the set-network requests carry them.
struct CNetRequest {
    std::string m_strIp, m_strMask, m_strGateway, m_strDns;
    bool m_fgDhcp = false;
};
std::optional<CNetRequest> sParseNetRequest(std::span<const std::uint8_t> data);

// Ways a reply can be spoilt on purpose, to test the station's checks.
enum class EMalform : std::uint8_t {
    None,
    Short,        // one byte less than it should have
    Truncated,    // cut inside the header (8 bytes)
    Long,         // one zero byte more
    LyingCounts,  // counts and lengths point past the end of the datagram
};
// Spoils a reply in place as the kind says.
void vMalform(CBytes& reply, EMalform kind);
// Text names of the kinds for the command line: "short", "truncated", "long", "lying".
std::optional<EMalform> sMalformFromText(std::string_view text);

}  // namespace devsim
