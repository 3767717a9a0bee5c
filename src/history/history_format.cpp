#include "history/history_format.h"

#include <cstdio>

#include "app/shown_text.h"
#include "protocol/dev_list_format.h"

namespace {

std::string strStepsText(const CDeviceRecord& record) {
    std::string text;
    for (const CRecordStep& step : record.m_steps) {
        text += (text.empty() ? "" : ";") + step.m_strName + ":" +
                std::string(strJobOutcomeName(step.m_eOutcome));
        if (step.m_eOutcome == EJobOutcome::kFail && !step.m_strReason.empty()) {
            text += "(" + step.m_strReason + ")";
        }
    }
    return text;
}

std::string strFilesText(const CDeviceRecord& record) {
    std::string text;
    for (const CRecordFile& file : record.m_files) {
        text += (text.empty() ? "" : ";") + file.m_strName + ":" + file.m_strSha256;
    }
    return text;
}

}  // namespace

std::string strHistoryTable(const std::vector<CDeviceRecord>& records) {
    std::string text;
    char line[512] = {};
    std::snprintf(line, sizeof line, "%-24s %-14s %-12s %-9s %-20s %-17s %-15s %-14s %s\n",
                  "TIME (UTC)", "STATION", "KIND", "OUTCOME", "UID", "MAC", "ADDRESS", "VERSION",
                  "REASON");
    text += line;
    for (const CDeviceRecord& record : records) {
        std::snprintf(line, sizeof line, "%-24s %-14s %-12s %-9s %-20s %-17s %-15s %-14s %s\n",
                      strUtcTime(record.m_llTimeMs).c_str(),
                      strShownText(record.m_strStation).c_str(), record.m_strKind.c_str(),
                      std::string(strJobOutcomeName(record.m_eOutcome)).c_str(),
                      strShownText(record.m_strUid).c_str(), record.m_strMac.c_str(),
                      record.m_strAddress.c_str(), strShownText(record.m_strVersion).c_str(),
                      strShownText(record.m_strReason).c_str());
        text += line;
        for (const CRecordStep& step : record.m_steps) {
            if (step.m_eOutcome == EJobOutcome::kFail) {
                text += "    " + step.m_strName + ": " + strShownText(step.m_strReason) + "\n";
            }
        }
    }
    return text;
}

std::string strHistoryJson(const std::vector<CDeviceRecord>& records) {
    std::string json = "[";
    for (std::size_t r = 0; r < records.size(); ++r) {
        const CDeviceRecord& record = records[r];
        json +=
            std::string(r == 0 ? "\n" : ",\n") + "  {\"time\": \"" + strUtcTime(record.m_llTimeMs) +
            "\", \"time_ms\": " + std::to_string(record.m_llTimeMs) +
            ", \"station\": " + strJsonString(record.m_strStation) +
            ", \"operator\": " + strJsonString(record.m_strOperator) +
            ", \"uid\": " + strJsonString(record.m_strUid) +
            ", \"mac\": " + strJsonString(record.m_strMac) +
            ", \"address\": " + strJsonString(record.m_strAddress) +
            ", \"version\": " + strJsonString(record.m_strVersion) +
            ", \"kind\": " + strJsonString(record.m_strKind) + ", \"outcome\": \"" +
            std::string(strJobOutcomeName(record.m_eOutcome)) +
            "\", \"reason\": " + strJsonString(record.m_strReason) +
            ", \"duration_ms\": " + std::to_string(record.m_llDurationMs) +
            ", \"version_after\": " + strJsonString(record.m_strVersionAfter) + ", \"steps\": [";
        for (std::size_t s = 0; s < record.m_steps.size(); ++s) {
            const CRecordStep& step = record.m_steps[s];
            json += std::string(s == 0 ? "" : ", ") +
                    "{\"name\": " + strJsonString(step.m_strName) + ", \"outcome\": \"" +
                    std::string(strJobOutcomeName(step.m_eOutcome)) +
                    "\", \"reason\": " + strJsonString(step.m_strReason) +
                    ", \"ms\": " + std::to_string(step.m_llMs) + "}";
        }
        json += "], \"files\": [";
        for (std::size_t f = 0; f < record.m_files.size(); ++f) {
            const CRecordFile& file = record.m_files[f];
            json += std::string(f == 0 ? "" : ", ") +
                    "{\"name\": " + strJsonString(file.m_strName) +
                    ", \"type\": " + strJsonString(file.m_strType) +
                    ", \"bytes\": " + std::to_string(file.m_llBytes) +
                    ", \"sha256\": " + strJsonString(file.m_strSha256) + "}";
        }
        json += "]}";
    }
    json += records.empty() ? "]\n" : "\n]\n";
    return json;
}

std::string strHistoryCsv(const std::vector<CDeviceRecord>& records) {
    std::string csv =
        "time,station,operator,uid,mac,address,version,kind,outcome,reason,duration_ms,"
        "version_after,steps,files\r\n";
    for (const CDeviceRecord& record : records) {
        csv += strUtcTime(record.m_llTimeMs) + "," + strCsvField(record.m_strStation) + "," +
               strCsvField(record.m_strOperator) + "," + strCsvField(record.m_strUid) + "," +
               strCsvField(record.m_strMac) + "," + strCsvField(record.m_strAddress) + "," +
               strCsvField(record.m_strVersion) + "," + strCsvField(record.m_strKind) + "," +
               std::string(strJobOutcomeName(record.m_eOutcome)) + "," +
               strCsvField(record.m_strReason) + "," + std::to_string(record.m_llDurationMs) + "," +
               strCsvField(record.m_strVersionAfter) + "," + strCsvField(strStepsText(record)) +
               "," + strCsvField(strFilesText(record)) + "\r\n";
    }
    return csv;
}
