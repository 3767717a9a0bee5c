#pragma once

// One job the station ran on one device, as the history keeps it: when, where, by
// whom, on which device, what kind of job, how it ended, its steps and, for an
// upgrade, the files sent and the versions before and after.
//
// Text a device sent (UID, version, reasons quoting the device, file names) is kept
// as the bytes it was: it is stored and read back unchanged and made valid UTF-8 only
// where it is shown (strSanitizeUtf8).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How a job or one of its steps ended.
enum class EJobOutcome : std::uint8_t {
    kPass,      // the device confirmed
    kFail,      // the device refused or a check failed
    kNoAnswer,  // the device did not answer in time
    kSkipped,   // a step that did not run
    kError,     // the station could not do its part (send failed, file unreadable)
};

// "pass", "fail", "no-answer", "skipped", "error".
std::string_view strJobOutcomeName(EJobOutcome outcome);
std::optional<EJobOutcome> sJobOutcomeByName(std::string_view name);

// The job kinds the station records; a kind is stored as its name, so a newer
// station's kinds read back as text on an older one.
inline constexpr std::string_view kJobCheck = "check";
inline constexpr std::string_view kJobUpgrade = "upgrade";
inline constexpr std::string_view kJobSetUid = "set-uid";
inline constexpr std::string_view kJobSetPassword = "set-password";
inline constexpr std::string_view kJobSetNet = "set-net";
inline constexpr std::string_view kJobWifiConnect = "wifi-connect";
inline constexpr std::string_view kJobReset = "reset";
inline constexpr std::string_view kJobFormatSd = "format-sd";
inline constexpr std::string_view kJobConfigSet = "config-set";

struct CRecordStep {
    std::string m_strName;  // "login", "uid", ... for a check
    EJobOutcome m_eOutcome = EJobOutcome::kSkipped;
    std::string m_strReason;  // bytes; may quote the device
    long long m_llMs = 0;     // time the step took
    bool operator==(const CRecordStep&) const = default;
};

struct CRecordFile {
    std::string m_strName;  // bytes: the file's name as given, without its folder
    std::string m_strType;  // "kernel", "rootfs", ...
    long long m_llBytes = 0;
    std::string m_strSha256;  // 64 lower-case hexadecimal digits, or empty when unreadable
    bool operator==(const CRecordFile&) const = default;
};

struct CDeviceRecord {
    std::string m_strKey;      // unique over every station: the same record is stored once
    long long m_llTimeMs = 0;  // UTC milliseconds since 1970 when the job ended
    std::string m_strStation;
    std::string m_strOperator;  // empty: not given
    std::string m_strUid;       // bytes, as the device sent it
    std::string m_strMac;       // wired MAC, "AA:BB:CC:DD:EE:FF", or empty
    std::string m_strAddress;   // IPv4 address the job went to
    std::string m_strVersion;   // firmware version seen before the job (bytes)
    std::string m_strKind;      // kJobCheck, ...
    EJobOutcome m_eOutcome = EJobOutcome::kError;
    std::string m_strReason;  // why it did not pass, or what was set
    long long m_llDurationMs = 0;
    std::string m_strVersionAfter;  // an upgrade's version after, when seen
    std::vector<CRecordStep> m_steps;
    std::vector<CRecordFile> m_files;
    bool operator==(const CDeviceRecord&) const = default;
};

// A fresh record key: 32 random hexadecimal digits.
std::string strNewRecordKey();

// Milliseconds since 1970 (UTC) now.
long long iNowUtcMs();

// A MAC address in any of the station's forms ("a:b:c:d:e:f", with blanks, '-' or no
// separators) as "AA:BB:CC:DD:EE:FF"; empty when it does not hold 12 hexadecimal digits.
std::string strNormalMac(std::string_view text);

// What `history` looks up.
enum class EHistoryKey : std::uint8_t { kNone, kUid, kMac, kAddress };

struct CHistoryQuery {
    EHistoryKey m_eKey = EHistoryKey::kNone;
    std::string m_strKey;        // normalised for a MAC
    long long m_llSinceMs = -1;  // -1: from the beginning
    std::string m_strKind;       // empty: every kind
    int m_iLimit = 100;          // newest first, at most this many (1 to 1,000,000)
};

// The query for a key as an operator types it: an IPv4 address, a MAC, else a UID;
// an empty key: the latest records of every device.
CHistoryQuery sQueryForKey(const std::string& key);

// "2026-12-09", "2026-12-09T14:30", "2026-12-09 14:30:05" (UTC) as milliseconds since
// 1970; nullopt for anything else.
std::optional<long long> sParseUtcDateMs(std::string_view text);

// "2026-12-09T14:30:05.123Z".
std::string strUtcTime(long long timeMs);
