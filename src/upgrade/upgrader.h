#pragma once

// The firmware upgrade of a set of devices. One command is one run: the run owns its
// device list from the start and ends, with one summary naming every device, when
// the last of them has its verdict. A bounded pool of named worker threads carries
// the devices; each worker takes one device at a time through its whole upgrade:
//   1. a search sent to the device for its version and UID (its answer waited for at
//      most 200 ms), then the upgrade request;
//   2. up to 25 connect attempts to the device's TCP port 24215, each bounded to
//      m_iConnectWaitMs (3 s) and spaced by m_iConnectRetryMs (995 ms), unless the
//      device opens a connection to the station's listener (TCP 24214) first: a
//      device that never answers ends after at most about 25 x 4 s = 100 s;
//   3. the file head and the files, streamed from disk, while the device's answers
//      are read on the same thread;
//   4. the verdict: a file is delivered only when a "RECVFILE OK" arrives after its
//      last byte went out (an answer confirms every file sent completely before it);
//      the device succeeded only when every file was confirmed. Closed, reset, timed
//      out or silent for m_iAnswerWaitMs after the last byte: failed, with the figures;
//   5. with an expected version: the worker waits for the device to restart and
//      answer a search again, and compares the version it reports.
//
//   CUpgrader upgrader(transport, view);
//   transport.vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
//   upgrader.iStartUpgrade(files, {"10.0.0.5", "10.0.0.6"}, plan);
//   ... view.vOnUpgradeDeviceState per change; vOnUpgradeSummary ends the run ...
//   upgrader.iRetryFailed();
//   transport.UnInit();  // before the upgrader goes: the listener's handler points at it
//
// A command while a run goes joins that run: a device without a record is added to it;
// a device whose record has not connected yet gets the files added (at most eight in
// all); a device whose transfer runs is refused with a kBusy event.
//
// Waves: with CUpgPlan::m_iWave N, devices are started N at a time, a wave when the
// previous one has ended. With m_iStopAfter K, once K devices have failed no further
// device is started; those left are "not started".
//
// Threads: the public members may be called from any thread; vOnAccepted returns at
// once (it runs on the transport's receive thread). Workers are started only by
// iStartUpgrade/iRetryFailed (never under the table lock, never on the receive
// thread); a worker that cannot be started makes the run use fewer, and a run with
// none fails its devices ("no thread for the transfer"). View calls come from the
// workers and from the calling thread, never under the table lock.
//
// Memory: each transfer holds one chunk of a file at a time, whatever the file sizes.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "upgrade/upg_file_type.h"
#include "upgrade/upgrade_view.h"

class CUpgAcceptInfo;
class CWorker;

// Port of the device that takes the transfer connection.
inline constexpr std::uint16_t kPortDeviceUpgrade = 24215;
// Port of the device that answers a search.
inline constexpr std::uint16_t kPortDeviceSearch = 24218;

// Limits of a transfer; the defaults are those of the bench, tests shorten them.
struct CUpgOptions {
    std::uint16_t m_usDevicePort = kPortDeviceUpgrade;
    std::uint16_t m_usSearchPort = kPortDeviceSearch;
    int m_iConnectAttempts = 25;
    int m_iConnectWaitMs = 3000;  // each attempt's connect time
    int m_iConnectRetryMs = 995;  // pause after a failed attempt
    // After the last byte, the device has this long to confirm.
    int m_iAnswerWaitMs = 10000;
    // A transfer that moves no byte for this long has stalled.
    int m_iStallMs = 11000;
    std::size_t m_iChunkBytes = std::size_t{64} * 1024;
    // Worker threads at most; devices beyond wait for a free worker.
    int m_iWorkers = 64;
    // How often a device being verified is asked for its version.
    int m_iProbePeriodMs = 1000;
    // Called on the worker as it takes a device, before anything is sent (tests use it
    // to hold devices back).
    std::function<void(const std::string& address)> m_fnOnDeviceStart;
};

// How a run proceeds; fixed when the run starts.
struct CUpgPlan {
    int m_iWave = 0;                 // devices at a time; 0: all (bounded by the workers)
    int m_iStopAfter = 0;            // failures after which no device is started; 0: never
    std::string m_strExpectVersion;  // empty: no verification
    std::chrono::seconds m_verifyTimeout{180};
};

class CUpgrader {
  public:
    // sender carries the upgrade requests; view receives every report. Both outlive
    // the upgrader.
    CUpgrader(IUdpSender& sender, IUpgradeView& view, CUpgOptions options = {});
    // Stops every transfer (each worker looks at its stop at least every 50 ms; a
    // connect attempt's wait included) and joins every worker.
    ~CUpgrader();
    CUpgrader(const CUpgrader&) = delete;
    CUpgrader& operator=(const CUpgrader&) = delete;

    // Upgrades every target (dotted address text) with the files (1 to 8, as chosen by
    // sChooseUpgFiles). Starts a run with plan when none goes, else joins the running
    // one (whose plan stays). Returns the number of devices added or extended; -1 when
    // files is empty or holds more than eight.
    int iStartUpgrade(const std::vector<CUpgFile>& files, const std::vector<std::string>& targets,
                      const CUpgPlan& plan = {});
    // Starts the same files again, with the same plan, for every device of the last run
    // that did not succeed. The number started; 0 while a run still goes or none failed.
    int iRetryFailed();

    // Takes over a connection a device opened to the listener. A connection from an
    // address whose record is not contacting, or is already connected, is closed at
    // once. Never blocks.
    void vOnAccepted(CSocket connection, const CEndpoint& peer);
    // For CMySocket::vSetUpgradeAcceptHandler: hands each accepted connection to
    // vOnAccepted.
    std::function<void(CSocket, const CEndpoint&)> fnAcceptHandler();

    // The devices of the current (or last) run, in address-text order, with the bytes
    // sent so far. Cheap: meant to be polled a few times a second.
    std::vector<CUpgDeviceResult> vecRunDevices() const;
    // True while a run goes.
    bool fgRunning() const;
    // Records in the table (a record lives from the command to the device's verdict).
    std::size_t iRecordCount() const;
    // Worker threads started so far (at most CUpgOptions::m_iWorkers).
    std::size_t iWorkerCount() const;

  private:
    using RecordPtr = std::shared_ptr<CUpgAcceptInfo>;
    // How a device's transfer or verification ended.
    struct CTransferEnd {
        EUpgOutcome m_eOutcome = EUpgOutcome::kFailed;
        EUpgReason m_eReason = EUpgReason::kNone;
    };

    // Starts workers, outside the table lock, until wanted run (or the limit). false
    // when none runs at all.
    bool fgEnsureWorkers(std::size_t wanted);
    void vWorkerLoop(const std::stop_token& stop);
    // Fails every device not taken by a worker (no worker could be started).
    void vFailUnstarted();
    // One device, start to verdict, on a worker.
    void vRunDevice(CUpgAcceptInfo& record);
    // Connects (or takes the listener's connection); an invalid socket when the
    // attempts ran out or the station stops.
    CSocket sConnect(CUpgAcceptInfo& record, const CSocket& probe, CUpgDeviceResult& facts);
    CTransferEnd sTransfer(CUpgAcceptInfo& record, CSocket& connection, const CSocket& probe,
                           CUpgDeviceResult& facts);
    // Waits for the device to come back with the expected version.
    CTransferEnd sVerify(CUpgAcceptInfo& record, const CSocket& probe, CUpgDeviceResult& facts,
                         const CUpgPlan& plan);
    // Reads the search answers of the device waiting on probe: its UID into facts and
    // the version it reports into version. true when one came.
    static bool fgReadProbe(const CSocket& probe, std::uint32_t addrNet, CUpgDeviceResult& facts,
                            std::string& version);
    void vAskVersion(const CSocket& probe, std::uint32_t addrNet) const;
    // Waits briefly for the answer to the first search, unless the version is known.
    static void vTakeVersionBefore(const CSocket& probe, std::uint32_t addrNet,
                                   CUpgDeviceResult& facts);

    // Publishes a phase change of the record (with what its worker learnt) to its row
    // and the view.
    void vSetPhase(CUpgAcceptInfo& record, EUpgPhase phase, const CUpgDeviceResult& facts);
    static void vCopyFacts(const CUpgDeviceResult& facts, CUpgDeviceResult& entry);
    // Enters the verdict of the worker's record: removes it from the table, starts the
    // next wave when due, and reports the devices ended and, after the last, the summary.
    void vFinish(CUpgAcceptInfo& record, EUpgOutcome outcome, EUpgReason reason,
                 const CUpgDeviceResult& facts);
    // Writes the verdict into the record's row and removes the record. Under the lock.
    CUpgDeviceResult sEndLocked(const CUpgAcceptInfo& record, EUpgOutcome outcome,
                                EUpgReason reason);
    // Moves waiting records to the workers' queue as the plan allows; after the run's
    // failure limit ends the records not begun instead (appended to ended). Under the
    // table lock.
    void vReleaseLocked(std::vector<CUpgDeviceResult>& ended);
    // Reports the devices ended and, when the run is over and every device has been
    // reported, the summary. Outside the table lock.
    void vReportEnded(const std::vector<CUpgDeviceResult>& ended);
    void vReport(const CUpgEvent& event) const;
    CUpgDeviceResult sLiveResult(const CUpgDeviceResult& entry) const;
    CUpgPlan sPlan() const;

    IUdpSender& m_sender;
    IUpgradeView& m_view;
    const CUpgOptions m_options;

    mutable std::mutex m_tableLock;
    std::condition_variable_any m_changed;  // a record was queued or handed a connection
    std::map<std::string, RecordPtr> m_table;
    std::deque<RecordPtr> m_waiting;  // in the run, not yet released to the workers
    std::deque<RecordPtr> m_queue;    // released, not yet taken by a worker
    int m_iReleased = 0;              // released and not yet ended (the current wave)
    bool m_fgRunActive = false;
    bool m_fgStopped = false;  // the run reached its failure limit
    bool m_fgClosing = false;
    std::uint64_t m_uiRun = 0;  // number of the current or last run
    int m_iUnreported = 0;      // devices ended whose reports are still being made
    CUpgPlan m_plan;
    // The devices of the current or last run, by address text.
    std::map<std::string, CUpgDeviceResult> m_run;
    std::vector<std::unique_ptr<CWorker>> m_workers;  // guarded by m_workersLock
    mutable std::mutex m_workersLock;
};
