#include "media/horn_test.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <span>
#include <system_error>

#include "app/dbg_print.h"
#include "app/file_util.h"
#include "app/translate.h"
#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "protocol/station.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits on sockets in steps this long, so that a stop is noticed within it.
constexpr int kStepMs = 50;

// Sleeps ms unless stopped first; true when stopped.
bool fgPauseStopped(const std::stop_token& stop, int ms) {
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock held(lock);
    return wake.wait_for(held, stop, std::chrono::milliseconds(ms), [] { return false; }) ||
           stop.stop_requested();
}

int iMsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kStepMs));
}

// One connect attempt within waitMs: 0 connected, kStoppedDuringConnect, else the
// positive system error number.
constexpr int kStoppedDuringConnect = -1;
int iConnectOnce(const std::stop_token& stop, const CSocket& socket, const CEndpoint& target,
                 int waitMs) {
    if (iSetNonBlocking(socket, true) != 0) {
        return EINVAL;
    }
    const int started = iConnect(socket, target);
    if (started == 0) {
        return 0;
    }
    if (started != -EINPROGRESS) {
        return -started;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (Clock::now() < deadline) {
        if (stop.stop_requested()) {
            return kStoppedDuringConnect;
        }
        int events = 0;
        const int ready = iWaitOne(socket, false, true, iMsLeft(deadline), events);
        if (ready < 0 && ready != -EINTR) {
            return -ready;
        }
        if (ready > 0) {
            return iSocketError(socket);
        }
    }
    return ETIMEDOUT;
}

// Size of the file, or -1 when it cannot be opened or measured.
long long iFileSize(const std::string& path) {
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return -1;
    }
    return std::ftell(file.get());
}

std::string strErrorText(int error) {
    return std::system_category().message(error);
}

}  // namespace

void CStationHornLink::vSendOpenHorn() {
    m_station.vSendCmd(kCmdOpenHorn, 0, {}, ECmdTarget::kPool);
}

void CStationHornLink::vSendStopHorn(const std::string& ipText) {
    m_station.fgSendToDev(ipText, bufBuildStopHorn());
}

CUdpHornLink::CUdpHornLink(IUdpSender& sender, std::vector<std::string> openTargets)
    : m_sender(sender) {
    for (const std::string& target : openTargets) {
        std::uint32_t addrNet = 0;
        if (fgParseIp(target, addrNet)) {
            m_openTargets.push_back(addrNet);
        }
    }
}

void CUdpHornLink::vSendOpenHorn() {
    const CmdBytes request = bufBuildOpenHorn();
    for (const std::uint32_t addrNet : m_openTargets) {
        m_sender.iSendUdpToDev(addrNet, request);
    }
}

void CUdpHornLink::vSendStopHorn(const std::string& ipText) {
    m_sender.fgSendUdpByIpStr(ipText, kPortCommand, bufBuildStopHorn(), false);
}

const char* pszHornOutcomeKey(EHornOutcome outcome) {
    // In the order of EHornOutcome.
    static constexpr std::array<const char*, 8> kHornOutcomeKeys{
        "horn test sound sent",
        "horn test stopped",
        "horn test sound file missing or empty:",
        "horn test sound file could not be read:",
        "horn test: no socket",
        "horn test: device not reached",
        "horn test: connection lost",
        "horn test: device stopped taking the sound",
    };
    return kHornOutcomeKeys.at(static_cast<std::size_t>(outcome));
}

std::string strFindHornFile(const std::string& programDir) {
    return strFindDataFile(programDir, strGetWritableDir(programDir), kHornFileName);
}

std::string strHornResultLine(const CHornResult& result) {
    std::string line =
        "\r\n" + result.m_strDevice + " " + strTranslate(pszHornOutcomeKey(result.m_eOutcome));
    switch (result.m_eOutcome) {
        case EHornOutcome::kNoFile:
        case EHornOutcome::kReadFailed:
            return line + " " + result.m_strFile;
        case EHornOutcome::kSent:
        case EHornOutcome::kStopped:
        case EHornOutcome::kConnectionLost:
        case EHornOutcome::kStalled:
            return line + " (" + std::to_string(result.m_ulBytesSent) + "/" +
                   std::to_string(result.m_ulBytesTotal) + ")";
        case EHornOutcome::kNoSocket:
        case EHornOutcome::kConnectFailed:
            return line;
    }
    return line;
}

CHornTest::CHornTest(IHornLink& link, IHornView& view, CHornOptions options)
    : m_link(link), m_view(view), m_options(options) {}

CHornTest::~CHornTest() = default;

int CHornTest::iStart(const std::string& deviceIp, const std::string& filePath) {
    std::uint32_t addrNet = 0;
    if (!fgParseIp(deviceIp, addrNet)) {
        return -1;
    }
    m_worker.vStop(kWorkerStopWaitMs);
    {
        const std::lock_guard lock(m_lock);
        m_fgRunning = true;
        m_strDevice = deviceIp;
    }
    m_link.vSendOpenHorn();
    if (const auto started = m_worker.sStart("horn-push",
                                             [this, addrNet, filePath](std::stop_token stop) {
                                                 SendFileThread(stop, addrNet, filePath);
                                             });
        !started) {
        vDbgPrint("camkit:err:%s, %d=>%s\r\n", "CHornTest::iStart", __LINE__,
                  started.error().m_strReason.c_str());
        const std::lock_guard lock(m_lock);
        m_fgRunning = false;
        return -2;
    }
    return 0;
}

void CHornTest::vStop() {
    std::string device;
    {
        const std::lock_guard lock(m_lock);
        if (!m_fgRunning) {
            return;
        }
        m_fgRunning = false;
        device = m_strDevice;
    }
    m_worker.vRequestStop();
    m_link.vSendStopHorn(device);
}

bool CHornTest::fgRunning() const {
    const std::lock_guard lock(m_lock);
    return m_fgRunning;
}

void CHornTest::SendFileThread(const std::stop_token& stop, std::uint32_t addrNet,
                               const std::string& filePath) {
    const CHornResult result = sPushFile(stop, addrNet, filePath);
    vDbgPrint("camkit:%s, %d=>exit,%d\r\n", "CHornTest::SendFileThread", __LINE__,
              static_cast<int>(result.m_eOutcome));
    m_view.vOnHornDone(result);
}

CHornResult CHornTest::sPushFile(const std::stop_token& stop, std::uint32_t addrNet,
                                 const std::string& filePath) {
    static const char* const kWho = "CHornTest::SendFileThread";
    CHornResult result;
    result.m_strDevice = strIpText(addrNet);
    result.m_strFile = filePath;

    const long long fileBytes = iFileSize(filePath);
    if (fileBytes <= 0) {
        vDbgPrint("camkit:err:%s, %d=>%s:%s\r\n", kWho, __LINE__,
                  fileBytes < 0 ? "openfile fail" : "get file len err", filePath.c_str());
        result.m_eOutcome = EHornOutcome::kNoFile;
        return result;
    }
    result.m_ulBytesTotal = static_cast<std::uint64_t>(fileBytes);
    vDbgPrint("camkit:%s, %d=>%s audio test\r\n", kWho, __LINE__, result.m_strDevice.c_str());

    CSocket socket;
    const CEndpoint target{addrNet, m_options.m_usDevicePort};
    for (;;) {
        if (stop.stop_requested()) {
            if (result.m_iConnectAttempts > 0) {
                vDbgPrint("camkit:%s, %d=>connnet fail\r\n", kWho, __LINE__);
            }
            result.m_eOutcome = EHornOutcome::kStopped;
            return result;
        }
        socket = CSocket::Tcp();
        if (!socket.fgValid()) {
            vDbgPrint("camkit:err:%s, %d=>sockfd err\r\n", kWho, __LINE__);
            result.m_eOutcome = EHornOutcome::kNoSocket;
            return result;
        }
        ++result.m_iConnectAttempts;
        const int error = iConnectOnce(stop, socket, target, m_options.m_iConnectWaitMs);
        if (error == 0) {
            break;
        }
        if (error == kStoppedDuringConnect) {
            continue;  // stopped during the attempt: the check above ends the worker
        }
        vDbgPrint("camkit:err:%s, %d=>connect fail: %s\r\n", kWho, __LINE__,
                  strErrorText(error).c_str());
        result.m_iError = error;
        m_view.vOnHornConnectFailed(result.m_strDevice, result.m_iConnectAttempts, error);
        // The device may have missed the first request or closed its receiver since.
        m_link.vSendOpenHorn();
        if (result.m_iConnectAttempts >= m_options.m_iConnectAttempts) {
            vDbgPrint("camkit:%s, %d=>connnet fail\r\n", kWho, __LINE__);
            result.m_eOutcome = EHornOutcome::kConnectFailed;
            return result;
        }
        (void)fgPauseStopped(stop, m_options.m_iConnectRetryMs);
    }
    result.m_iError = 0;

    const FilePtr file(std::fopen(filePath.c_str(), "rb"));
    std::array<std::uint8_t, kHornPieceBytes> piece{};
    std::size_t pieceBytes = 0;
    std::size_t pieceSent = 0;
    Clock::time_point lastProgress = Clock::now();
    result.m_eOutcome = EHornOutcome::kSent;
    while (result.m_ulBytesSent < result.m_ulBytesTotal) {
        if (stop.stop_requested()) {
            result.m_eOutcome = EHornOutcome::kStopped;
            break;
        }
        if (pieceSent == pieceBytes) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(
                kHornPieceBytes, result.m_ulBytesTotal - result.m_ulBytesSent));
            pieceBytes = file ? std::fread(piece.data(), 1, want, file.get()) : 0;
            pieceSent = 0;
            if (pieceBytes != want) {
                vDbgPrint("camkit:err:%s, %d=>read err\r\n", kWho, __LINE__);
                result.m_eOutcome = EHornOutcome::kReadFailed;
                break;
            }
        }
        int events = 0;
        const int ready = iWaitOne(socket, false, true, kStepMs, events);
        if (ready == 0 || ready == -EINTR) {
            if (Clock::now() - lastProgress > std::chrono::milliseconds(m_options.m_iSendStallMs)) {
                vDbgPrint("camkit:err:%s, %d=>send stalled\r\n", kWho, __LINE__);
                result.m_eOutcome = EHornOutcome::kStalled;
                break;
            }
            continue;
        }
        const int sent =
            ready < 0 ? ready
                      : iSend(socket, std::span(piece.data() + pieceSent, pieceBytes - pieceSent));
        if (sent == -EAGAIN || sent == -EINTR) {
            continue;
        }
        if (sent <= 0) {
            // A broken connection does not mend itself: retrying would only repeat
            // this line until the operator stops the test.
            result.m_iError = sent < 0 ? -sent : EPIPE;
            vDbgPrint("camkit:%s, %d=>send err: %s\r\n", kWho, __LINE__,
                      strErrorText(result.m_iError).c_str());
            result.m_eOutcome = EHornOutcome::kConnectionLost;
            break;
        }
        pieceSent += static_cast<std::size_t>(sent);
        result.m_ulBytesSent += static_cast<std::uint64_t>(sent);
        lastProgress = Clock::now();
        m_view.vOnHornProgress(result.m_strDevice, result.m_ulBytesSent, result.m_ulBytesTotal);
    }
    vDbgPrint("camkit:%s, %d=>send len=%llu,leftlen=%llu\r\n", kWho, __LINE__,
              static_cast<unsigned long long>(result.m_ulBytesSent),
              static_cast<unsigned long long>(result.m_ulBytesTotal - result.m_ulBytesSent));
    return result;
}
