#include "check/line_check_run.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

#include "check/check_report.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string strLocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
    return text.data();
}

}  // namespace

CLineCheckRun::CLineCheckRun(IUdpSender& sender, CLineCheckOptions options)
    : m_options(std::move(options)), m_check(sender, m_options) {}

bool CLineCheckRun::fgPrepare(const std::string& reportBase, std::string& error) {
    m_startedAt = std::time(nullptr);
    m_strFolder = strMakeReportFolder(reportBase, m_startedAt, error);
    if (m_strFolder.empty()) {
        return false;
    }
    m_check.vSetSnapshotDir(m_strFolder);
    return true;
}

CLineCheckRunEnd CLineCheckRun::sRun(const std::vector<CCheckTarget>& targets,
                                     const std::string& benchText, ICheckProgress* progress) {
    const Clock::time_point start = Clock::now();
    CCheckReport report;
    report.m_rows = m_check.vecRun(targets, progress);
    report.m_lMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    report.m_strStarted = strLocalTime(m_startedAt);
    report.m_strBench = benchText;
    CLineCheckRunEnd end;
    end.m_strFolder = m_strFolder;
    if (!fgWriteCheckReport(m_strFolder, report, end.m_strError)) {
        // A report folder with no report in it would look like a run's result.
        std::error_code ignored;
        std::filesystem::remove(m_strFolder, ignored);
        end.m_strFolder.clear();
    }
    end.m_lPassed =
        static_cast<long>(std::count_if(report.m_rows.begin(), report.m_rows.end(),
                                        [](const CDeviceCheck& row) { return row.fgPassed(); }));
    end.m_lFailed = static_cast<long>(report.m_rows.size()) - end.m_lPassed;
    end.m_rows = std::move(report.m_rows);
    return end;
}

std::vector<std::string> vecFailureTexts(const CDeviceCheck& row) {
    std::vector<std::string> texts;
    for (std::size_t s = 0; s < kCheckStepCount; ++s) {
        const CStepResult& step = row.m_steps[s];
        if (step.m_eOutcome == EStepOutcome::kFail) {
            texts.push_back(std::string(strStepName(static_cast<ECheckStep>(s))) + ": " +
                            step.m_strReason);
        }
    }
    return texts;
}

std::string strDeviceDoneLine(const CDeviceCheck& row, int done, int total) {
    std::string line = row.m_strIp + " " + (row.fgPassed() ? "PASS" : "FAIL") + " (" +
                       std::to_string(done) + "/" + std::to_string(total) + ", " +
                       std::to_string(row.m_lMs) + " ms)";
    for (const std::string& failure : vecFailureTexts(row)) {
        line += " " + failure + ";";
    }
    return line;
}
