#include "check/check_report.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <numeric>

#include "app/atomic_file.h"
#include "app/shown_text.h"
#include "app/text_conv.h"
#include "check/line_check.h"
#include "protocol/dev_list_format.h"

namespace {

constexpr int kFolderTriesMax = 100;

std::vector<std::size_t> vecFailuresFirst(const std::vector<CDeviceCheck>& rows) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_partition(order.begin(), order.end(),
                          [&rows](std::size_t i) { return !rows[i].fgPassed(); });
    return order;
}

std::string strHtml(const std::string& raw) {
    std::string out;
    for (const char c : strShownText(raw, ELineBreaks::kKeep)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int iPassedCount(const std::vector<CDeviceCheck>& rows) {
    return static_cast<int>(std::count_if(rows.begin(), rows.end(),
                                          [](const CDeviceCheck& row) { return row.fgPassed(); }));
}

std::vector<std::string> vecLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

constexpr const char* kStyle = R"(body{font-family:sans-serif;margin:1.5em;color:#222}
table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:4px 6px;vertical-align:top;
font-size:13px}th{background:#eee}td.PASS{background:#dff5df}td.FAIL{background:#f9d6d5}
td.SKIPPED{background:#f4f4f4;color:#888}small{color:#555}tr.failed td.dev{border-left:4px solid
#c62828}tr.passed td.dev{border-left:4px solid #2e7d32}.sum{font-size:16px}pre{background:#f7f7f7;
padding:6px})";

}  // namespace

std::string strBase64(const std::vector<std::uint8_t>& bytes) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) |
                                    (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0U) |
                                    (left > 2 ? std::uint32_t{bytes[i + 2]} : 0U);
        out += kAlphabet[(group >> 18) & 0x3F];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += left > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out += left > 2 ? kAlphabet[group & 0x3F] : '=';
    }
    return out;
}

namespace {

// The command line that shows the device's history: by its UID when it keeps to the
// bench's rule (so it is safe on a command line), else by its address.
std::string strHistoryCommand(const CDeviceCheck& row) {
    return "kestrel-cli history " + (fgUidWellFormed(row.m_strUid) ? row.m_strUid : row.m_strIp);
}

}  // namespace

std::string strCheckCsv(const std::vector<CDeviceCheck>& rows) {
    std::string csv = "ip,uid,mac,version,passed,ms,snapshot";
    for (std::size_t s = 0; s < kCheckStepCount; ++s) {
        const std::string name(strStepName(static_cast<ECheckStep>(s)));
        csv += "," + name + "," + name + "_ms," + name + "_reason";
    }
    csv += ",history\n";
    for (const CDeviceCheck& row : rows) {
        csv += strCsvField(row.m_strIp) + "," + strCsvField(row.m_strUid) + "," +
               strCsvField(row.m_strMac) + "," + strCsvField(row.m_strVersion) + "," +
               (row.fgPassed() ? "yes" : "no") + "," + std::to_string(row.m_lMs) + "," +
               strCsvField(row.m_strSnapshot);
        for (const CStepResult& step : row.m_steps) {
            csv += "," + std::string(strOutcomeName(step.m_eOutcome)) + "," +
                   std::to_string(step.m_lMs) + "," + strCsvField(step.m_strReason);
        }
        csv += "," + strCsvField(strHistoryCommand(row)) + "\n";
    }
    return csv;
}

std::string strCheckJson(const CCheckReport& report) {
    const int passed = iPassedCount(report.m_rows);
    std::string json = "{\n  \"started\": " + strJsonString(report.m_strStarted) +
                       ",\n  \"ms\": " + std::to_string(report.m_lMs) +
                       ",\n  \"passed\": " + std::to_string(passed) + ",\n  \"failed\": " +
                       std::to_string(static_cast<int>(report.m_rows.size()) - passed) +
                       ",\n  \"bench\": [";
    const std::vector<std::string> bench = vecLines(report.m_strBench);
    for (std::size_t i = 0; i < bench.size(); ++i) {
        json += (i == 0 ? "" : ", ") + strJsonString(bench[i]);
    }
    json += "],\n  \"devices\": [";
    for (std::size_t r = 0; r < report.m_rows.size(); ++r) {
        const CDeviceCheck& row = report.m_rows[r];
        json += std::string(r == 0 ? "\n" : ",\n") + "    {\"ip\": " + strJsonString(row.m_strIp) +
                ", \"uid\": " + strJsonString(row.m_strUid) +
                ", \"mac\": " + strJsonString(row.m_strMac) +
                ", \"version\": " + strJsonString(row.m_strVersion) +
                ", \"passed\": " + (row.fgPassed() ? "true" : "false") +
                ", \"ms\": " + std::to_string(row.m_lMs) +
                ", \"snapshot\": " + strJsonString(row.m_strSnapshot) + ", \"steps\": {";
        for (std::size_t s = 0; s < kCheckStepCount; ++s) {
            const CStepResult& step = row.m_steps[s];
            json += std::string(s == 0 ? "" : ", ") + "\"" +
                    std::string(strStepName(static_cast<ECheckStep>(s))) + "\": {\"outcome\": \"" +
                    std::string(strOutcomeName(step.m_eOutcome)) +
                    "\", \"reason\": " + strJsonString(step.m_strReason) +
                    ", \"ms\": " + std::to_string(step.m_lMs) + "}";
        }
        json += "}}";
    }
    return json + (report.m_rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string strCheckHtml(const CCheckReport& report) {
    const int passed = iPassedCount(report.m_rows);
    const int failed = static_cast<int>(report.m_rows.size()) - passed;
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Line check " +
                       strHtml(report.m_strStarted) + "</title><style>" + kStyle +
                       "</style></head>\n<body>\n<h1>Line check " + strHtml(report.m_strStarted) +
                       "</h1>\n<p class=\"sum\">" + std::to_string(report.m_rows.size()) +
                       " devices: " + std::to_string(passed) + " passed, " +
                       std::to_string(failed) + " failed, in " +
                       std::to_string(report.m_lMs / 1000) + " s</p>\n";
    if (!report.m_strBench.empty()) {
        html += "<pre>" + strHtml(report.m_strBench) + "</pre>\n";
    }
    html += "<table>\n<tr><th>Device</th><th>Picture</th>";
    for (std::size_t s = 0; s < kCheckStepCount; ++s) {
        html += "<th>" + std::string(strStepName(static_cast<ECheckStep>(s))) + "</th>";
    }
    html += "</tr>\n";
    for (const std::size_t index : vecFailuresFirst(report.m_rows)) {
        const CDeviceCheck& row = report.m_rows[index];
        html += std::string("<tr class=\"") + (row.fgPassed() ? "passed" : "failed") +
                "\"><td class=\"dev\"><b>" + strHtml(row.m_strIp) + "</b><br>" +
                strHtml(row.m_strUid) + "<br><small>" + strHtml(row.m_strMac) + "<br>" +
                strHtml(row.m_strVersion) + "<br><code>" + strHtml(strHistoryCommand(row)) +
                "</code></small></td><td>";
        if (!row.m_thumbnailPng.empty()) {
            html += "<img alt=\"" + strHtml(row.m_strSnapshot) + "\" src=\"data:image/png;base64," +
                    strBase64(row.m_thumbnailPng) + "\">";
        }
        html += "</td>";
        for (const CStepResult& step : row.m_steps) {
            const std::string outcome(strOutcomeName(step.m_eOutcome));
            html += "<td class=\"" + outcome + "\">" + outcome + "<br><small>" +
                    strHtml(step.m_strReason) + "</small>";
            if (step.m_eOutcome != EStepOutcome::kSkipped) {
                html += "<br><small>" + std::to_string(step.m_lMs) + " ms</small>";
            }
            html += "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>\n</body></html>\n";
}

std::string strMakeReportFolder(const std::string& base, std::time_t when, std::string& error) {
    std::tm local{};
    localtime_r(&when, &local);
    std::array<char, 32> stamp{};
    std::strftime(stamp.data(), stamp.size(), "check-%Y%m%d-%H%M%S", &local);
    std::error_code code;
    std::filesystem::create_directories(base, code);
    if (code) {
        error = "cannot create " + base + ": " + code.message();
        return {};
    }
    for (int attempt = 1; attempt <= kFolderTriesMax; ++attempt) {
        const std::filesystem::path folder =
            std::filesystem::path(base) /
            (std::string(stamp.data()) + (attempt == 1 ? "" : "-" + std::to_string(attempt)));
        if (std::filesystem::create_directory(folder, code)) {
            return folder.string();
        }
        if (code) {
            error = "cannot create " + folder.string() + ": " + code.message();
            return {};
        }
    }
    error = "too many reports of the same second in " + base;
    return {};
}

bool fgWriteCheckReport(const std::string& folder, const CCheckReport& report, std::string& error) {
    const std::array<std::pair<const char*, std::string>, 3> files{{
        {"report.csv", strCheckCsv(report.m_rows)},
        {"report.json", strCheckJson(report)},
        {"report.html", strCheckHtml(report)},
    }};
    for (const auto& [name, text] : files) {
        if (!fgWriteFileAtomic(folder + "/" + name, text, error)) {
            return false;
        }
    }
    return true;
}
