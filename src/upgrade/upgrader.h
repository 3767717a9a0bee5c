#pragma once

// The firmware upgrade of a set of devices: for every device the upgrade request, a
// connect thread that reaches the device's TCP port 24215, or the connection the device
// opens to the station's listener (TCP 24214), whichever comes first; then a sender
// that streams the file head and the files from disk, and a receiver that reads the
// device's answers. Results go to an IUpgradeView as values.
//
//   CUpgrader upgrader(transport, view);
//   transport.vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
//   const CUpgChoice choice = sChooseUpgFiles(paths, kUpgTypeByPath);
//   (one kFileRejected line per path in choice.m_rejected, through strUpgEventLine)
//   upgrader.iStartUpgrade(choice.m_files, {"10.0.0.5", "10.0.0.6"});
//   ... poll vecRunDevices() for progress; vOnUpgradeSummary() ends the run ...
//   upgrader.iRetryFailed();
//   transport.UnInit();  // before the upgrader goes: the listener's handler points at it
//
// A command for a device that already has a record extends that record while it is
// still connecting (at most eight files in all) and is refused with a kBusy event once
// its transfer runs: the device has then received its file head and cannot take more.
//
// Memory: each transfer holds one chunk of a file at a time, whatever the file sizes.
// Threads: the public members may be called from any thread; vOnAccepted returns at
// once (it runs on the transport's receive thread).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "upgrade/upg_file_type.h"
#include "upgrade/upgrade_view.h"

class CUpgAcceptInfo;

// Port of the device that takes the transfer connection.
inline constexpr std::uint16_t kPortDeviceUpgrade = 24215;

// Limits of a transfer; the defaults are those of the bench, tests shorten them.
struct CUpgOptions {
    std::uint16_t m_usDevicePort = kPortDeviceUpgrade;
    int m_iConnectAttempts = 25;
    int m_iConnectRetryMs = 995;  // pause after a failed attempt
    // The sender's wait for the device's answer after the last file.
    int m_iAnswerWaitMs = 1000;
    // A send that moves nothing (no room within m_iSendWaitMs, or an error) is retried
    // after m_iSendRetryMs; m_iSendErrorsMax such sends in a row fail the transfer.
    int m_iSendWaitMs = 200;
    int m_iSendRetryMs = 20;
    int m_iSendErrorsMax = 50;
    int m_iRecvWaitMs = 1000;  // the receiver's wait for data
    std::size_t m_iChunkBytes = std::size_t{64} * 1024;
};

class CUpgrader {
  public:
    // sender carries the upgrade requests; view receives every report. Both outlive
    // the upgrader.
    CUpgrader(IUdpSender& sender, IUpgradeView& view, CUpgOptions options = {});
    // Stops every transfer (within about the receive wait) and joins every thread.
    ~CUpgrader();
    CUpgrader(const CUpgrader&) = delete;
    CUpgrader& operator=(const CUpgrader&) = delete;

    // Upgrades every target (dotted address text) with the files (1 to 8, as chosen by
    // sChooseUpgFiles): the upgrade request goes out and a connect thread starts per
    // device. A run begins when no transfer is running and ends with the summary when
    // its last transfer ends. Returns the number of devices started or extended; -1
    // when files is empty or holds more than eight.
    int iStartUpgrade(const std::vector<CUpgFile>& files, const std::vector<std::string>& targets);
    // Starts the same files again for every device of the last run that failed or did
    // not answer. The number started; 0 while a run is still going or nothing failed.
    int iRetryFailed();

    // Takes over a connection a device opened to the listener. A connection from an
    // address without a record, or for a record that is already connected, is closed
    // at once. Never blocks.
    void vOnAccepted(CSocket connection, const CEndpoint& peer);
    // For CMySocket::vSetUpgradeAcceptHandler: hands each accepted connection to
    // vOnAccepted.
    std::function<void(CSocket, const CEndpoint&)> fnAcceptHandler();

    // The devices of the current (or last) run, in address-text order, with the bytes
    // sent so far. Cheap: meant to be polled a few times a second.
    std::vector<CUpgDeviceResult> vecRunDevices() const;
    // True while any transfer runs.
    bool fgRunning() const;
    // Records in the table (a record lives from the request to the end of its transfer).
    std::size_t iRecordCount() const;

  private:
    using RecordPtr = std::unique_ptr<CUpgAcceptInfo>;

    // Binds the connection to the device's record and starts its sender and receiver.
    void vSendFileHandle(std::uint32_t addrNet, CSocket connection, bool byListener);
    void ConnectThreadProc(const std::stop_token& stop, CUpgAcceptInfo& record);
    void SendFile(CUpgAcceptInfo& record);
    void Recv(CUpgAcceptInfo& record);
    // Sends all of data unless the state changes; 0 sent, -1 failed, -2 stopped.
    int iSendAll(CUpgAcceptInfo& record, std::span<const std::uint8_t> data, bool fileBytes);
    // Removes the record from the table with its outcome, reports lastEvent (when given),
    // the device's result and, when it was the last, the run's summary. Runs on the
    // record's last thread. false (nothing done) when the record is no longer in the
    // table, or is connected while onlyUnbound is set.
    bool fgRetire(CUpgAcceptInfo& record, EUpgOutcome outcome, EUpgReason reason,
                  const CUpgEvent* lastEvent, bool onlyUnbound);
    // Destroys the retired records whose threads have finished, outside the lock.
    void vReap();
    void vReport(const CUpgEvent& event) const;
    CUpgDeviceResult sLiveResult(const CUpgDeviceResult& entry) const;

    IUdpSender& m_sender;
    IUpgradeView& m_view;
    const CUpgOptions m_options;

    mutable std::mutex m_tableLock;
    std::map<std::string, RecordPtr> m_table;
    std::vector<RecordPtr> m_retired;
    // The devices of the current or last run, by address text.
    std::map<std::string, CUpgDeviceResult> m_run;
};
