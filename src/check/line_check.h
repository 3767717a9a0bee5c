#pragma once

// The line check: the sequence a production line runs on every device of its bench
// each shift. For each device, in parallel with a bounded number at once: it answers
// the search; it accepts the login; its UID has 20 upper-case letters and digits and
// no other device of the bench has it; its firmware version is the expected one; it has
// an SD card; it sees a Wi-Fi network; its video channel delivers a key frame that
// decodes in time into a picture that is not uniform (the picture is kept as a PNG);
// its listen channel delivers sound; its horn takes the test sound. Each step ends
// PASS, FAIL or SKIPPED with a reason and its time. A device's failure never stops the
// others, and the whole run ends within its time limit (plus one step's own limit).
//
//   ... search ...
//   CLineCheck check(lan.transport(), options);
//   const std::vector<CDeviceCheck> rows = check.vecRun(targets, &progress);
//
// The login and the streams use sockets of the check's own (sCheckLogin, the stream
// clients): nothing the check does shows in the station's lists. CLineCheckRun
// (line_check_run.h) adds the report folder and files.
//
// Threads: vecRun blocks its caller and runs the devices on its own worker threads;
// vStop may be called from any thread (the progress view's stop button).

#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "check/check_result.h"
#include "check/login_replies.h"
#include "media/stream_wire.h"
#include "net/lan_interfaces.h"
#include "protocol/dev_info.h"

using CCheckSteps = std::bitset<kCheckStepCount>;

struct CLineCheckOptions {
    CCheckSteps m_steps;               // the steps to run (the search step always runs)
    std::string m_strVersion;          // the version step's expected version
    std::string m_strPassword;         // empty: the device default
    int m_iParallel = 8;               // devices checked at once, 1 to 256
    int m_iStreamId = kStreamSub;      // the video step's stream
    int m_iLoginLimitMs = 2000;        // the login step: four requests within this
    int m_iVideoLimitMs = 8000;        // to a decoded key frame
    int m_iAudioLimitMs = 5000;        // to the frames wanted
    int m_iAudioFrames = 10;           // 20 ms frames the audio step wants
    int m_iHornLimitMs = 15000;        // the whole test sound
    int m_iRunLimitMs = 300000;        // no step starts after this
    double m_dUniformDeviation = 4.0;  // a luma deviation below it is a uniform picture
    std::string m_strHornFile;         // the test sound
    std::string m_strSnapshotDir;      // where pictures are kept (empty: not kept)
    int m_iThumbnailWidth = 160;       // of the copy kept for the report page
};

// One device to check: its address and, when it answered the search, its record.
struct CCheckTarget {
    std::uint32_t m_uiAddrNet = 0;
    std::optional<CDevInfo> m_record;
};

// What the check reports while it runs; returns at once (a window queues each call
// onto its UI thread). vOnStepDone is called on the worker threads, vOnDeviceDone on
// the thread that runs vecRun, one device at a time; no lock of the check is held.
class ICheckProgress {
  public:
    virtual ~ICheckProgress() = default;
    virtual void vOnStepDone(const std::string& ip, ECheckStep step, const CStepResult& result) {
        (void)ip;
        (void)step;
        (void)result;
    }
    // The device's row is complete; done of total devices are finished. One device at a
    // time, done counting up.
    virtual void vOnDeviceDone(const CDeviceCheck& row, int done, int total) = 0;
};

class CLineCheck {
  public:
    // sender outlives the check (the horn step's requests go through it).
    CLineCheck(IUdpSender& sender, CLineCheckOptions options);

    // Where the video step keeps its pictures (before vecRun).
    void vSetSnapshotDir(std::string folder) { m_options.m_strSnapshotDir = std::move(folder); }

    // Checks every target; the rows in the order of targets. progress may be null.
    std::vector<CDeviceCheck> vecRun(const std::vector<CCheckTarget>& targets,
                                     ICheckProgress* progress);
    // No further step starts; running steps end early where they can.
    void vStop() { m_stop.request_stop(); }

  private:
    // sharedWith: the other addresses with the device's UID, blank-separated.
    void vCheckDevice(const CCheckTarget& target, const std::string& sharedWith, CDeviceCheck& row,
                      const std::stop_token& stop, ICheckProgress* progress);
    CStepResult sLoginStep(std::uint32_t addrNet, std::optional<CLoginAnswer>& answer,
                           const std::stop_token& stop);
    CStepResult sVideoStep(std::uint32_t addrNet, CDeviceCheck& row, const std::stop_token& stop);
    CStepResult sAudioStep(std::uint32_t addrNet, const std::stop_token& stop);
    CStepResult sHornStep(const std::string& ip);

    IUdpSender& m_sender;
    CLineCheckOptions m_options;
    std::stop_source m_stop;
    std::chrono::steady_clock::time_point m_runDeadline{};
};

// The UID rule of the bench: exactly 20 characters, each 'A'-'Z' or '0'-'9'.
bool fgUidWellFormed(const std::string& uid);
