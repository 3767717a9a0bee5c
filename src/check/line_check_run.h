#pragma once

// One run of the line check as both front ends start it: the report folder named after
// the run's start, the check of every target, and the report (CSV, JSON, HTML) written
// at its end. The CLI prints its progress and end; the window shows them.
//
//   CLineCheckRun run(sender, options);
//   if (!run.fgPrepare(reportBase, error)) { ... }
//   const CLineCheckRunEnd end = run.sRun(targets, benchText, &progress);
//
// Threads: sRun blocks its caller (the CLI's main thread, the window's worker) and
// calls progress on the check's workers; vStop from any thread.

#include <ctime>
#include <string>
#include <vector>

#include "check/line_check.h"

struct CLineCheckRunEnd {
    std::vector<CDeviceCheck> m_rows;
    std::string m_strFolder;  // where the report is; empty when it could not be written
    std::string m_strError;   // why not
    long m_lPassed = 0;
    long m_lFailed = 0;
};

class CLineCheckRun {
  public:
    // sender outlives the run (the horn step's requests go through it).
    CLineCheckRun(IUdpSender& sender, CLineCheckOptions options);

    // Creates the report folder under base, named after now; false with the reason in
    // error. The pictures of the video step are kept there.
    bool fgPrepare(const std::string& reportBase, std::string& error);
    const std::string& strFolder() const { return m_strFolder; }

    // Checks every target, then writes the report with benchText (the expected-bench
    // summary, or empty). Once per run, after fgPrepare.
    CLineCheckRunEnd sRun(const std::vector<CCheckTarget>& targets, const std::string& benchText,
                          ICheckProgress* progress);
    // No further step starts; the report is still written.
    void vStop() { m_check.vStop(); }

  private:
    CLineCheckOptions m_options;
    std::time_t m_startedAt = 0;
    std::string m_strFolder;
    CLineCheck m_check;
};

// "step: reason" for every failed step of the row, in step order.
std::vector<std::string> vecFailureTexts(const CDeviceCheck& row);
// The line of a finished device: "<ip> PASS|FAIL (<done>/<total>, <ms> ms)", then
// " step: reason;" for every failed step.
std::string strDeviceDoneLine(const CDeviceCheck& row, int done, int total);
