#pragma once

// One simulated device: everything it knows about itself, the switches that make it
// misbehave for tests, and its answer to each request. No sockets here: the fleet
// (dev_sim_fleet.h) receives the datagrams, hands them to the device and sends what
// the device returns, so the device logic is tested without a network.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "devsim/sim_horn_behaviour.h"
#include "devsim/sim_motor.h"
#include "devsim/sim_stream_behaviour.h"
#include "devsim/sim_upgrade_wire.h"
#include "devsim/sim_wire.h"
#include "net/socket_layer.h"

namespace devsim {

using CSimClock = std::chrono::steady_clock;
using CSimTime = CSimClock::time_point;

// One IPv4 settings block (wired or Wi-Fi) as the device reports it.
struct CSimNetBlock {
    std::string m_strIp;
    std::string m_strMask;
    std::string m_strGateway;
    std::string m_strDns;
    bool m_fgDhcp = false;
};

// A Wi-Fi network the device sees, with the password that joins it.
struct CSimWifiNet {
    std::string m_strSsid;            // UTF-8, at most 32 bytes go on the wire
    std::uint8_t m_ucEncryption = 0;  // 0 = open: any password joins
    std::uint16_t m_usIntensity = 0;
    std::string m_strPassword;
};

// Sensor kinds the device knows how to describe.
inline constexpr std::uint8_t kSensorDoor = 3;
inline constexpr std::uint8_t kSensorAlarm = 4;
inline constexpr std::uint8_t kSensorSmoke = 5;
inline constexpr std::uint8_t kSensorClimate = 7;
inline constexpr std::uint8_t kSensorGas = 8;
inline constexpr std::uint8_t kSensorSocket = 10;
inline constexpr std::uint8_t kSensorKeyFob = 11;
inline constexpr std::uint8_t kSensorWater = 27;
inline constexpr std::uint8_t kSensorSiren = 1;  // reports only its signal
// The device keeps at most this many sensors (a list reply stays below 3072 bytes).
inline constexpr std::size_t kSensorsMax = 64;
// Configuration items kept at most.
inline constexpr std::size_t kConfigItemsMax = 64;

// Device flags word bits.
inline constexpr std::uint32_t kFlagCamera = 0x80000000U;
inline constexpr std::uint32_t kFlagPanoramic = 0x20000000U;

// What a device is and holds. Tests and the program may change any field; the
// addresses in the blocks are what the device reports, while the address it listens
// on moves only through the set-network requests and the factory reset.
struct CSimDeviceState {
    std::string m_strUid;
    std::string m_strVersion;
    CMac m_wiredMac{};
    CMac m_wifiMac{};
    CSimNetBlock m_wired;
    CSimNetBlock m_wifi;
    // The device answers from its Wi-Fi address (m_wifi.m_strIp) instead of its wired one.
    bool m_fgOverWifi = false;
    std::uint32_t m_uiFlags = 0;
    std::uint32_t m_uiSdTotalMb = 0;  // 0: no SD card
    std::uint32_t m_uiSdFreeMb = 0;
    std::string m_strUser = "admin";
    std::string m_strPassword;
    // Infrared detector, infrared detector triggered, gateway (login reply bytes 13 to 15).
    std::array<bool, 3> m_detectors{};
    std::vector<CSimWifiNet> m_wifiNets;
    int m_iWifiConnected = 0;      // 1-based number in m_wifiNets; 0 when not connected
    CSimNetBlock m_wifiOnConnect;  // the Wi-Fi block the device takes when it joins
    std::vector<CSensorRecord> m_sensors;
    CStreamSettings m_mainStream;
    CStreamSettings m_subStream;
    std::uint8_t m_ucMotorTimerH = 0;
    std::uint8_t m_ucMotorTimerV = 0;
    std::uint16_t m_usMotorPosH = 0;
    std::uint16_t m_usMotorPosV = 0;
    std::uint8_t m_ucFlip = 0;      // 0 normal, 1 vertical, 2 horizontal, 3 both
    std::uint8_t m_ucDayNight = 0;  // 0 auto, 1 night, 2 day
    // Configuration items in the order the text lists them ("key=value" lines).
    std::vector<std::pair<std::string, std::string>> m_config;
    std::array<std::uint32_t, 4> m_keyFunctions{};

    // What the device was asked to do, for tests to look at.
    std::uint32_t m_uiRequests = 0;
    std::uint32_t m_uiUpgradeRequests = 0;
    std::uint32_t m_uiFormats = 0;
    std::uint32_t m_uiRestarts = 0;
    std::uint32_t m_uiResets = 0;
    std::int32_t m_iLastKeyCode = -1;
    CBytes m_lastKeyParams;
    std::int32_t m_iLastPtzDirection = -1;
    // The camera actions received, oldest first (the last kCameraActionsKept).
    static constexpr std::size_t kCameraActionsKept = 64;
    std::vector<std::uint32_t> m_cameraActions;
    std::uint32_t m_uiStreamOpens = 0;
    std::uint32_t m_uiHornOpens = 0;
    CSimHornLog m_horn;
    CSimStreamLog m_stream;
    // Firmware transfers: connections taken, transfers received completely, and the
    // files of the last complete one.
    std::uint32_t m_uiUpgConnections = 0;
    std::uint32_t m_uiUpgTransfers = 0;
    std::vector<CSimUpgFile> m_upgFiles;

    bool fgIsCamera() const { return (m_uiFlags & kFlagCamera) != 0; }
    bool fgIsPanoramic() const { return (m_uiFlags & kFlagPanoramic) != 0; }
    // The configuration item's value, or an empty text.
    std::string strConfig(const std::string& key) const;
    // The configuration text as the device sends it: one "key=value\n" line per item.
    std::string strConfigText() const;
};

// Switches that make one device misbehave on purpose.
struct CSimBehaviour {
    bool m_fgSilent = false;  // answers nothing (announcements still go out on request)
    int m_iDelayMs = 0;       // every reply leaves this much later
    int m_iCopies = 1;        // every reply is sent this many times (1 to 10)
    EMalform m_eMalform = EMalform::None;      // every reply is spoilt this way
    bool m_fgRefuseLogin = false;              // every login is refused, whatever the password
    int m_iRestartMs = 3000;                   // silence after a restart or factory reset
    int m_iWifiConnectMs = 1000;               // time to join a Wi-Fi network
    int m_iLearnMs = 0;                        // time until learning ends (0: at once)
    bool m_fgLearnFails = false;               // learning ends without a new sensor
    CSimStreamBehaviour m_stream;              // the live stream service
    EUpgMode m_eUpgMode = EUpgMode::kListen;   // how the firmware transfer connects
    EUpgFault m_eUpgFault = EUpgFault::kNone;  // what goes wrong during it
    // After a transfer it confirmed, the device restarts: silent this long (0: it
    // does not restart), then reporting m_strUpgVersion (empty: its old version).
    int m_iUpgRestartMs = 0;
    std::string m_strUpgVersion;
    CSimHornBehaviour m_horn;  // the horn receiver
};

// The default device number `index` of a fleet: cameras of the four types and
// gateways in turn, a 20-character upper-case UID, MACs and a Wi-Fi address derived
// from the index, wired settings for addrNet on a network of `prefix` bits.
CSimDeviceState sMakeDefaultState(std::size_t index, std::uint32_t addrNet, int prefix,
                                  const std::string& password);

// Makes the device answer over Wi-Fi: its wired settings become its Wi-Fi settings
// (joined to its first network) and the wired block reads 0.0.0.0, as with the cable
// pulled. The discovery reply then carries the sender's address as the Wi-Fi address.
void vAnswerOverWifi(CSimDeviceState& state);

// A device and its runtime state. Not thread-safe: the fleet serialises all calls.
class CSimDevice {
  public:
    CSimDevice(CSimDeviceState state, CSimBehaviour behaviour, std::uint32_t addrNet);

    // What a request makes the device do.
    struct COutcome {
        std::vector<CBytes> m_replies;          // to the requester, in this order
        std::optional<std::uint32_t> m_moveTo;  // answer from this address after the replies
        bool m_fgRestart = false;               // silent for the restart time after the replies
    };
    // Tells whether the device may take an address (free, allowed, bound ready).
    using FAddressCheck = std::function<bool(std::uint32_t addrNet)>;

    // Handles one request datagram from `from`. Requests shorter than their layout are
    // ignored (no reply). canMove is asked before the device takes a new address.
    COutcome sHandle(std::span<const std::uint8_t> request, const CEndpoint& from, CSimTime now,
                     const FAddressCheck& canMove);

    // Log datagrams to send to `m_target` while printing is on, and the answers of
    // timed work to their requesters.
    struct CLogOutput {
        CEndpoint m_target;
        std::vector<CBytes> m_lines;
        std::vector<std::pair<CEndpoint, CBytes>> m_answers;
    };
    // Timed work: finishes a Wi-Fi connection and a learning that are due, ends
    // printing that is no longer kept alive, and returns the datagrams due for sending.
    CLogOutput sTick(CSimTime now);

    // False while the device is switched silent or restarting.
    bool fgAnswers(CSimTime now) const;
    // Starts a restart: silent until the restart time (or silenceMs) has passed.
    void vRestart(CSimTime now, std::optional<int> silenceMs = std::nullopt);
    // The device now listens on addrNet; its reported address follows.
    void vMovedTo(std::uint32_t addrNet);
    // Remembers the current state as the factory state a reset returns to.
    void vKeepFactoryState();

    std::uint32_t iAddr() const { return m_uiAddrNet; }
    const CSimDeviceState& sState() const { return m_state; }
    CSimDeviceState& sState() { return m_state; }
    const CSimBehaviour& sBehaviour() const { return m_behaviour; }
    CSimBehaviour& sBehaviour() { return m_behaviour; }
    bool fgPrinting() const { return m_printTarget.has_value(); }

    // The discovery reply for the current state.
    CBytes sDiscoveryReply() const;

  private:
    struct CPendingWifi {
        int m_iNumber = 0;  // 1-based
        CSimTime m_due;
    };
    struct CPendingLearn {
        bool m_fgKeyFob = false;
        CEndpoint m_requester;
        CSimTime m_due;
    };

    void vHandleRequest(const CHeader& header, std::span<const std::uint8_t> request,
                        const CEndpoint& from, CSimTime now, const FAddressCheck& canMove,
                        COutcome& outcome);
    void vHandleLogin(std::span<const std::uint8_t> request, COutcome& outcome) const;
    void vHandleNetwork(bool wired, std::span<const std::uint8_t> request,
                        const FAddressCheck& canMove, COutcome& outcome);
    void vHandleFactoryReset(const FAddressCheck& canMove, COutcome& outcome);
    void vHandleExtended(const CHeader& header, std::span<const std::uint8_t> request,
                         COutcome& outcome);
    void vHandleConnectWifi(std::span<const std::uint8_t> request, CSimTime now, COutcome& outcome);
    void vHandleConfigItem(std::span<const std::uint8_t> request, COutcome& outcome);
    void vHandleLearn(bool keyFob, const CEndpoint& from, CSimTime now, COutcome& outcome);
    // The reply that ends a learning: a new sensor, or the failure.
    CBytes sFinishLearn(bool keyFob);
    void vHandleSensorResult(std::uint8_t code, std::span<const std::uint8_t> request,
                             COutcome& outcome);
    void vHandleMotor(std::uint8_t code, std::span<const std::uint8_t> request, CSimTime now,
                      COutcome& outcome);
    // Brings the reported motor positions up to now; a motor at its target stops.
    void vAdvanceMotors(CSimTime now);
    void vHandleKeyCommand(const CHeader& header, std::span<const std::uint8_t> request,
                           COutcome& outcome);
    void vSetConfig(const std::string& key, const std::string& value);
    void vFinishWifi(int number);
    void vLog(std::string line);
    CSensorRecord* psFindSensor(std::uint32_t index);
    int iFreeSensorIndex() const;

    CSimDeviceState m_state;
    CSimBehaviour m_behaviour;
    std::uint32_t m_uiAddrNet = 0;
    CSimDeviceState m_factory;
    std::uint32_t m_uiFactoryAddrNet = 0;
    CSimTime m_silentUntil{};
    std::optional<CPendingWifi> m_pendingWifi;
    std::array<std::optional<CSimMotorRun>, 2> m_motorRuns;  // H, V: the move under way
    std::optional<CPendingLearn> m_pendingLearn;
    int m_iSensorToName = -1;  // index of the key fob waiting for its name
    bool m_fgMacUpdatePending = false;
    std::optional<CEndpoint> m_printTarget;
    CSimTime m_lastPrintRequest{};
    CSimTime m_nextStatusLine{};
    std::deque<std::string> m_pendingLog;
    std::uint32_t m_uiLogNumber = 0;
};

}  // namespace devsim
