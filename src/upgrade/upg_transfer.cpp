// The threads of one device's transfer: the connect thread, the sender and the receiver.

#include <algorithm>
#include <array>
#include <condition_variable>
#include <functional>

#include "app/dbg_print.h"
#include "app/file_util.h"
#include "net/socket_helpers.h"
#include "upgrade/upg_accept_info.h"
#include "upgrade/upg_wire.h"
#include "upgrade/upgrader.h"

namespace {

constexpr std::size_t kRecvBufferBytes = 1024;
constexpr int kRecvSliceMs = 50;

unsigned iThreadTag() {
    return static_cast<unsigned>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

// Size of the file at path, or -1 (diagnostic) when it cannot be opened.
std::int64_t iGetFileSize(const std::string& path) {
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        vDbgPrint("camkit:%s, %d=>openfile fail:%s\r\n", "iGetFileSize", __LINE__, path.c_str());
        return -1;
    }
    return std::ftell(file.get());
}

}  // namespace

void CUpgrader::ConnectThreadProc(const std::stop_token& stop, CUpgAcceptInfo& record) {
    vDbgPrint("%s:[%s, %d]=>MY Thread ID = 0x%x\r\n", "camkit", "CUpgrader::ConnectThreadProc",
              __LINE__, iThreadTag());
    std::mutex pauseLock;
    std::condition_variable_any pause;
    CSocket connection;
    for (int attempt = 1; attempt <= m_options.m_iConnectAttempts; ++attempt) {
        if (stop.stop_requested()) {
            break;
        }
        // A socket whose connect failed cannot connect again: each attempt has its own.
        CSocket socket = CSocket::Tcp();
        if (socket.fgValid() &&
            iSocketTcpConnect2(socket, record.m_uiDevAddr, m_options.m_usDevicePort) == 0) {
            vDbgPrint("camkit:%s, %d=>connect ok\r\n", "CUpgrader::iConnectHandle", __LINE__);
            connection = std::move(socket);
            break;
        }
        if (attempt < m_options.m_iConnectAttempts) {
            std::unique_lock lock(pauseLock);
            pause.wait_for(lock, stop, std::chrono::milliseconds(m_options.m_iConnectRetryMs),
                           [] { return false; });
        }
    }
    if (connection.fgValid()) {
        vSendFileHandle(record.m_uiDevAddr, std::move(connection), false);
        vDbgPrint("camkit:%s, %d=>exit\r\n", "CUpgrader::iConnectHandle", __LINE__);
        return;
    }
    if (stop.stop_requested()) {
        vDbgPrint("camkit:%s, %d=>exit\r\n", "CUpgrader::iConnectHandle", __LINE__);
        return;
    }
    vDbgPrint("camkit:%s, %d=>connect upg server timeout\r\n", "CUpgrader::iConnectHandle",
              __LINE__);
    const CUpgEvent timeout = sUpgEvent(EUpgEvent::kTimeout, record.m_strAddress);
    if (fgRetire(record, EUpgOutcome::kNoAnswer, EUpgReason::kConnectTimeout, &timeout, true)) {
        vDbgPrint("camkit:err:%s, %d=>upg timeout 22\r\n", "CUpgrader::iConnectHandle", __LINE__);
        // Last touch: the record may be destroyed as soon as this is seen.
        record.m_fgFinished.store(true);
    }
}

int CUpgrader::iSendAll(CUpgAcceptInfo& record, std::span<const std::uint8_t> data,
                        bool fileBytes) {
    std::size_t done = 0;
    int errors = 0;
    while (done < data.size()) {
        if (record.m_iState.load() != CUpgAcceptInfo::kStateRunning) {
            return -2;
        }
        int events = 0;
        const int ready = iWaitOne(record.m_socket, false, true, m_options.m_iSendWaitMs, events);
        const int sent = ready > 0 ? iSend(record.m_socket, data.subspan(done)) : 0;
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            errors = 0;
            if (fileBytes) {
                record.m_ulBytesSent.fetch_add(static_cast<std::uint64_t>(sent));
            }
            continue;
        }
        vDbgPrint("camkit:%s, %d=>send err\r\n", "CUpgrader::SendFile", __LINE__);
        if (++errors >= m_options.m_iSendErrorsMax) {
            vDbgPrint("camkit:%s, %d=>send err 1\r\n", "CUpgrader::SendFile", __LINE__);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.m_iSendRetryMs));
    }
    return 0;
}

void CUpgrader::SendFile(CUpgAcceptInfo& record) {
    vDbgPrint("camkit:%s, %d=>send start, fd=%lld\r\n", "CUpgrader::SendFile", __LINE__,
              record.m_socket.iLogId());
    // Reported here rather than by the binding thread, so that it comes before the
    // first file's line.
    CUpgEvent connected = sUpgEvent(EUpgEvent::kConnected, record.m_strAddress);
    connected.m_fgByListener = record.m_fgByListener;
    vReport(connected);
    const auto fail = [&record](EUpgReason reason) {
        record.m_eFailReason.store(reason);
        record.iSetState(CUpgAcceptInfo::kStateFailed, true);
        vDbgPrint("camkit:%s, %d=>err exit\r\n", "CUpgrader::SendFile", __LINE__);
    };
    const auto count = static_cast<std::size_t>(record.m_iFileCount);
    std::vector<CUpgHeadEntry> entries;
    std::uint64_t totalBytes = 0;
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t size = iGetFileSize(record.m_strPaths[i]);
        if (size < 1 || static_cast<std::uint64_t>(size) > kUpgFileBytesMax) {
            vDbgPrint("camkit:%s, %d=>file len err,%s\r\n", "CUpgrader::SendFile", __LINE__,
                      record.m_strPaths[i].c_str());
            fail(EUpgReason::kFileUnreadable);
            return;
        }
        entries.push_back(CUpgHeadEntry{static_cast<std::uint32_t>(size), record.m_uiTypes[i],
                                        record.m_strNames[i]});
        totalBytes += static_cast<std::uint64_t>(size);
        largest = std::max(largest, static_cast<std::uint64_t>(size));
    }
    record.m_ulBytesTotal.store(totalBytes);

    const std::vector<std::uint8_t> head = bufBuildFileHead(entries);
    if (iSendAll(record, head, false) != 0) {
        CUpgEvent event = sUpgEvent(EUpgEvent::kHeadNotSent, record.m_strAddress);
        vReport(event);
        vDbgPrint("camkit:%s, %d=>send file head info fail\r\n", "CUpgrader::SendFile", __LINE__);
        fail(EUpgReason::kHeadNotSent);
        return;
    }

    // One chunk per transfer, whatever the file sizes: a fleet costs its device count
    // times the chunk, never times the files.
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(m_options.m_iChunkBytes, largest)));
    bool lastComplete = false;
    int answersBeforeEnd = 0;
    for (std::size_t i = 0; i < count && record.m_iState.load() == CUpgAcceptInfo::kStateRunning;
         ++i) {
        lastComplete = false;
        const std::uint64_t size = entries[i].m_uiSize;
        const FilePtr file(std::fopen(record.m_strPaths[i].c_str(), "rb"));
        std::uint64_t remaining = size;
        while (remaining > 0 && record.m_iState.load() == CUpgAcceptInfo::kStateRunning) {
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), remaining));
            const std::size_t got = file ? std::fread(chunk.data(), 1, wanted, file.get()) : 0;
            if (got == 0) {
                vDbgPrint("camkit:%s, %d=>read file fail\r\n", "CUpgrader::SendFile", __LINE__);
                fail(EUpgReason::kFileUnreadable);
                return;
            }
            if (i + 1 == count && got == remaining) {
                answersBeforeEnd = record.m_iAnswers.load();
            }
            const int sent = iSendAll(record, std::span(chunk.data(), got), true);
            if (sent == -1) {
                fail(EUpgReason::kSendFailed);
                return;
            }
            if (sent == 0) {
                remaining -= got;
            }
        }
        vDbgPrint("camkit:%s, %d=>filelen=%d,%d\r\n", "CUpgrader::SendFile", __LINE__,
                  static_cast<int>(size - remaining), static_cast<int>(size));
        if (remaining == 0) {
            CUpgEvent event = sUpgEvent(EUpgEvent::kFileSent, record.m_strAddress);
            event.m_strFile = record.m_strNames[i];
            event.m_uiType = entries[i].m_uiType;
            event.m_ulBytes = size;
            vReport(event);
            vDbgPrint("camkit:%s, %d=>send file success, type=%x\r\n", "CUpgrader::SendFile",
                      __LINE__, entries[i].m_uiType);
            record.m_iFilesSent.fetch_add(1);
            lastComplete = true;
        }
    }
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CUpgrader::SendFile", __LINE__);
    if (lastComplete) {
        vDbgPrint("camkit:%s, %d=>wait recv\r\n", "CUpgrader::SendFile", __LINE__);
        // Time for the device's answer; it ends early once the device has answered
        // after the last bytes, has closed, or the record stops.
        std::unique_lock lock(record.m_waitLock);
        record.m_waitCv.wait_for(lock, std::chrono::milliseconds(m_options.m_iAnswerWaitMs), [&] {
            return record.m_iState.load() != CUpgAcceptInfo::kStateRunning ||
                   record.m_iAnswers.load() > answersBeforeEnd || record.m_fgPeerClosed.load();
        });
    }
    record.iSetState(CUpgAcceptInfo::kStateSent, true);
}

void CUpgrader::Recv(CUpgAcceptInfo& record) {
    vDbgPrint("camkit:%s, %d=>start...,fd=%lld\r\n", "CUpgrader::Recv", __LINE__,
              record.m_socket.iLogId());
    std::array<std::uint8_t, kRecvBufferBytes> buffer{};
    CUpgAnswerParser parser;
    std::vector<EUpgAnswer> answers;
    bool lostConnection = false;
    while (record.m_iState.load() == CUpgAcceptInfo::kStateRunning) {
        // Waited for in short slices, so that the end of the sender is seen at once
        // instead of after the whole wait.
        int events = 0;
        const int ready = iWaitOne(record.m_socket, true, false,
                                   std::min(m_options.m_iRecvWaitMs, kRecvSliceMs), events);
        if (ready == 0) {
            continue;
        }
        const int got = ready > 0 ? iRecv(record.m_socket, buffer) : ready;
        if (fgSockRetry(got)) {
            continue;
        }
        if (got < 0) {
            vDbgPrint("camkit:%s, %d=>socet err\r\n", "CUpgrader::Recv", __LINE__);
            lostConnection = true;
            break;
        }
        if (got == 0) {
            // A closed connection stays readable: wait for the sender instead of polling.
            record.m_fgPeerClosed.store(true);
            record.vNotifyAnswer();
            record.m_iState.wait(CUpgAcceptInfo::kStateRunning);
            break;
        }
        answers.clear();
        parser.vFeed(std::span(buffer.data(), static_cast<std::size_t>(got)), answers);
        for (const EUpgAnswer answer : answers) {
            const bool ok = answer == EUpgAnswer::kOk;
            (ok ? record.m_fgDeviceConfirmed : record.m_fgDeviceRefused).store(true);
            vReport(sUpgEvent(ok ? EUpgEvent::kDeviceOk : EUpgEvent::kDeviceFailed,
                              record.m_strAddress));
        }
        if (!answers.empty()) {
            record.m_iAnswers.fetch_add(static_cast<int>(answers.size()));
            record.vNotifyAnswer();
        }
    }
    // A receiver that leaves on a socket error stops the sender.
    const int endState = record.iSetState(CUpgAcceptInfo::kStateStop, true);
    record.m_senderThread.join();

    const bool allSent = record.m_iFilesSent.load() >= record.m_iFileCount;
    EUpgReason reason = EUpgReason::kNone;
    if (!allSent) {
        if (record.m_fgPeerClosed.load() || lostConnection) {
            reason = EUpgReason::kDeviceClosed;
        } else if (endState == CUpgAcceptInfo::kStateStop) {
            reason = EUpgReason::kStopped;
        } else {
            reason = record.m_eFailReason.load() != EUpgReason::kNone ? record.m_eFailReason.load()
                                                                      : EUpgReason::kSendFailed;
        }
        CUpgEvent event = sUpgEvent(EUpgEvent::kUpgradeFailed, record.m_strAddress);
        event.m_eReason = reason;
        vReport(event);
    } else if (record.m_fgDeviceRefused.load()) {
        reason = EUpgReason::kDeviceRefused;
    }
    vDbgPrint("camkit:%s, %d=>close sockfd =%lld\r\n", "CUpgAcceptInfo::~CUpgAcceptInfo", __LINE__,
              record.m_socket.iLogId());
    record.m_socket.vClose();
    if (record.m_connectThread.joinable()) {
        record.m_connectThread.request_stop();
        record.m_connectThread.join();
    }
    const EUpgOutcome outcome =
        reason == EUpgReason::kNone ? EUpgOutcome::kSucceeded : EUpgOutcome::kFailed;
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CUpgrader::Recv", __LINE__);
    if (fgRetire(record, outcome, reason, nullptr, false)) {
        // Last touch: the record may be destroyed as soon as this is seen.
        record.m_fgFinished.store(true);
    }
}
