#pragma once

// The report of a line check: one row per device (address, UID, MAC, version, every
// step's outcome, reason and time, the kept picture) as CSV and JSON, and a
// self-contained HTML page (pictures embedded as small PNGs, failed devices first),
// written into a folder named after the date and time of the run.

#include <ctime>
#include <string>
#include <vector>

#include "check/check_result.h"

struct CCheckReport {
    std::string m_strStarted;  // "2026-12-09 17:04:05", local time
    long m_lMs = 0;            // the whole run
    std::string m_strBench;    // the expected-bench summary lines, or empty
    std::vector<CDeviceCheck> m_rows;
};

// Header "ip,uid,mac,version,passed,ms,snapshot" then, per step, "<step>,<step>_ms,
// <step>_reason", then "history" (the kestrel-cli command line that shows the device's
// recorded jobs: by its UID when well formed, else by its address); one line per row. Device texts
// are quoted by the CSV rules and made harmless for spreadsheets.
std::string strCheckCsv(const std::vector<CDeviceCheck>& rows);
// {"started", "ms", "passed", "failed", "bench": [lines], "devices": [{"ip", "uid",
// "mac", "version", "passed", "ms", "snapshot", "steps": {"<step>": {"outcome",
// "reason", "ms"}}}]}
std::string strCheckJson(const CCheckReport& report);
// The page; every text is escaped, pictures are data: URLs; each device with the
// command line of its history.
std::string strCheckHtml(const CCheckReport& report);

// Creates base/check-YYYYMMDD-HHMMSS (local time of when; "-2", "-3", ... appended
// when it exists) and returns its path; empty with the reason in error on failure.
std::string strMakeReportFolder(const std::string& base, std::time_t when, std::string& error);
// Writes report.csv, report.json and report.html into folder. false with the reason.
bool fgWriteCheckReport(const std::string& folder, const CCheckReport& report, std::string& error);

// The bytes as standard base64 with padding.
std::string strBase64(const std::vector<std::uint8_t>& bytes);
