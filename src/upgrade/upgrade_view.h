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
    kDeviceOk,       // a "RECVFILE OK" that confirmed files (repeats are not reported)
    kDeviceFailed,   // the device answered "RECVFILE FAILED" (once per transfer)
    kUpgradeFailed,  // the transfer ended without every file confirmed (m_eReason)
    kFileRejected,   // a chosen file has the wrong or no type (m_strFile holds the path)
    kBusy,           // refused: the device's transfer is already running
};

// Why a device's upgrade did not succeed.
enum class EUpgReason : std::uint8_t {
    kNone,
    kConnectTimeout,  // never connected
    kFileUnreadable,  // a file is missing, empty, unreadable or larger than 2 GiB
    kHeadNotSent,
    kSendFailed,       // the connection stalled or failed while sending
    kDeviceClosed,     // the device closed the connection without confirming every file
    kDeviceReset,      // the connection was reset before every file was confirmed
    kUnconfirmed,      // every byte went out but the device did not confirm in time
    kDeviceRefused,    // the device answered "RECVFILE FAILED"
    kStopped,          // the station stopped the transfer (closing)
    kNotStarted,       // the run stopped after too many failures before this device began
    kNoWorker,         // no thread could be started for the transfer
    kVersionMismatch,  // came back after the upgrade with another version
    kDidNotComeBack,   // did not answer a search again within the verification time
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

// The verdict of a device: kSucceeded only when the device confirmed every file (and,
// when a version was expected, came back with it).
enum class EUpgOutcome : std::uint8_t { kRunning, kSucceeded, kFailed, kNoAnswer, kNotStarted };

// Where a device of a run stands; every change is reported once.
enum class EUpgPhase : std::uint8_t {
    kWaiting,     // in the run, not yet begun (a later wave, or no free worker)
    kContacting,  // upgrade request sent, connecting
    kSending,     // connected: head and files going out
    kConfirming,  // every byte went out; waiting for "RECVFILE OK"
    kVerifying,   // confirmed; waiting for the device to come back with the version
    kEnded,       // the verdict is in m_eOutcome
};

// One device of a run: what it was sent and how it ended.
struct CUpgDeviceResult {
    std::string m_strDevice;
    std::vector<CUpgFile> m_files;
    std::uint64_t m_ulBytesSent = 0;   // file bytes that went out
    std::uint64_t m_ulBytesTotal = 0;  // file bytes of the transfer (0 until measured)
    EUpgOutcome m_eOutcome = EUpgOutcome::kRunning;
    EUpgReason m_eReason = EUpgReason::kNone;
    EUpgPhase m_ePhase = EUpgPhase::kWaiting;
    bool m_fgConfirmed = false;  // the device confirmed every file ("RECVFILE OK")
    int m_iFilesConfirmed = 0;
    bool m_fgByListener = false;     // the device called the station
    std::string m_strUid;            // from the device's search answer, when heard
    std::string m_strVersionBefore;  // reported before the transfer, when heard
    std::string m_strVersionAfter;   // reported after it came back (verification only)
    std::string m_strVersionExpected;
    std::chrono::milliseconds m_elapsed{0};
};

// The end of a run: every device that took part, in address order.
struct CUpgSummary {
    int m_iSucceeded = 0;
    int m_iFailed = 0;
    int m_iNoAnswer = 0;
    int m_iNotStarted = 0;
    std::vector<CUpgDeviceResult> m_devices;
};

// Reports of the upgrade. Called on the upgrader's workers and on the thread that
// gives a command, never under the upgrader's lock nor on the transport's receive
// thread; an implementation only posts and returns (a window queues the call onto its
// UI thread, the CLI onto its own, carrying the values). A device's reports come in
// order; the summary comes after every device's verdict.
class IUpgradeView {
  public:
    virtual ~IUpgradeView() = default;
    virtual void vOnUpgradeEvent(const CUpgEvent& event) = 0;
    // A device of the run changed its phase (m_ePhase); called once per change.
    virtual void vOnUpgradeDeviceState(const CUpgDeviceResult& device) { (void)device; }
    // A device's verdict is in (it ended, or will never start).
    virtual void vOnUpgradeDeviceDone(const CUpgDeviceResult& result) { (void)result; }
    // The last transfer of a run has ended.
    virtual void vOnUpgradeSummary(const CUpgSummary& summary) { (void)summary; }
};

// The translated result-pane line of an event, beginning with "\r\n".
std::string strUpgEventLine(const CUpgEvent& event);
// "Upgrade: 97 succeeded, 2 failed, 1 no answer" (", N not started" when some were
// not), then one line per device that did not succeed with its reason; translated,
// each line beginning with "\r\n".
std::string strUpgSummaryLine(const CUpgSummary& summary);
// Translation key of a reason ("" for kNone).
std::string strUpgReasonKey(EUpgReason reason);
// The reason of a device's verdict with its figures, translated: "device closed after
// 1,500 of 3,000 bytes without confirming", "came back with version X, expected Y".
std::string strUpgReasonText(const CUpgDeviceResult& device);
// "succeeded", "failed", "no answer", "not started" or "running".
std::string strUpgOutcomeName(EUpgOutcome outcome);
// "waiting", "contacting", "sending", "confirming", "verifying" or "ended".
std::string strUpgPhaseName(EUpgPhase phase);
// One line for a device's state: "127.0.0.2 sending 1 file, 3,000 bytes",
// "127.0.0.2 failed: device closed after ...". Translated, without a line break.
std::string strUpgStateLine(const CUpgDeviceResult& device);
// 1234567 as "1,234,567".
std::string strGroupedNumber(std::uint64_t value);
