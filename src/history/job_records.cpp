#include "history/job_records.h"

#include <nettle/sha2.h>

#include <fstream>

#include "protocol/cmd_header.h"
#include "upgrade/upg_file_type.h"

namespace {

EJobOutcome eStepOutcome(EStepOutcome outcome) {
    switch (outcome) {
        case EStepOutcome::kPass:
            return EJobOutcome::kPass;
        case EStepOutcome::kFail:
            return EJobOutcome::kFail;
        case EStepOutcome::kSkipped:
            break;
    }
    return EJobOutcome::kSkipped;
}

// "kernel", "rootfs", ... from the type's result-pane key ("kernel file ").
std::string strTypeName(std::uint32_t type) {
    std::string key = strUpgTypeKey(type);
    const std::size_t end = key.find(" file");
    return end == std::string::npos ? "unknown" : key.substr(0, end);
}

std::string strBaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<CSettingReply> sSettingReply(int replyCode) {
    struct CRow {
        std::uint8_t m_byReply;
        CSettingReply m_reply;
    };
    // Only replies that mean one command each: the "no SD card" answer to a format is
    // also the answer to other requests, so a format is recorded only when it worked.
    static constexpr CRow kRows[] = {
        {kReplySetUidOk, {kJobSetUid, EJobOutcome::kPass}},
        {kReplySetUidFailed, {kJobSetUid, EJobOutcome::kFail}},
        {kReplyPasswordOk, {kJobSetPassword, EJobOutcome::kPass}},
        {kReplyPasswordFailed, {kJobSetPassword, EJobOutcome::kFail}},
        {kReplyWiredNetOk, {kJobSetNet, EJobOutcome::kPass}},
        {kReplyWiredNetFailed, {kJobSetNet, EJobOutcome::kFail}},
        {kReplyWifiNetOk, {kJobSetNet, EJobOutcome::kPass}},
        {kReplyWifiNetFailed, {kJobSetNet, EJobOutcome::kFail}},
        {kReplyWifiJoinOk, {kJobWifiConnect, EJobOutcome::kPass}},
        {kReplyFactoryReset, {kJobReset, EJobOutcome::kPass}},
        {kReplyFormatSdOk, {kJobFormatSd, EJobOutcome::kPass}},
    };
    for (const CRow& row : kRows) {
        if (row.m_byReply == replyCode) {
            return row.m_reply;
        }
    }
    return std::nullopt;
}

CDeviceRecord sJobRecord(const CJobContext& context, std::string_view kind,
                         const std::string& address, const CDevInfo* device) {
    CDeviceRecord record;
    record.m_strKey = strNewRecordKey();
    record.m_llTimeMs = iNowUtcMs();
    record.m_strStation = context.m_strStation;
    record.m_strOperator = context.m_strOperator;
    record.m_strAddress = address;
    record.m_strKind = kind;
    if (device != nullptr) {
        record.m_strUid = device->m_strUid;
        record.m_strMac = strNormalMac(device->m_strEthMac);
        record.m_strVersion = device->m_strVersion;
    }
    return record;
}

CDeviceRecord sCheckRecord(const CJobContext& context, const CDeviceCheck& row) {
    CDeviceRecord record = sJobRecord(context, kJobCheck, row.m_strIp, nullptr);
    record.m_strUid = row.m_strUid;
    record.m_strMac = strNormalMac(row.m_strMac);
    record.m_strVersion = row.m_strVersion;
    record.m_llDurationMs = row.m_lMs;
    record.m_eOutcome = row.fgPassed() ? EJobOutcome::kPass : EJobOutcome::kFail;
    for (std::size_t s = 0; s < kCheckStepCount; ++s) {
        const CStepResult& step = row.m_steps[s];
        const std::string name(strStepName(static_cast<ECheckStep>(s)));
        record.m_steps.push_back({name, eStepOutcome(step.m_eOutcome), step.m_strReason,
                                  static_cast<long long>(step.m_lMs)});
        if (step.m_eOutcome == EStepOutcome::kFail) {
            record.m_strReason += (record.m_strReason.empty() ? "" : " ") + name;
        }
    }
    return record;
}

std::vector<CRecordFile> vecDescribeFiles(const std::vector<CUpgFile>& files) {
    std::vector<CRecordFile> described;
    for (const CUpgFile& file : files) {
        CRecordFile entry{strBaseName(file.m_strPath), strTypeName(file.m_uiType), 0, {}};
        std::ifstream in(file.m_strPath, std::ios::binary);
        sha256_ctx hash{};
        sha256_init(&hash);
        std::vector<char> chunk(64 * 1024);
        long long bytes = 0;
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const std::streamsize got = in.gcount();
            if (got <= 0) {
                break;
            }
            sha256_update(&hash, static_cast<std::size_t>(got),
                          reinterpret_cast<const std::uint8_t*>(chunk.data()));
            bytes += got;
        }
        if (in.eof() && !in.bad()) {
            std::uint8_t digest[SHA256_DIGEST_SIZE] = {};
            sha256_digest(&hash, sizeof digest, digest);
            static constexpr char kHex[] = "0123456789abcdef";
            for (const std::uint8_t byte : digest) {
                entry.m_strSha256 += kHex[byte >> 4];
                entry.m_strSha256 += kHex[byte & 0xF];
            }
            entry.m_llBytes = bytes;
        }
        described.push_back(std::move(entry));
    }
    return described;
}

CDeviceRecord sUpgradeRecord(const CJobContext& context, const CUpgDeviceResult& result,
                             const CDevInfo* device, const std::vector<CRecordFile>& files) {
    CDeviceRecord record = sJobRecord(context, kJobUpgrade, result.m_strDevice, device);
    // The upgrade's own search answers are newer than the station's list.
    if (!result.m_strUid.empty()) {
        record.m_strUid = result.m_strUid;
    }
    if (!result.m_strVersionBefore.empty()) {
        record.m_strVersion = result.m_strVersionBefore;
    }
    record.m_strVersionAfter = result.m_strVersionAfter;
    record.m_llDurationMs = static_cast<long long>(result.m_elapsed.count());
    record.m_files = files;
    switch (result.m_eOutcome) {
        case EUpgOutcome::kSucceeded:
            record.m_eOutcome = result.m_fgConfirmed ? EJobOutcome::kPass : EJobOutcome::kFail;
            break;
        case EUpgOutcome::kNoAnswer:
            record.m_eOutcome = EJobOutcome::kNoAnswer;
            break;
        case EUpgOutcome::kNotStarted:
            record.m_eOutcome = EJobOutcome::kError;
            break;
        case EUpgOutcome::kRunning:
        case EUpgOutcome::kFailed:
            record.m_eOutcome = EJobOutcome::kFail;
            break;
    }
    if (record.m_eOutcome != EJobOutcome::kPass) {
        record.m_strReason = strUpgReasonText(result);
        if (record.m_strReason.empty()) {
            record.m_strReason = "not confirmed by the device";
        }
    }
    return record;
}
