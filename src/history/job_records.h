#pragma once

// The records of the station's jobs, built from what each job reports: a line check's
// rows, an upgrade's per-device results, a device command's outcome. Pure functions
// except vecDescribeFiles, which reads the files it describes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_result.h"
#include "history/device_record.h"
#include "protocol/dev_info.h"
#include "upgrade/upgrade_view.h"

// Who ran the jobs, the same for every record of a run.
struct CJobContext {
    std::string m_strStation;
    std::string m_strOperator;
};

// A record of kind for the device at address: its UID, wired MAC and version from the
// device's record when the station has one (device may be null), time now, a new key.
CDeviceRecord sJobRecord(const CJobContext& context, std::string_view kind,
                         const std::string& address, const CDevInfo* device);

// A device's reply that ends a setting command, as the history records it.
struct CSettingReply {
    std::string_view m_strKind;  // kJobSetUid, ...
    EJobOutcome m_eOutcome;
};
// The setting command that a reply code (CCmdResult::m_iCode) ends, with its outcome;
// nothing for every other code. For a front end that sees replies rather than waiting
// for one (the window).
std::optional<CSettingReply> sSettingReply(int replyCode);

// One line-check row: one step per step that ran (skipped steps are kept as skipped),
// pass when no step failed, the failed steps' names as the reason.
CDeviceRecord sCheckRecord(const CJobContext& context, const CDeviceCheck& row);

// The files of an upgrade: name without folder, type, size and SHA-256 of the content
// (empty with size 0 when the file cannot be read).
std::vector<CRecordFile> vecDescribeFiles(const std::vector<CUpgFile>& files);

// One device's upgrade from its verdict: pass only when the device confirmed every file
// (and came back with the expected version, when one was asked for), no-answer when it
// was not reached, error when it never started, else fail with the verdict's reason;
// the UID and the versions before and after as the upgrade heard them (else from the
// device's record, which also gives the MAC; device may be null).
CDeviceRecord sUpgradeRecord(const CJobContext& context, const CUpgDeviceResult& result,
                             const CDevInfo* device, const std::vector<CRecordFile>& files);
