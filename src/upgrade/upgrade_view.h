#pragma once

// What the firmware upgrade reports, as values: one event per result line, the final
// result of each device and the summary of a whole run. The window, the CLI and the
// tests each implement IUpgradeView; strUpgEventLine and strUpgSummaryLine turn the
// values into the translated lines of the result pane.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "upgrade/upg_file_type.h"

enum class EUpgEvent : std::uint8_t {
    kConnected,      // the transfer connection is up (m_fgByListener: the device called in)
    kTimeout,        // the device never connected
    kHeadNotSent,    // the file head did not go out
    kFileSent,       // one file went out completely (m_strFile, m_uiType, m_ulBytes)
    kDeviceOk,       // the device answered "RECVFILE OK"
    kDeviceFailed,   // the device answered "RECVFILE FAILED"
    kUpgradeFailed,  // the transfer ended before every file went out (m_eReason)
    kFileRejected,   // a chosen file has the wrong or no type (m_strFile holds the path)
    kBusy,           // refused: the device's transfer is already running
};

// Why a device's upgrade did not succeed.
enum class EUpgReason : std::uint8_t {
    kNone,
    kConnectTimeout,  // never connected
    kFileUnreadable,  // a file is missing, empty, unreadable or larger than 2 GiB
    kHeadNotSent,
    kSendFailed,     // the connection stalled or failed while sending
    kDeviceClosed,   // the device closed the connection before every file went out
    kDeviceRefused,  // the device answered "RECVFILE FAILED"
    kStopped,        // the station stopped the transfer (closing)
};

struct CUpgEvent {
    EUpgEvent m_eEvent = EUpgEvent::kConnected;
    std::string m_strDevice;  // dotted address text
    bool m_fgByListener = false;
    std::string m_strFile;  // name sent, or the rejected path
    std::uint32_t m_uiType = 0;
    std::uint64_t m_ulBytes = 0;
    EUpgReason m_eReason = EUpgReason::kNone;
};

// An event of kind for the device, the other fields empty.
CUpgEvent sUpgEvent(EUpgEvent kind, std::string device);

enum class EUpgOutcome : std::uint8_t { kRunning, kSucceeded, kFailed, kNoAnswer };

// One device of a run: what it was sent and how it ended.
struct CUpgDeviceResult {
    std::string m_strDevice;
    std::vector<CUpgFile> m_files;
    std::uint64_t m_ulBytesSent = 0;   // file bytes that went out
    std::uint64_t m_ulBytesTotal = 0;  // file bytes of the transfer (0 until measured)
    EUpgOutcome m_eOutcome = EUpgOutcome::kRunning;
    EUpgReason m_eReason = EUpgReason::kNone;
    bool m_fgConfirmed = false;  // the device answered "RECVFILE OK"
    std::chrono::milliseconds m_elapsed{0};
};

// The end of a run: every device that took part, in address order.
struct CUpgSummary {
    int m_iSucceeded = 0;
    int m_iFailed = 0;
    int m_iNoAnswer = 0;
    std::vector<CUpgDeviceResult> m_devices;
};

// Reports of the upgrade. Called on the upgrade's own threads and on the transport's
// receive thread; an implementation returns at once (a window queues the call onto its
// UI thread, carrying the values).
class IUpgradeView {
  public:
    virtual ~IUpgradeView() = default;
    virtual void vOnUpgradeEvent(const CUpgEvent& event) = 0;
    // A device's transfer has ended (or never started).
    virtual void vOnUpgradeDeviceDone(const CUpgDeviceResult& result) { (void)result; }
    // The last transfer of a run has ended.
    virtual void vOnUpgradeSummary(const CUpgSummary& summary) { (void)summary; }
};

// The translated result-pane line of an event, beginning with "\r\n".
std::string strUpgEventLine(const CUpgEvent& event);
// "Upgrade: 97 succeeded, 2 failed, 1 no answer", then one line per device that did
// not succeed with its reason; translated, each line beginning with "\r\n".
std::string strUpgSummaryLine(const CUpgSummary& summary);
// Translation key of a reason ("" for kNone).
std::string strUpgReasonKey(EUpgReason reason);
// "succeeded", "failed", "no answer" or "running".
std::string strUpgOutcomeName(EUpgOutcome outcome);
