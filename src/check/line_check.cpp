#include "check/line_check.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "app/atomic_file.h"
#include "app/dbg_print.h"
#include "app/worker.h"
#include "check/login_check.h"
#include "media/horn_test.h"
#include "media/listen_probe.h"
#include "media/png_image.h"
#include "media/snapshot.h"
#include "net/socket_layer.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kParallelMax = 256;

long lMsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string strFixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

CStepResult sPass(std::string reason) {
    return {EStepOutcome::kPass, std::move(reason), 0};
}
CStepResult sFail(std::string reason) {
    return {EStepOutcome::kFail, std::move(reason), 0};
}
CStepResult sSkip(std::string reason) {
    return {EStepOutcome::kSkipped, std::move(reason), 0};
}

}  // namespace

bool fgUidWellFormed(const std::string& uid) {
    return uid.size() == kUidChars && std::all_of(uid.begin(), uid.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

CLineCheck::CLineCheck(IUdpSender& sender, CLineCheckOptions options)
    : m_sender(sender), m_options(std::move(options)) {}

std::vector<CDeviceCheck> CLineCheck::vecRun(const std::vector<CCheckTarget>& targets,
                                             ICheckProgress* progress) {
    std::vector<CDeviceCheck> rows(targets.size());
    // Who shares a UID: every other address of the bench with the same one.
    std::map<std::string, std::vector<std::size_t>> byUid;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (targets[i].m_record && !targets[i].m_record->m_strUid.empty()) {
            byUid[targets[i].m_record->m_strUid].push_back(i);
        }
    }
    std::vector<std::string> sharedWith(targets.size());
    for (const auto& [uid, holders] : byUid) {
        for (const std::size_t holder : holders) {
            for (const std::size_t other : holders) {
                if (other != holder) {
                    sharedWith[holder] += (sharedWith[holder].empty() ? "" : " ") +
                                          strIpText(targets[other].m_uiAddrNet);
                }
            }
        }
    }
    m_runDeadline = Clock::now() + std::chrono::milliseconds(m_options.m_iRunLimitMs);
    std::atomic<std::size_t> next{0};
    // Finished rows are told from this thread, in the order they finished, with no lock
    // held: a progress that writes to a terminal or a file holds up no worker.
    std::mutex finishedLock;
    std::condition_variable finishedChanged;
    std::deque<std::size_t> finished;
    const auto work = [&](const std::stop_token& stop) {
        for (std::size_t i = next++; i < targets.size(); i = next++) {
            vCheckDevice(targets[i], sharedWith[i], rows[i], stop, progress);
            {
                const std::lock_guard guard(finishedLock);
                finished.push_back(i);
            }
            finishedChanged.notify_one();
        }
    };
    const auto total = static_cast<int>(targets.size());
    const auto workers = static_cast<std::size_t>(
        std::clamp(std::min(m_options.m_iParallel, total), 1, kParallelMax));
    std::vector<CWorker> threads(workers);
    for (std::size_t i = 0; i < workers; ++i) {
        const std::string name = "check-" + std::to_string(i + 1);
        if (const auto started = threads[i].sStart(
                name, [&work, token = m_stop.get_token()](std::stop_token) { work(token); });
            !started) {
            // The workers already running take this one's share.
            vDbgPrint("camkit:err:%s, %d=>%s\r\n", "CLineCheck::vecRun", __LINE__,
                      started.error().m_strReason.c_str());
            if (i == 0) {
                work(m_stop.get_token());
            }
            break;
        }
    }
    for (int done = 0; done < total;) {
        std::size_t index = 0;
        {
            std::unique_lock guard(finishedLock);
            finishedChanged.wait(guard, [&] { return !finished.empty(); });
            index = finished.front();
            finished.pop_front();
        }
        ++done;
        if (progress != nullptr) {
            progress->vOnDeviceDone(rows[index], done, total);
        }
    }
    threads.clear();
    return rows;
}

void CLineCheck::vCheckDevice(const CCheckTarget& target, const std::string& sharedWith,
                              CDeviceCheck& row, const std::stop_token& stop,
                              ICheckProgress* progress) {
    const Clock::time_point start = Clock::now();
    const std::uint32_t addrNet = target.m_uiAddrNet;
    row.m_strIp = strIpText(addrNet);
    const CDevInfo record = target.m_record.value_or(CDevInfo{});
    row.m_strUid = record.m_strUid;
    row.m_strMac = target.m_record ? strShownMac(record) : std::string();
    row.m_strVersion = record.m_strVersion;
    const bool camera = fgDevIsCamera(record.m_uiDevFlags);

    // A step runs when it was asked for and nothing before it rules it out: a device
    // that did not answer the search is checked no further; one that refused the login
    // still has its record checked, but no session step runs.
    std::string blockedBy;
    std::string sessionBlockedBy;
    const auto run = [&](ECheckStep step, auto&& body) {
        CStepResult& result = row.step(step);
        if (step != ECheckStep::kSearch &&
            !m_options.m_steps.test(static_cast<std::size_t>(step))) {
            result = sSkip("not asked");
            return;
        }
        if (!blockedBy.empty()) {
            result = sSkip(blockedBy);
        } else if (stop.stop_requested()) {
            result = sSkip("check stopped");
        } else if (Clock::now() >= m_runDeadline) {
            result = sSkip("run time limit reached");
        } else {
            const Clock::time_point stepStart = Clock::now();
            result = body();
            result.m_lMs = lMsSince(stepStart);
        }
        if (progress != nullptr) {
            progress->vOnStepDone(row.m_strIp, step, result);
        }
    };

    run(ECheckStep::kSearch,
        [&] { return target.m_record ? sPass("answered") : sFail("no answer to the search"); });
    if (!target.m_record) {
        blockedBy = "did not answer the search";
    }
    std::optional<CLoginAnswer> login;
    run(ECheckStep::kLogin, [&] { return sLoginStep(addrNet, login, stop); });
    if (row.step(ECheckStep::kLogin).m_eOutcome == EStepOutcome::kFail) {
        sessionBlockedBy = "login failed";
    }
    run(ECheckStep::kUid, [&] {
        if (!fgUidWellFormed(record.m_strUid)) {
            return sFail("UID '" + record.m_strUid + "' is not 20 upper-case letters and digits");
        }
        return sharedWith.empty() ? sPass(record.m_strUid) : sFail("UID also on " + sharedWith);
    });
    run(ECheckStep::kVersion, [&] {
        return record.m_strVersion == m_options.m_strVersion
                   ? sPass(record.m_strVersion)
                   : sFail("version '" + record.m_strVersion + "', expected '" +
                           m_options.m_strVersion + "'");
    });
    run(ECheckStep::kSd, [&] {
        return record.m_uiSdFigure1 > 0 ? sPass(std::to_string(record.m_uiSdFigure1) + " MB")
                                        : sFail("no SD card");
    });
    if (blockedBy.empty()) {
        blockedBy = sessionBlockedBy;
    }
    run(ECheckStep::kWifi, [&] {
        if (!login) {
            CStepResult asked = sLoginStep(addrNet, login, stop);
            if (!login) {
                return asked;
            }
        }
        return login->m_iWifiNetworks > 0
                   ? sPass(std::to_string(login->m_iWifiNetworks) + " networks")
                   : sFail("sees no Wi-Fi network");
    });
    const auto cameraOnly = [&](ECheckStep step, auto&& body) {
        run(step, [&] { return camera ? body() : sSkip("not a camera"); });
    };
    cameraOnly(ECheckStep::kVideo, [&] { return sVideoStep(addrNet, row, stop); });
    cameraOnly(ECheckStep::kAudio, [&] { return sAudioStep(addrNet, stop); });
    run(ECheckStep::kHorn, [&] { return sHornStep(row.m_strIp); });
    row.m_lMs = lMsSince(start);
}

CStepResult CLineCheck::sLoginStep(std::uint32_t addrNet, std::optional<CLoginAnswer>& answer,
                                   const std::stop_token& stop) {
    const std::string password = m_options.m_strPassword.empty() ? std::string(kDefaultDevPassword)
                                                                 : m_options.m_strPassword;
    const CLoginCheckResult checked =
        sCheckLogin(addrNet, password, m_options.m_iLoginLimitMs, stop);
    switch (checked.m_eOutcome) {
        case ELoginCheck::kAnswered:
            answer = checked.m_answer;
            return answer->m_fgAccepted ? sPass("accepted") : sFail("password refused");
        case ELoginCheck::kSendFailed:
            return sFail("the login request could not be sent");
        case ELoginCheck::kStopped:
            return sSkip("check stopped");
        case ELoginCheck::kNoAnswer:
            break;
    }
    return sFail("no answer to the login in " + std::to_string(m_options.m_iLoginLimitMs) + " ms");
}

CStepResult CLineCheck::sVideoStep(std::uint32_t addrNet, CDeviceCheck& row,
                                   const std::stop_token& stop) {
    CSnapshotRequest request;
    request.m_iStreamId = m_options.m_iStreamId;
    request.m_strPassword = m_options.m_strPassword.empty() ? std::string(kDefaultDevPassword)
                                                            : m_options.m_strPassword;
    request.m_iTimeLimitMs = m_options.m_iVideoLimitMs;
    const CSnapshot shot = sGrabKeyFrame(addrNet, request, stop);
    switch (shot.m_eOutcome) {
        case ESnapshotOutcome::kPicture:
            break;
        case ESnapshotOutcome::kRefused:
            return sFail("stream login refused (" + std::to_string(shot.m_iRefusedWith) + ")");
        case ESnapshotOutcome::kNoKeyFrame:
            return sFail("no key frame in " + std::to_string(m_options.m_iVideoLimitMs) + " ms (" +
                         std::to_string(shot.m_iVideoPackets) + " video packets)");
        default:
            return sFail(pszSnapshotOutcome(shot.m_eOutcome));
    }
    const auto stride = static_cast<std::size_t>(shot.m_iWidth) * 4;
    if (!m_options.m_strSnapshotDir.empty()) {
        // A picture that cannot be kept fails the step: the report would otherwise
        // show a device as seen whose picture nobody can look at.
        const std::string name = "snapshot-" + row.m_strIp + ".png";
        const std::vector<std::uint8_t> png =
            bufPngRgb(shot.m_iWidth, shot.m_iHeight, shot.m_rgbx, stride);
        std::string error = "the picture cannot be encoded";
        if (png.empty() ||
            !fgWriteFileAtomic(m_options.m_strSnapshotDir + "/" + name, png, error)) {
            return sFail(error);
        }
        row.m_strSnapshot = name;
        int thumbWidth = 0;
        int thumbHeight = 0;
        const std::vector<std::uint8_t> thumb =
            bufShrinkRgbx(shot.m_iWidth, shot.m_iHeight, shot.m_rgbx, stride,
                          m_options.m_iThumbnailWidth, thumbWidth, thumbHeight);
        row.m_thumbnailPng =
            bufPngRgb(thumbWidth, thumbHeight, thumb, static_cast<std::size_t>(thumbWidth) * 4);
    }
    const std::string seen = std::to_string(shot.m_iWidth) + "x" + std::to_string(shot.m_iHeight) +
                             ", mean luma " + strFixed(shot.m_dLumaMean, 1) + ", deviation " +
                             strFixed(shot.m_dLumaDeviation, 1);
    if (shot.m_dLumaDeviation < m_options.m_dUniformDeviation) {
        return sFail("uniform picture: " + seen);
    }
    return sPass(seen);
}

CStepResult CLineCheck::sAudioStep(std::uint32_t addrNet, const std::stop_token& stop) {
    CListenRequest request;
    request.m_strPassword = m_options.m_strPassword.empty() ? std::string(kDefaultDevPassword)
                                                            : m_options.m_strPassword;
    request.m_iTimeLimitMs = m_options.m_iAudioLimitMs;
    request.m_iFramesWanted = m_options.m_iAudioFrames;
    const CListenResult heard = sListenBriefly(addrNet, request, stop);
    switch (heard.m_eOutcome) {
        case EListenOutcome::kSound:
            return sPass(std::to_string(heard.m_iFramesHeard) + " frames, level " +
                         strFixed(heard.m_dRms, 0));
        case EListenOutcome::kRefused:
            return sFail("stream login refused (" + std::to_string(heard.m_iRefusedWith) + ")");
        case EListenOutcome::kTooLittle:
            return sFail(std::to_string(heard.m_iFramesHeard) + " of " +
                         std::to_string(m_options.m_iAudioFrames) + " audio frames in " +
                         std::to_string(m_options.m_iAudioLimitMs) + " ms");
        case EListenOutcome::kStopped:
            return sSkip("check stopped");
    }
    return sFail("unknown");
}

CStepResult CLineCheck::sHornStep(const std::string& ip) {
    CUdpHornLink link(m_sender, {ip});
    CHornEndWait waiter;
    CHornTest horn(link, waiter);
    if (horn.iStart(ip, m_options.m_strHornFile) != 0) {
        return sFail("the horn test could not start");
    }
    const std::optional<CHornResult> result =
        waiter.end().sWait(Clock::now() + std::chrono::milliseconds(m_options.m_iHornLimitMs));
    horn.vStop();
    if (!result) {
        return sFail("the test sound took longer than " + std::to_string(m_options.m_iHornLimitMs) +
                     " ms");
    }
    const std::string sent = std::to_string(result->m_ulBytesSent) + " of " +
                             std::to_string(result->m_ulBytesTotal) + " bytes";
    switch (result->m_eOutcome) {
        case EHornOutcome::kSent:
            return sPass(sent);
        case EHornOutcome::kNoFile:
            return sFail("no test sound at " + result->m_strFile);
        case EHornOutcome::kConnectFailed:
            return sFail("the horn refused the connection (" +
                         std::to_string(result->m_iConnectAttempts) + " attempts)");
        default:
            return sFail(std::string(pszHornOutcomeKey(result->m_eOutcome)) + ", " + sent);
    }
}
