#pragma once

// The horn test: plays a prepared sound file through a device's loudspeaker. Starting
// it asks the devices that take part to open their audio receiver (a UDP request),
// then a worker thread connects to one device's TCP port 24222 and pushes the file's
// bytes unchanged, in pieces of at most 1,024 bytes; the device plays them. Stopping
// tells the device by UDP to stop. The file's format is the device's business.
//
//   CStationHornLink link(station);
//   CHornTest horn(link, view);
//   horn.iStart(ipText, strFindDataFile(programDir, kHornFileName));  // "Stop Test"
//   ... the view hears of failed connects, progress and one final result ...
//   horn.vStop();                                                      // "Horn Test"
//
// A test stays started after the whole file went out (the device may still be
// playing) until vStop; fgRunning() is what the button shows.
//
// Threads: iStart, vStop and the destructor from one controlling thread (the UI's);
// the view is called on the worker thread and must return at once.

#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "app/one_shot.h"
#include "app/worker.h"

class CStation;
class IUdpSender;

// The sound file the horn test pushes, looked up beside the program.
inline constexpr const char* kHornFileName = "Audio.bin";
inline constexpr std::uint16_t kPortDeviceHorn = 24222;
inline constexpr std::size_t kHornPieceBytes = 1024;

// Where the sound file is: beside the program, else in the per-user folder, else in
// the installed data folder; beside the program when it is nowhere (the result line
// names that path).
std::string strFindHornFile(const std::string& programDir);

// The two UDP requests of the test, sent where the owner decides.
class IHornLink {
  public:
    virtual ~IHornLink() = default;
    // The open-audio-receiver request (command 30) to every device that takes part.
    virtual void vSendOpenHorn() = 0;
    // The stop request (command 48) to the device at ipText.
    virtual void vSendStopHorn(const std::string& ipText) = 0;
};

// The window's link: the open request goes to every device of the station's pool,
// the stop request to the device given. The station outlives the link.
class CStationHornLink final : public IHornLink {
  public:
    explicit CStationHornLink(CStation& station) : m_station(station) {}
    void vSendOpenHorn() override;
    void vSendStopHorn(const std::string& ipText) override;

  private:
    CStation& m_station;
};

// A link to fixed addresses (the CLI, tests): the open request to each of openTargets
// (dotted text; unparsable entries are skipped), the stop request to the device given.
class CUdpHornLink final : public IHornLink {
  public:
    CUdpHornLink(IUdpSender& sender, std::vector<std::string> openTargets);
    void vSendOpenHorn() override;
    void vSendStopHorn(const std::string& ipText) override;

  private:
    IUdpSender& m_sender;
    std::vector<std::uint32_t> m_openTargets;
};

// How a worker ended.
enum class EHornOutcome : std::uint8_t {
    kSent,            // every byte of the file went out
    kStopped,         // the test was stopped first
    kNoFile,          // the file is missing, unreadable or empty (m_strFile: the path)
    kReadFailed,      // the file ended early or could not be read while sending
    kNoSocket,        // no TCP socket could be made
    kConnectFailed,   // every connect attempt failed
    kConnectionLost,  // the connection failed while sending (m_iError)
    kStalled,         // the device took nothing for the send limit
};

// One worker's end, as values.
struct CHornResult {
    EHornOutcome m_eOutcome = EHornOutcome::kSent;
    std::string m_strDevice;  // dotted address text
    std::string m_strFile;    // the path looked for or sent
    std::uint64_t m_ulBytesSent = 0;
    std::uint64_t m_ulBytesTotal = 0;  // the file's size; 0 when unknown
    int m_iConnectAttempts = 0;        // attempts made
    int m_iError = 0;                  // system error number of the failure; 0: none
    bool operator==(const CHornResult&) const = default;
};

// What the horn test reports. Called on the worker thread; returns at once (a window
// queues each call onto its UI thread with copies of the values).
class IHornView {
  public:
    virtual ~IHornView() = default;
    // Connect attempt `attempt` (1-based) failed with the system error number `error`.
    virtual void vOnHornConnectFailed(const std::string& device, int attempt, int error) {
        (void)device;
        (void)attempt;
        (void)error;
    }
    // After every piece that went out: the file bytes sent so far of `total`.
    virtual void vOnHornProgress(const std::string& device, std::uint64_t sent,
                                 std::uint64_t total) {
        (void)device;
        (void)sent;
        (void)total;
    }
    // The worker has ended; exactly once per started worker.
    virtual void vOnHornDone(const CHornResult& result) = 0;
};

// The view of a caller that only waits for the test's end (the CLI, the line check).
class CHornEndWait final : public IHornView {
  public:
    void vOnHornDone(const CHornResult& result) override { m_end.fgPut(result); }
    COneShot<CHornResult>& end() { return m_end; }

  private:
    COneShot<CHornResult> m_end;
};

// The translated result-pane line of a result, beginning with "\r\n".
std::string strHornResultLine(const CHornResult& result);
// Translation key of an outcome.
const char* pszHornOutcomeKey(EHornOutcome outcome);

// Limits of the worker; the defaults are the bench's, tests shorten or lengthen them.
struct CHornOptions {
    std::uint16_t m_usDevicePort = kPortDeviceHorn;
    int m_iConnectAttempts = 3;
    int m_iConnectRetryMs = 40;   // pause after a failed attempt
    int m_iConnectWaitMs = 3000;  // one attempt's limit (a device that never answers)
    int m_iSendStallMs = 5000;    // the device takes nothing this long: kStalled
};

class CHornTest {
  public:
    // How long a restart waits for the previous worker before saying so in a line.
    static constexpr int kWorkerStopWaitMs = 1000;

    // link and view outlive the test.
    CHornTest(IHornLink& link, IHornView& view, CHornOptions options = {});
    // Stops a running worker and waits for it (it notices within about 50 ms). Sends
    // no stop request.
    ~CHornTest();
    CHornTest(const CHornTest&) = delete;
    CHornTest& operator=(const CHornTest&) = delete;

    // Starts a test: the open-audio-receiver request through the link, then the worker
    // that pushes filePath to deviceIp. A worker of an earlier test that is still
    // ending is waited for first. 0 started; -1 deviceIp is not an IPv4 address;
    // -2 no thread.
    int iStart(const std::string& deviceIp, const std::string& filePath);
    // Stops the test: the worker ends before its next connect attempt or piece, and the
    // stop request goes to the device. Returns at once; harmless when not running.
    void vStop();
    // True from iStart until vStop, whether or not the worker still runs.
    bool fgRunning() const;

  private:
    void SendFileThread(const std::stop_token& stop, std::uint32_t addrNet,
                        const std::string& filePath);
    CHornResult sPushFile(const std::stop_token& stop, std::uint32_t addrNet,
                          const std::string& filePath);

    IHornLink& m_link;
    IHornView& m_view;
    const CHornOptions m_options;
    mutable std::mutex m_lock;
    bool m_fgRunning = false;  // guarded by m_lock
    std::string m_strDevice;   // guarded by m_lock
    CWorker m_worker;          // last: stopped and joined before the members it uses go
};
