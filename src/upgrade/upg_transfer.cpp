// One device's upgrade on a worker: the request, the connection, the transfer with the
// device's answers read on the same thread, and the verification of the new version.

#include <algorithm>
#include <array>
#include <optional>
#include <thread>

#include "app/file_util.h"
#include "app/log.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_info.h"
#include "upgrade/upg_accept_info.h"
#include "upgrade/upg_wire.h"
#include "upgrade/upgrader.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecvBufferBytes = 1024;
// Longest single wait of a worker on a socket: its stop flag is seen this often.
constexpr int kSliceMs = 50;
constexpr std::array<std::uint8_t, 16> kSearchDatagram{0xA8, 0x01};
// Longest wait for the answer to the search sent when the device was contacted.
constexpr int kBeforeAnswerWaitMs = 200;

// Size of the file at path, or -1 (diagnostic) when it cannot be opened.
std::int64_t iGetFileSize(const std::string& path) {
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        KLOG_INFO("openfile fail:%s", path.c_str());
        return -1;
    }
    return std::ftell(file.get());
}

bool fgTransient(int result) {
    return fgSockRetry(result);
}

int iMs(Clock::duration span) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(span).count());
}

}  // namespace

void CUpgrader::vRunDevice(CUpgAcceptInfo& record) {
    if (m_options.m_fnOnDeviceStart) {
        m_options.m_fnOnDeviceStart(record.m_strAddress);
    }
    const CUpgPlan plan = sPlan();
    CUpgDeviceResult facts;
    // The device's search answers come to a socket of this worker's own.
    CSocket probe = CSocket::Udp();
    if (probe.fgValid() && iSetNonBlocking(probe, true) != 0) {
        probe.vClose();
    }
    vSetPhase(record, EUpgPhase::kContacting, facts);
    // The version before: asked first and waited for briefly, since a device that
    // restarts as soon as it confirmed may not answer later.
    vAskVersion(probe, record.m_uiDevAddr);
    vTakeVersionBefore(probe, record.m_uiDevAddr, facts);
    const auto request = bufBuildUpgRequest();
    if (m_sender.iSendUdpToDev(record.m_uiDevAddr, request) != 0) {
        KLOG_ERR("send cmd to dev %s fail, len=%d,", record.m_strAddress.c_str(),
                 static_cast<int>(request.size()));
    }
    CSocket connection = sConnect(record, probe, facts);
    if (!connection.fgValid()) {
        if (record.m_fgStop.load()) {
            vFinish(record, EUpgOutcome::kFailed, EUpgReason::kStopped, facts);
            return;
        }
        KLOG_ERR("upg timeout 22");
        vReport(sUpgEvent(EUpgEvent::kTimeout, record.m_strAddress));
        vFinish(record, EUpgOutcome::kNoAnswer, EUpgReason::kConnectTimeout, facts);
        return;
    }
    CTransferEnd end = sTransfer(record, connection, probe, facts);
    KLOG_INFO("close sockfd =%lld", connection.iLogId());
    connection.vClose();
    // A late answer to the first search is taken now, before a search after the
    // restart could be mistaken for it.
    vTakeVersionBefore(probe, record.m_uiDevAddr, facts);
    if (end.m_eOutcome == EUpgOutcome::kSucceeded && !plan.m_strExpectVersion.empty()) {
        end = sVerify(record, probe, facts, plan);
    }
    vFinish(record, end.m_eOutcome, end.m_eReason, facts);
}

CSocket CUpgrader::sConnect(CUpgAcceptInfo& record, const CSocket& probe, CUpgDeviceResult& facts) {
    const auto takeHanded = [this, &record, &facts]() -> CSocket {
        const std::lock_guard lock(m_tableLock);
        if (!record.m_handed.fgValid()) {
            return {};
        }
        record.m_fgBound = true;
        facts.m_fgByListener = true;
        return std::move(record.m_handed);
    };
    const auto handedWaiting = [this, &record] {
        const std::lock_guard lock(m_tableLock);
        return record.m_handed.fgValid();
    };
    const auto readProbe = [&probe, &record, &facts] {
        std::string version;
        if (fgReadProbe(probe, record.m_uiDevAddr, facts, version) &&
            facts.m_strVersionBefore.empty()) {
            facts.m_strVersionBefore = version;
        }
    };
    for (int attempt = 1; attempt <= m_options.m_iConnectAttempts; ++attempt) {
        if (record.m_fgStop.load()) {
            return {};
        }
        if (CSocket handed = takeHanded(); handed.fgValid()) {
            return handed;
        }
        // A socket whose connect failed cannot connect again: each attempt has its own.
        CSocket socket = CSocket::Tcp();
        bool connected = false;
        if (socket.fgValid() && iSetNonBlocking(socket, true) == 0) {
            const int started =
                iConnect(socket, CEndpoint{record.m_uiDevAddr, m_options.m_usDevicePort});
            connected = started == 0;
            const Clock::time_point deadline =
                Clock::now() + std::chrono::milliseconds(m_options.m_iConnectWaitMs);
            while (eSockErr(started) == ESockErr::InProgress && Clock::now() < deadline &&
                   !record.m_fgStop.load() && !handedWaiting()) {
                int events = 0;
                const int ready = iWaitOne(socket, false, true, kSliceMs, events);
                readProbe();
                if (ready < 0) {
                    break;
                }
                if (ready > 0) {
                    connected =
                        (events & kEventWritable) != 0 && eSocketError(socket) == ESockErr::None;
                    break;
                }
            }
        }
        if (connected) {
            KLOG_INFO("connect ok");
            const std::lock_guard lock(m_tableLock);
            // A connection the listener took meanwhile is closed: the first one bound
            // carries the transfer.
            record.m_handed.vClose();
            record.m_fgBound = true;
            return socket;
        }
        if (attempt < m_options.m_iConnectAttempts) {
            std::unique_lock lock(m_tableLock);
            m_changed.wait_for(
                lock, std::chrono::milliseconds(m_options.m_iConnectRetryMs),
                [&record] { return record.m_handed.fgValid() || record.m_fgStop.load(); });
            lock.unlock();
            readProbe();
        }
    }
    KLOG_INFO("connect upg server timeout");
    return takeHanded();
}

CUpgrader::CTransferEnd CUpgrader::sTransfer(CUpgAcceptInfo& record, CSocket& connection,
                                             const CSocket& probe, CUpgDeviceResult& facts) {
    (void)iSetNonBlocking(connection, true);
    CUpgEvent connected = sUpgEvent(EUpgEvent::kConnected, record.m_strAddress);
    connected.m_fgByListener = facts.m_fgByListener;
    vReport(connected);
    const auto fail = [this, &record](EUpgReason reason) {
        CUpgEvent event = sUpgEvent(EUpgEvent::kUpgradeFailed, record.m_strAddress);
        event.m_eReason = reason;
        vReport(event);
        KLOG_INFO("err exit");
        return CTransferEnd{EUpgOutcome::kFailed, reason};
    };

    // The record's files are fixed from the moment it is bound.
    std::vector<std::string> paths;
    std::vector<CUpgHeadEntry> entries;
    {
        const std::lock_guard lock(m_tableLock);
        for (int i = 0; i < record.m_iFileCount; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            paths.push_back(record.m_strPaths[slot]);
            entries.push_back(CUpgHeadEntry{0, record.m_uiTypes[slot], record.m_strNames[slot]});
        }
    }
    const std::size_t count = entries.size();
    std::uint64_t totalBytes = 0;
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t size = iGetFileSize(paths[i]);
        if (size < 1 || static_cast<std::uint64_t>(size) > kUpgFileBytesMax) {
            KLOG_INFO("file len err,%s", paths[i].c_str());
            return fail(EUpgReason::kFileUnreadable);
        }
        entries[i].m_uiSize = static_cast<std::uint32_t>(size);
        totalBytes += static_cast<std::uint64_t>(size);
        largest = std::max(largest, static_cast<std::uint64_t>(size));
    }
    record.m_ulBytesTotal.store(totalBytes);
    vSetPhase(record, EUpgPhase::kSending, facts);
    KLOG_INFO("send start, fd=%lld", connection.iLogId());

    const std::vector<std::uint8_t> head = bufBuildFileHead(entries);
    // One chunk per transfer, whatever the file sizes: a fleet costs its worker count
    // times the chunk, never times the files.
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(m_options.m_iChunkBytes, largest)));
    std::span<const std::uint8_t> pending(head);
    bool headPending = true;
    std::size_t fileIndex = 0;
    FilePtr file;
    std::uint64_t fileUnread = 0;  // of the current file, not yet read from disk
    std::uint64_t fileUnsent = 0;  // of the current file, not yet sent
    int filesSent = 0;
    int filesConfirmed = 0;
    bool refused = false;
    std::optional<Clock::time_point> lastByteAt;
    Clock::time_point lastProgress = Clock::now();
    CUpgAnswerParser parser;
    std::vector<EUpgAnswer> answers;
    std::array<std::uint8_t, kRecvBufferBytes> received{};
    std::uint64_t repeatedAnswers = 0;
    std::string version;

    for (;;) {
        if (record.m_fgStop.load()) {
            return fail(EUpgReason::kStopped);
        }
        if (pending.empty() && !headPending && fileUnsent == 0 && fileIndex < count) {
            file.reset(std::fopen(paths[fileIndex].c_str(), "rb"));
            fileUnread = entries[fileIndex].m_uiSize;
            fileUnsent = fileUnread;
        }
        if (pending.empty() && fileUnread > 0) {
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), fileUnread));
            const std::size_t got = file ? std::fread(chunk.data(), 1, wanted, file.get()) : 0;
            if (got == 0) {
                KLOG_INFO("read file fail");
                return fail(EUpgReason::kFileUnreadable);
            }
            fileUnread -= got;
            pending = std::span<const std::uint8_t>(chunk.data(), got);
        }
        if (pending.empty() && fileIndex >= count && !lastByteAt) {
            lastByteAt = Clock::now();
            KLOG_INFO("wait recv");
            if (!refused) {
                vSetPhase(record, EUpgPhase::kConfirming, facts);
            }
        }

        int events = 0;
        const int ready = iWaitOne(connection, true, !pending.empty(), kSliceMs, events);
        if (fgReadProbe(probe, record.m_uiDevAddr, facts, version) &&
            facts.m_strVersionBefore.empty()) {
            facts.m_strVersionBefore = version;
        }
        if (ready < 0 && !fgTransient(ready)) {
            return fail(EUpgReason::kDeviceReset);
        }
        if ((events & kEventReadable) != 0) {
            const int got = iRecv(connection, received);
            if (got == 0) {
                if (filesConfirmed == static_cast<int>(count)) {
                    break;
                }
                KLOG_INFO("peer closed");
                return fail(refused ? EUpgReason::kDeviceRefused : EUpgReason::kDeviceClosed);
            }
            if (got < 0 && !fgTransient(got)) {
                KLOG_INFO("socet err");
                return fail(refused ? EUpgReason::kDeviceRefused : EUpgReason::kDeviceReset);
            }
            answers.clear();
            if (got > 0) {
                parser.vFeed(std::span(received.data(), static_cast<std::size_t>(got)), answers);
            }
            for (const EUpgAnswer answer : answers) {
                if (answer == EUpgAnswer::kFailed) {
                    if (!refused) {
                        refused = true;
                        vReport(sUpgEvent(EUpgEvent::kDeviceFailed, record.m_strAddress));
                    }
                } else if (filesSent > filesConfirmed) {
                    // An answer confirms the files that went out whole before it.
                    filesConfirmed = filesSent;
                    record.m_iFilesConfirmed.store(filesConfirmed);
                    vReport(sUpgEvent(EUpgEvent::kDeviceOk, record.m_strAddress));
                } else if (repeatedAnswers++ == 0) {
                    KLOG_INFO("%s: answer confirms nothing new", record.m_strAddress.c_str());
                }
            }
            if (filesConfirmed == static_cast<int>(count) && !refused) {
                break;
            }
        }
        if (!pending.empty() && (events & kEventWritable) != 0) {
            const int sent = iSend(connection, pending);
            if (sent < 0 && !fgTransient(sent)) {
                KLOG_INFO("send err 1");
                if (refused) {
                    return fail(EUpgReason::kDeviceRefused);
                }
                return fail(eSockErr(sent) == ESockErr::Reset ? EUpgReason::kDeviceReset
                                                              : EUpgReason::kSendFailed);
            }
            if (sent > 0) {
                lastProgress = Clock::now();
                pending = pending.subspan(static_cast<std::size_t>(sent));
                if (headPending) {
                    headPending = !pending.empty();
                } else {
                    fileUnsent -= static_cast<std::uint64_t>(sent);
                    record.m_ulBytesSent.fetch_add(static_cast<std::uint64_t>(sent));
                    if (fileUnsent == 0) {
                        CUpgEvent event = sUpgEvent(EUpgEvent::kFileSent, record.m_strAddress);
                        event.m_strFile = entries[fileIndex].m_strName;
                        event.m_uiType = entries[fileIndex].m_uiType;
                        event.m_ulBytes = entries[fileIndex].m_uiSize;
                        vReport(event);
                        KLOG_INFO("send file success, type=%x", entries[fileIndex].m_uiType);
                        file.reset();
                        ++filesSent;
                        ++fileIndex;
                    }
                }
            }
        }
        const Clock::time_point now = Clock::now();
        if (!pending.empty() && iMs(now - lastProgress) > m_options.m_iStallMs) {
            if (headPending) {
                vReport(sUpgEvent(EUpgEvent::kHeadNotSent, record.m_strAddress));
                KLOG_INFO("send file head info fail");
                return fail(EUpgReason::kHeadNotSent);
            }
            return fail(EUpgReason::kSendFailed);
        }
        if (lastByteAt && refused) {
            // The files went out as the wire contract has it; the device did not take them.
            return fail(EUpgReason::kDeviceRefused);
        }
        if (lastByteAt && iMs(now - *lastByteAt) > m_options.m_iAnswerWaitMs) {
            return fail(EUpgReason::kUnconfirmed);
        }
    }
    KLOG_INFO("exit");
    return CTransferEnd{EUpgOutcome::kSucceeded, EUpgReason::kNone};
}

CUpgrader::CTransferEnd CUpgrader::sVerify(CUpgAcceptInfo& record, const CSocket& probe,
                                           CUpgDeviceResult& facts, const CUpgPlan& plan) {
    vSetPhase(record, EUpgPhase::kVerifying, facts);
    const Clock::time_point deadline = Clock::now() + plan.m_verifyTimeout;
    const auto period = std::chrono::milliseconds(std::max(1, m_options.m_iProbePeriodMs));
    // The device restarts after it confirmed: an answer before it went silent may be
    // the old firmware's, so only an answer after a silence, or the expected version,
    // decides before the deadline.
    bool wentSilent = false;
    bool answered = true;
    std::optional<std::string> heard;  // last version heard, with no silence after it
    Clock::time_point nextAsk = Clock::now();
    while (Clock::now() < deadline) {
        if (record.m_fgStop.load()) {
            return CTransferEnd{EUpgOutcome::kFailed, EUpgReason::kStopped};
        }
        if (Clock::now() >= nextAsk) {
            if (!answered) {
                wentSilent = true;
                heard.reset();
            }
            answered = false;
            vAskVersion(probe, record.m_uiDevAddr);
            nextAsk = Clock::now() + period;
        }
        int events = 0;
        if (probe.fgValid()) {
            (void)iWaitOne(probe, true, false, kSliceMs, events);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
        }
        std::string version;
        if (!fgReadProbe(probe, record.m_uiDevAddr, facts, version)) {
            continue;
        }
        answered = true;
        if (version == plan.m_strExpectVersion) {
            facts.m_strVersionAfter = version;
            return CTransferEnd{EUpgOutcome::kSucceeded, EUpgReason::kNone};
        }
        if (wentSilent) {
            facts.m_strVersionAfter = version;
            return CTransferEnd{EUpgOutcome::kFailed, EUpgReason::kVersionMismatch};
        }
        heard = version;
    }
    if (heard) {
        // It never restarted: it still runs the version it reports.
        facts.m_strVersionAfter = *heard;
        return CTransferEnd{EUpgOutcome::kFailed, EUpgReason::kVersionMismatch};
    }
    return CTransferEnd{EUpgOutcome::kFailed, EUpgReason::kDidNotComeBack};
}

void CUpgrader::vTakeVersionBefore(const CSocket& probe, std::uint32_t addrNet,
                                   CUpgDeviceResult& facts) {
    if (!facts.m_strVersionBefore.empty() || !probe.fgValid()) {
        return;
    }
    int events = 0;
    (void)iWaitOne(probe, true, false, kBeforeAnswerWaitMs, events);
    std::string version;
    if (fgReadProbe(probe, addrNet, facts, version)) {
        facts.m_strVersionBefore = version;
    }
}

void CUpgrader::vAskVersion(const CSocket& probe, std::uint32_t addrNet) const {
    if (probe.fgValid()) {
        (void)iSendTo(probe, kSearchDatagram, CEndpoint{addrNet, m_options.m_usSearchPort});
    }
}

bool CUpgrader::fgReadProbe(const CSocket& probe, std::uint32_t addrNet, CUpgDeviceResult& facts,
                            std::string& version) {
    if (!probe.fgValid()) {
        return false;
    }
    bool heard = false;
    std::array<std::uint8_t, kDiscoveryReplyBytes + 1> datagram{};
    for (;;) {
        CEndpoint from;
        const int got = iRecvFrom(probe, datagram, from);
        if (got < 0) {
            return heard;  // nothing more waiting
        }
        // Only the device's own search answer counts: its type, its exact length.
        if (from.m_uiAddr != addrNet || got != static_cast<int>(kDiscoveryReplyBytes) ||
            datagram[0] != 0xA8 || datagram[1] != kReplyDiscovery) {
            continue;
        }
        const auto item = sMakeDiscoveryItem(
            std::span(datagram.data(), static_cast<std::size_t>(got)), from.m_uiAddr);
        const std::optional<CDevInfo> info = item ? vBuildDevInfo(*item) : std::nullopt;
        if (!info) {
            continue;
        }
        if (facts.m_strUid.empty()) {
            facts.m_strUid = info->m_strUid;
        }
        version = info->m_strVersion;
        heard = true;
    }
}
