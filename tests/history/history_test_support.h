#pragma once

// Records for the history's tests and the shared throw-away server.

#include <memory>
#include <string>

#include "history/device_record.h"
#include "support/pg_server.h"

// A complete record: two steps and a file, device text as given.
inline CDeviceRecord sTestRecord(const std::string& uid, long long timeMs,
                                 const std::string& kind = "check") {
    CDeviceRecord record;
    record.m_strKey = strNewRecordKey();
    record.m_llTimeMs = timeMs;
    record.m_strStation = "bench-1";
    record.m_strOperator = "anna";
    record.m_strUid = uid;
    record.m_strMac = "02:00:00:00:00:01";
    record.m_strAddress = "10.0.0.5";
    record.m_strVersion = "V1.2.3";
    record.m_strKind = kind;
    record.m_eOutcome = EJobOutcome::kFail;
    record.m_strReason = "uid";
    record.m_llDurationMs = 1234;
    record.m_steps = {{"login", EJobOutcome::kPass, "", 12},
                      {"uid", EJobOutcome::kFail, "not 20 upper-case", 1}};
    record.m_files = {{"kernel.bin", "kernel", 4096, std::string(64, 'a')}};
    return record;
}

// The suite's server, started at the first call; nullptr (reason set) when there is
// none.
inline CPgServer* psTestServer(std::string& reason) {
    static std::string startReason;
    static const std::unique_ptr<CPgServer> server = CPgServer::psStart(startReason);
    reason = startReason;
    return server.get();
}
