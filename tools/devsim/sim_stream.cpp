#include "devsim/sim_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "app/dbg_print.h"
#include "devsim/sim_media.h"
#include "devsim/sim_wire.h"

namespace devsim {

namespace {

constexpr std::uint32_t kMagic = 0x71077407;
constexpr std::uint32_t kWrongMagic = 0x5A5A5A5A;
constexpr std::size_t kRequestHead = 20;
constexpr std::size_t kLoginBytes = 84;
constexpr std::size_t kPacketHead = 40;
constexpr std::size_t kTextField = 32;

// Requests the service reads.
constexpr std::uint32_t kGetVideo = 0x00010000;
constexpr std::uint32_t kGetListen = 0x00010012;
constexpr std::uint32_t kLogin = 0x00010004;
constexpr std::uint32_t kHeartbeat = 0x00010006;
constexpr std::uint32_t kSwitch = 0x00010008;
// Packets it sends.
constexpr std::uint32_t kVideo = 0x00010001;
constexpr std::uint32_t kLoginReply = 0x00010005;
constexpr std::uint32_t kAuthReply = 0x00010007;
constexpr std::uint32_t kSwitchReply = 0x00010009;
constexpr std::uint32_t kAudio = 0x00010013;
constexpr std::int32_t kNoAuth = -2;

constexpr int kListenStream = 3;
constexpr std::uint8_t kH264 = 0x60;
constexpr std::size_t kAmrPerPacket = 2;
constexpr auto kVideoPeriod = std::chrono::microseconds(1'000'000 / kSimFps);
constexpr auto kAudioPeriod = std::chrono::milliseconds(40);
// A stream that fell more than this many frames behind (a slow first encoding, a busy
// machine) starts again from now instead of sending the missed frames in a burst.
constexpr int kMaxLagFrames = 3;
constexpr auto kSplitGap = std::chrono::milliseconds(3);
constexpr std::size_t kQueueMaxBytes = 4U << 20;
constexpr std::size_t kInMaxBytes = 4096;
constexpr std::size_t kRequestsKept = 256;
constexpr int kWaitMaxMs = 50;
constexpr int kMergeMax = 16;
constexpr int kPaceMax = 100;
// Payloads of the oversize packet: past the client's video and listen buffers.
constexpr std::uint32_t kOversizeVideo = 1'000'000;
constexpr std::uint32_t kOversizeAudio = 1'200;

struct CPacketFields {
    std::uint32_t m_uiMagic = kMagic;
    std::uint32_t m_uiType = 0;
    std::int32_t m_iResult = 0;
    std::uint8_t m_ucStreamId = 0;
    std::uint8_t m_ucCodec = 0;
    bool m_fgKey = false;
    std::uint32_t m_uiSequence = 0;
};

// Head (40 bytes) and payload in one buffer.
CBytes bufPacket(const CPacketFields& fields, std::span<const std::uint8_t> payload,
                 std::size_t payloadBytes) {
    CBytes packet(kPacketHead + payloadBytes, 0);
    vPutU32(packet, 0, fields.m_uiMagic);
    vPutU32(packet, 4, fields.m_uiType);
    vPutU32(packet, 8, static_cast<std::uint32_t>(fields.m_iResult));
    vPutU32(packet, 12, static_cast<std::uint32_t>(payloadBytes));
    packet[17] = fields.m_ucStreamId;
    packet[22] = fields.m_ucCodec;
    packet[23] = fields.m_fgKey ? 1 : 0;
    vPutU32(packet, 32, fields.m_uiSequence);
    std::copy(payload.begin(), payload.end(), packet.begin() + kPacketHead);
    return packet;
}

CBytes bufReply(std::uint32_t type, std::int32_t result) {
    CPacketFields fields;
    fields.m_uiType = type;
    fields.m_iResult = result;
    return bufPacket(fields, {}, 0);
}

std::string strField(std::span<const std::uint8_t> request, std::size_t offset) {
    const auto field = request.subspan(offset, kTextField);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

void vLogRequest(CSimStreamLog& log, std::uint32_t type, std::uint8_t streamId) {
    if (log.m_requests.size() < kRequestsKept) {
        log.m_requests.push_back(CSimStreamRequest{type, streamId});
    }
}

}  // namespace

CStreamService::CStreamService(CSimFleetCore& core) : m_core(core) {}

CStreamService::~CStreamService() {
    vStop();
}

int CStreamService::iStart(std::string& error) {
    vStop();
    if (!fgMakeWakePair(m_wakeReader, m_wakeWriter)) {
        error = "cannot make the stream service's wake pair";
        return -1;
    }
    (void)iSetNonBlocking(m_wakeReader, true);
    (void)iSetNonBlocking(m_wakeWriter, true);
    if (const auto started =
            m_thread.sStart("sim-stream", [this](std::stop_token stop) { vRun(stop); });
        !started) {
        error = started.error().m_strReason;
        return -1;
    }
    return 0;
}

void CStreamService::vStop() {
    m_thread.vRequestStop();
    const std::uint8_t wake = 1;
    (void)iSend(m_wakeWriter, std::span(&wake, 1));
    m_thread.vStop(kStopWaitMs);
    m_connections.clear();
    m_listeners.clear();
    std::lock_guard guard(m_openLock);
    m_newListeners.clear();
    m_opened.clear();
    m_wakeReader.vClose();
    m_wakeWriter.vClose();
}

void CStreamService::vOpenLocked(std::size_t index) {
    const CSimDevice& device = m_core.m_devices.at(index);
    if (!device.sState().fgIsCamera()) {
        return;
    }
    std::lock_guard guard(m_openLock);
    if (!m_opened.insert(index).second) {
        return;
    }
    CSocket listener = CSocket::Tcp();
    const CEndpoint local{device.iAddr(), kSimStreamPort};
    if (!listener.fgValid() || iSetReuseAddr(listener, true) != 0 || iBind(listener, local) != 0 ||
        iListen(listener, 16) != 0 || iSetNonBlocking(listener, true) != 0) {
        vDbgPrint("camkit:err:%s, %d=>cannot listen on %s:%d\r\n", "CStreamService::vOpenLocked",
                  __LINE__, strIpText(device.iAddr()).c_str(), kSimStreamPort);
        m_opened.erase(index);
        return;
    }
    m_newListeners.push_back(CListener{std::move(listener), index});
    const std::uint8_t wake = 1;
    (void)iSend(m_wakeWriter, std::span(&wake, 1));
}

void CStreamService::vAdoptOpened() {
    std::lock_guard guard(m_openLock);
    for (CListener& listener : m_newListeners) {
        m_listeners.push_back(std::move(listener));
    }
    m_newListeners.clear();
}

void CStreamService::vRun(const std::stop_token& stop) {
    std::vector<SocketHandle> handles;
    std::vector<SocketHandle> ready;
    std::array<std::uint8_t, 64> drain{};
    while (!stop.stop_requested()) {
        vAdoptOpened();
        handles.clear();
        handles.push_back(m_wakeReader.iHandle());
        for (const CListener& listener : m_listeners) {
            handles.push_back(listener.m_socket.iHandle());
        }
        for (const CConnection& connection : m_connections) {
            handles.push_back(connection.m_socket.iHandle());
        }
        if (iWaitReadable(handles, iWaitMs(CSimClock::now()), ready) < 0) {
            ready.clear();
        }
        const auto isReady = [&ready](const CSocket& socket) {
            return std::find(ready.begin(), ready.end(), socket.iHandle()) != ready.end();
        };
        if (isReady(m_wakeReader)) {
            while (iRecv(m_wakeReader, drain) > 0) {
            }
        }
        const CSimTime now = CSimClock::now();
        for (CListener& listener : m_listeners) {
            if (isReady(listener.m_socket)) {
                vAccept(listener);
            }
        }
        for (CConnection& connection : m_connections) {
            if (isReady(connection.m_socket)) {
                vRead(connection, now);
            }
            vProduce(connection, CSimClock::now());
            vFlush(connection, CSimClock::now());
        }
        std::erase_if(m_connections,
                      [](const CConnection& connection) { return connection.m_fgClose; });
    }
}

int CStreamService::iWaitMs(CSimTime now) const {
    CSimTime due = now + std::chrono::milliseconds(kWaitMaxMs);
    for (const CConnection& connection : m_connections) {
        if (connection.m_fgProducing) {
            due = std::min(due, connection.m_nextFrame);
        }
        if (!connection.m_out.empty()) {
            // A piece the socket did not take is tried again soon.
            due = std::min(due, std::max(connection.m_out.front().m_notBefore,
                                         now + std::chrono::milliseconds(2)));
        }
    }
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    return static_cast<int>(std::clamp<long long>(waitMs, 0, kWaitMaxMs));
}

void CStreamService::vAccept(CListener& listener) {
    while (true) {
        CSocket socket = sAccept(listener.m_socket, nullptr);
        if (!socket.fgValid()) {
            return;
        }
        (void)iSetNonBlocking(socket, true);
        CConnection connection;
        connection.m_socket = std::move(socket);
        connection.m_iDevice = listener.m_iDevice;
        {
            std::lock_guard guard(m_core.m_mutex);
            ++m_core.m_devices[listener.m_iDevice].sState().m_stream.m_uiConnections;
        }
        m_connections.push_back(std::move(connection));
    }
}

void CStreamService::vRead(CConnection& connection, CSimTime now) {
    std::array<std::uint8_t, 2048> chunk{};
    const int got = iRecv(connection.m_socket, chunk);
    if (got == 0 || (got < 0 && got != -EAGAIN && got != -EWOULDBLOCK && got != -EINTR)) {
        connection.m_fgClose = true;
        return;
    }
    if (got < 0) {
        return;
    }
    connection.m_in.insert(connection.m_in.end(), chunk.begin(), chunk.begin() + got);
    while (connection.m_in.size() >= kRequestHead) {
        if (iGetU32(connection.m_in, 0) != kMagic) {
            connection.m_fgClose = true;
            return;
        }
        const std::uint32_t type = iGetU32(connection.m_in, 4);
        const std::size_t need = type == kLogin ? kLoginBytes : kRequestHead;
        if (connection.m_in.size() < need) {
            break;
        }
        vHandleRequest(connection, type, std::span(connection.m_in).first(need), now);
        connection.m_in.erase(connection.m_in.begin(),
                              connection.m_in.begin() + static_cast<std::ptrdiff_t>(need));
    }
    if (connection.m_in.size() > kInMaxBytes) {
        connection.m_fgClose = true;
    }
}

void CStreamService::vHandleRequest(CConnection& connection, std::uint32_t type,
                                    std::span<const std::uint8_t> request, CSimTime now) {
    const std::uint8_t streamByte = request[13];
    int wanted = -1;
    CBytes reply;
    {
        std::lock_guard guard(m_core.m_mutex);
        CSimDevice& device = m_core.m_devices[connection.m_iDevice];
        CSimStreamLog& log = device.sState().m_stream;
        const CSimStreamBehaviour& behaviour = device.sBehaviour().m_stream;
        switch (type) {
            case kLogin: {
                vLogRequest(log, type, 0);
                const bool matches = strField(request, 20) == device.sState().m_strUser &&
                                     strField(request, 52) == device.sState().m_strPassword;
                const std::int32_t result = behaviour.m_iLoginResult != 0 ? behaviour.m_iLoginResult
                                                                          : (matches ? 0 : kNoAuth);
                connection.m_fgLoggedIn = result == 0;
                reply = bufReply(kLoginReply, result);
                break;
            }
            case kGetVideo:
            case kGetListen:
            case kSwitch:
                vLogRequest(log, type, streamByte);
                if (!connection.m_fgLoggedIn) {
                    reply = bufReply(kAuthReply, kNoAuth);
                    break;
                }
                if (type == kGetListen) {
                    wanted = kListenStream;
                } else if (streamByte <= 1) {
                    wanted = behaviour.m_iServeStream >= 0 ? behaviour.m_iServeStream : streamByte;
                }
                if (type == kSwitch) {
                    reply = bufReply(kSwitchReply, 0);
                }
                break;
            case kHeartbeat:
                ++log.m_uiHeartbeats;
                reply = bufReply(kAuthReply, connection.m_fgLoggedIn ? 0 : kNoAuth);
                break;
            default:
                break;
        }
    }
    if (!reply.empty()) {
        vQueuePacket(connection, std::move(reply), now, false);
    }
    if (wanted >= 0 && wanted != connection.m_iStream) {
        connection.m_iStream = wanted;
        connection.m_iFrame = 0;
        connection.m_nextFrame = now;
    }
}

void CStreamService::vProduce(CConnection& connection, CSimTime now) {
    connection.m_fgProducing = false;
    if (connection.m_iStream < 0 || !connection.m_fgLoggedIn || connection.m_fgClose) {
        return;
    }
    CSimStreamBehaviour behaviour;
    {
        std::lock_guard guard(m_core.m_mutex);
        behaviour = m_core.m_devices[connection.m_iDevice].sBehaviour().m_stream;
    }
    const bool listen = connection.m_iStream == kListenStream;
    const bool sub = connection.m_iStream == 1;
    static const std::vector<CSimAccessUnit> kNoVideo;
    if (listen ? behaviour.m_fgNoAudio : behaviour.m_fgNoVideo) {
        return;
    }
    const std::vector<CSimAccessUnit>& video =
        listen ? kNoVideo
               : vecVideoLoop(sub ? 640 : 1920, sub ? 360 : 1080,
                              behaviour.m_fgBlackVideo ? EPicture::kBlack : EPicture::kTestPicture);
    const std::vector<CAmrFrame>& audio = vecAudioLoop();
    if ((listen && audio.empty()) || (!listen && video.empty())) {
        return;
    }
    const auto period = (listen ? std::chrono::duration_cast<CSimClock::duration>(kAudioPeriod)
                                : std::chrono::duration_cast<CSimClock::duration>(kVideoPeriod)) /
                        std::clamp(behaviour.m_iPaceFactor, 1, kPaceMax);
    now = CSimClock::now();
    if (now - connection.m_nextFrame > kMaxLagFrames * period) {
        connection.m_nextFrame = now;
    }
    while (now >= connection.m_nextFrame) {
        const int sent = connection.m_iSent;
        if (sent == behaviour.m_iStallAfter) {
            return;
        }
        if (sent == behaviour.m_iCloseAfter) {
            connection.m_fgClose = true;
            return;
        }
        CPacketFields fields;
        fields.m_uiType = listen ? kAudio : kVideo;
        fields.m_ucStreamId = static_cast<std::uint8_t>(connection.m_iStream);
        fields.m_uiSequence = connection.m_uiSequence++;
        CBytes packet;
        if (sent == behaviour.m_iOversizeAfter) {
            packet = bufPacket(fields, {}, listen ? kOversizeAudio : kOversizeVideo);
        } else if (listen) {
            std::array<std::uint8_t, kAmrPerPacket * kAmrFrameBytes> payload{};
            for (std::size_t i = 0; i < kAmrPerPacket; ++i) {
                const CAmrFrame& frame =
                    audio[(connection.m_iFrame * kAmrPerPacket + i) % audio.size()];
                std::copy(frame.begin(), frame.end(), payload.begin() + i * kAmrFrameBytes);
            }
            packet = bufPacket(fields, payload, payload.size());
        } else {
            const CSimAccessUnit& unit = video[connection.m_iFrame % video.size()];
            fields.m_ucCodec = kH264;
            fields.m_fgKey = unit.m_fgKey;
            packet = bufPacket(fields, unit.m_bytes, unit.m_bytes.size());
        }
        if (sent == behaviour.m_iBadMagicAfter) {
            vPutU32(packet, 0, kWrongMagic);
        }
        ++connection.m_iFrame;
        ++connection.m_iSent;
        connection.m_nextFrame += period;
        vQueuePacket(connection, std::move(packet), now, true);
    }
    connection.m_fgProducing = true;
}

void CStreamService::vQueuePacket(CConnection& connection, CBytes packet, CSimTime now,
                                  bool media) {
    CSimStreamBehaviour behaviour;
    {
        std::lock_guard guard(m_core.m_mutex);
        CSimDevice& device = m_core.m_devices[connection.m_iDevice];
        behaviour = device.sBehaviour().m_stream;
        if (media) {
            if (connection.m_iOutBytes + connection.m_merge.size() > kQueueMaxBytes) {
                ++device.sState().m_stream.m_ulDroppedPackets;
                return;
            }
            ++device.sState().m_stream.m_ulMediaPackets;
        }
    }
    const auto push = [&connection](CBytes bytes, CSimTime notBefore) {
        connection.m_iOutBytes += bytes.size();
        connection.m_out.push_back(CPiece{std::move(bytes), notBefore});
    };
    const int merge = std::clamp(behaviour.m_iMergePackets, 1, kMergeMax);
    if (media && merge > 1) {
        connection.m_merge.insert(connection.m_merge.end(), packet.begin(), packet.end());
        if (++connection.m_iMerged < merge) {
            return;
        }
        packet = std::move(connection.m_merge);
        connection.m_merge.clear();
        connection.m_iMerged = 0;
    }
    if (!behaviour.m_fgSplitHeads) {
        push(std::move(packet), now);
        return;
    }
    // Cut inside the head (and, when merged, only there): 7, 16 and 17 bytes, then the rest.
    CSimTime due =
        connection.m_out.empty() ? now : std::max(now, connection.m_out.back().m_notBefore);
    std::size_t start = 0;
    for (const std::size_t end : {std::size_t{7}, std::size_t{23}, kPacketHead, packet.size()}) {
        if (end > start && end <= packet.size()) {
            push(CBytes(packet.begin() + static_cast<std::ptrdiff_t>(start),
                        packet.begin() + static_cast<std::ptrdiff_t>(end)),
                 due);
            due += kSplitGap;
            start = end;
        }
    }
}

void CStreamService::vFlush(CConnection& connection, CSimTime now) {
    while (!connection.m_out.empty() && !connection.m_fgClose) {
        CPiece& front = connection.m_out.front();
        if (front.m_notBefore > now) {
            return;
        }
        const int sent =
            iSend(connection.m_socket, std::span(front.m_bytes).subspan(connection.m_iOutOffset));
        if (sent < 0) {
            if (sent != -EAGAIN && sent != -EWOULDBLOCK && sent != -EINTR) {
                connection.m_fgClose = true;
            }
            return;
        }
        connection.m_iOutOffset += static_cast<std::size_t>(sent);
        connection.m_iOutBytes -= static_cast<std::size_t>(sent);
        if (connection.m_iOutOffset < front.m_bytes.size()) {
            return;
        }
        connection.m_out.pop_front();
        connection.m_iOutOffset = 0;
    }
}

}  // namespace devsim
