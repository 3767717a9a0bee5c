#include "media/ba_network.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "app/log.h"
#include "net/lan_interfaces.h"
#include "net/socket_helpers.h"
#include "protocol/requests.h"

namespace {

constexpr std::chrono::milliseconds kTick{kStreamTickMs};
// Pause between the login and the first get-stream request.
constexpr std::chrono::milliseconds kLoginPause{20};
constexpr int kReadWaitMs = 1000;
// Written in place of the password in the login line.
constexpr const char* kPasswordMask = "******";

}  // namespace

StreamCredentials sMakeStreamCredentials(std::string_view user, std::string_view password) {
    StreamCredentials block{};
    std::memcpy(block.data(), user.data(), std::min(user.size(), kStreamTextField - 1));
    std::memcpy(block.data() + kStreamTextField, password.data(),
                std::min(password.size(), kStreamTextField - 1));
    return block;
}

int iBaNetwork_OpenStreamServer(std::uint32_t addrNet) {
    const CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        KLOG_INFO("create socket fail");
        return -1;
    }
    const CmdBytes datagram = bufBuildOpenStream();
    if (iSendTo(socket, datagram, CEndpoint{addrNet, kPortSearch}) !=
        static_cast<int>(datagram.size())) {
        KLOG_INFO("send fail");
        return -2;
    }
    return 0;
}

CBaNetwork::CBaNetwork(IStreamClock& clock) : m_clock(clock) {
    m_listen.m_eChannel = EStreamChannel::kListen;
    m_listen.m_eMode = EStreamMode::kListen;
    m_listen.m_iStreamId = kStreamListen;
}

CBaNetwork::~CBaNetwork() {
    BaNetwork_StopStream(EStreamChannel::kListen);
    BaNetwork_StopStream(EStreamChannel::kVideo);
}

CBaNetwork::CChannel& CBaNetwork::sChannel(EStreamChannel channel) {
    return channel == EStreamChannel::kListen ? m_listen : m_video;
}

const CBaNetwork::CChannel& CBaNetwork::sChannel(EStreamChannel channel) const {
    return channel == EStreamChannel::kListen ? m_listen : m_video;
}

bool CBaNetwork::fgPlaying(EStreamChannel channel) const {
    return sChannel(channel).m_fgPlaying;
}

int CBaNetwork::iStreamId(EStreamChannel channel) const {
    return sChannel(channel).m_iStreamId;
}

int CBaNetwork::BaNetwork_StartStream(int streamId, IStreamOwner& owner,
                                      const StreamCredentials& credentials, std::uint32_t addrNet) {
    if (streamId != kStreamMain && streamId != kStreamSub && streamId != kStreamListen) {
        KLOG_INFO("err stream id");
        return -1;
    }
    CChannel& channel =
        sChannel(streamId == kStreamListen ? EStreamChannel::kListen : EStreamChannel::kVideo);
    if (channel.m_fgPlaying) {
        if (channel.m_uiAddrNet == addrNet) {
            KLOG_INFO("playing");
            if (channel.m_iStreamId != streamId) {
                KLOG_INFO("chg stream id =%d", streamId);
                channel.m_iStreamId = streamId;
            }
            return 0;
        }
        KLOG_INFO("last ip:%s", strIpText(channel.m_uiAddrNet).c_str());
        KLOG_INFO("curr ip:%s", strIpText(addrNet).c_str());
    }
    channel.m_manage.vStop(kManageStopWaitMs);

    channel.m_pOwner = &owner;
    channel.m_iStreamId = streamId;
    channel.m_uiAddrNet = addrNet;
    std::memcpy(channel.m_user.data(), credentials.data(), kStreamTextField);
    std::memcpy(channel.m_password.data(), credentials.data() + kStreamTextField, kStreamTextField);
    channel.m_user.back() = '\0';
    channel.m_password.back() = '\0';
    // Set here as well, so that a second start right after this one finds it playing.
    channel.m_fgPlaying = true;
    if (const auto started = channel.m_manage.sStart(
            "stream-manage", [this, &channel](std::stop_token stop) { ManageProc(channel, stop); });
        !started) {
        channel.m_fgPlaying = false;
        KLOG_INFO("new fail: %s", started.error().m_strReason.c_str());
        return -2;
    }
    return 0;
}

void CBaNetwork::BaNetwork_StopStream(EStreamChannel channel) {
    CChannel& record = sChannel(channel);
    record.m_fgPlaying = false;
    record.m_manage.vStop(kManageStopWaitMs);
    KLOG_INFO("control exit,stream id=%d",
              channel == EStreamChannel::kListen ? kStreamListen : kStreamMain);
}

void CBaNetwork::vSetAlive(CChannel& channel, int value) {
    std::lock_guard guard(m_aliveLock);
    channel.m_iAlive = value;
}

int CBaNetwork::iTakeAlive(CChannel& channel) {
    std::lock_guard guard(m_aliveLock);
    const int value = channel.m_iAlive;
    if (channel.m_iAlive > 0) {
        --channel.m_iAlive;
    }
    return value;
}

bool CBaNetwork::fgSendRequest(CChannel& channel, std::span<const std::uint8_t> request,
                               const char* who) {
    int sent = 0;
    {
        std::lock_guard guard(channel.m_sendLock);
        if (!channel.m_socket.fgValid()) {
            KLOG_INFO("%s: invalid socket", who);
            return false;
        }
        sent = iSend(channel.m_socket, request);
    }
    if (sent != static_cast<int>(request.size())) {
        KLOG_INFO("%s: send fail", who);
        return false;
    }
    return true;
}

void CBaNetwork::BaNetwork_Login(CChannel& channel) {
    const StreamLoginRequest request =
        bufBuildStreamLogin(channel.m_user.data(), channel.m_password.data());
    fgSendRequest(channel, request, "CBaNetwork::BaNetwork_Login");
}

void CBaNetwork::BaNetwork_SendGetStreamCmd(CChannel& channel, int streamId) {
    fgSendRequest(channel, bufBuildGetStream(streamId, channel.m_eMode),
                  "CBaNetwork::BaNetwork_SendGetStreamCmd");
}

void CBaNetwork::BaNetwork_SwitchVideoStreamID(CChannel& channel, int streamId) {
    fgSendRequest(channel, bufBuildSwitchStream(streamId),
                  "CBaNetwork::BaNetwork_SwitchVideoStreamID");
}

void CBaNetwork::vStopConnection(CChannel& channel) {
    channel.m_heartbeat.vStop(kWorkerStopWaitMs);
    // Ending the connection wakes the receive thread from its wait at once.
    channel.m_receive.vRequestStop();
    if (channel.m_socket.fgValid()) {
        (void)iShutdown(channel.m_socket);
    }
    channel.m_receive.vStop(kWorkerStopWaitMs);
    std::lock_guard guard(channel.m_sendLock);
    channel.m_socket.vClose();
}

int CBaNetwork::BaNetwork_StartStreamHandle(CChannel& channel, const std::stop_token& stop) {
    vStopConnection(channel);
    const std::uint32_t addrNet = channel.m_uiAddrNet;
    iBaNetwork_OpenStreamServer(addrNet);

    CSocket socket;
    // The device opens its stream server when the datagram above arrives, which may be
    // a moment after a connect gets there: a refused connect is tried again at once, a
    // few times, 20 ms apart (a connect that times out is not).
    for (int attempt = 1;; ++attempt) {
        socket = CSocket::Tcp();
        if (!socket.fgValid()) {
            KLOG_ERR("socket error !");
        }
        const int connected =
            socket.fgValid() ? iSocketTcpConnect2(socket, addrNet, kPortStream) : -2;
        if (connected == 0) {
            break;
        }
        if (connected != -1 || attempt >= kQuickConnects || !m_clock.fgSleepFor(kTick, stop)) {
            KLOG_ERR("Stream socket connect fail");
            return -2;
        }
    }
    {
        std::lock_guard guard(channel.m_sendLock);
        channel.m_socket = std::move(socket);
    }
    // The password never goes into the log.
    KLOG_INFO("login....,usr:%s,pwd:%s,ip:%s", channel.m_user.data(), kPasswordMask,
              strIpText(addrNet).c_str());
    BaNetwork_Login(channel);
    m_clock.fgSleepFor(kLoginPause, stop);
    BaNetwork_SendGetStreamCmd(channel, channel.m_iStreamId);

    auto started = channel.m_receive.sStart(
        "stream-recv", [this, &channel, startId = channel.m_iStreamId.load()](
                           std::stop_token token) { StreamProc(channel, startId, token); });
    if (started) {
        started = channel.m_heartbeat.sStart(
            "stream-beat",
            [this, &channel](std::stop_token token) { HeartbeatProc(channel, token); });
    }
    if (!started) {
        KLOG_INFO("new fail: %s", started.error().m_strReason.c_str());
        return -1;
    }
    channel.m_pOwner->vOnStreamStarted(channel.m_iStreamId);
    KLOG_INFO("start  handle, stream id = %d", channel.m_iStreamId.load());
    return 0;
}

void CBaNetwork::ManageProc(CChannel& channel, const std::stop_token& stop) {
    const bool video = channel.m_eChannel == EStreamChannel::kVideo;
    channel.m_fgPlaying = true;
    KLOG_INFO("start stream id=%d", channel.m_iStreamId.load());
    if (video) {
        channel.m_pOwner->vOnManageStarted();
    }
    KLOG_INFO("start");

    // The stream asked for, read before the connection asks for it: a switch that comes
    // while the connection is made is then noticed below (at worst a switch to the
    // stream already asked for), never lost.
    int lastStreamId = channel.m_iStreamId;
    for (int tick = 0; !stop.stop_requested(); ++tick) {
        if (tick % kConnectRetryTicks == 0 || tick < kQuickConnects) {
            const auto started = m_clock.tpNow();
            const int result = BaNetwork_StartStreamHandle(channel, stop);
            if (result == 0) {
                break;
            }
            KLOG_INFO("start get stream fail,err=%d", result);
            if (result != -2) {
                break;
            }
            const auto costMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(m_clock.tpNow() - started);
            KLOG_INFO("cost %dMs", static_cast<int>(costMs.count()));
        }
        if (!m_clock.fgSleepFor(kTick, stop)) {
            break;
        }
    }

    int grace = 3;
    int lastAlive = 0;
    for (int tick = 1; m_clock.fgSleepFor(kTick, stop); ++tick) {
        if (tick % kTicksPerSecond != 0) {
            continue;
        }
        const int streamId = channel.m_iStreamId;
        if (streamId != lastStreamId) {
            lastStreamId = streamId;
            if (video) {
                KLOG_INFO("chg stream id to %d", streamId);
                BaNetwork_SendGetStreamCmd(channel, streamId);
                BaNetwork_SwitchVideoStreamID(channel, streamId);
            }
        }
        const bool receiveEnded = !channel.m_receive.fgRunning();
        if (receiveEnded || lastAlive == 0) {
            // A silent connection gets its grace; a connection that is gone (or was never
            // made) is asked for again every second, so a device that answers again is
            // streaming within about a second.
            if (grace > 0 && !receiveEnded) {
                --grace;
            } else {
                if (lastAlive == 0) {
                    KLOG_INFO(">3s no stream heartbeat");
                }
                if (receiveEnded) {
                    KLOG_INFO("stream exit,re-req");
                }
                if (BaNetwork_StartStreamHandle(channel, stop) != 0) {
                    KLOG_INFO("start get stream fail");
                    grace = 0;
                } else {
                    grace = 4;
                }
            }
        } else if (grace > 0) {
            --grace;
        }
        lastAlive = iTakeAlive(channel);
    }

    vStopConnection(channel);
    if (video) {
        channel.m_pOwner->vOnManageEnded();
    }
    channel.m_fgPlaying = false;
    KLOG_INFO("exit manage thread, streamid=%d", channel.m_iStreamId.load());
}

void CBaNetwork::StreamProc(CChannel& channel, int startStreamId, const std::stop_token& stop) {
    const bool listen = channel.m_eMode == EStreamMode::kListen;
    std::optional<CMediaPacketCutter> cutter;
    try {
        cutter.emplace(listen ? kListenRecvBufferBytes : kVideoRecvBufferBytes);
    } catch (const std::bad_alloc&) {
        KLOG_INFO("null");
        return;
    }
    vSetAlive(channel, kAliveFull);
    bool lastWasVideo = false;
    bool failed = false;
    while (!failed && !stop.stop_requested()) {
        int events = 0;
        int got = iWaitOne(channel.m_socket, true, false, kReadWaitMs, events);
        if (got == 0) {
            continue;
        }
        if (got > 0) {
            got = iRecv(channel.m_socket, cutter->spanFree());
        }
        if (got == 0) {
            if (!stop.stop_requested()) {
                KLOG_INFO("peer closed");
            }
            break;
        }
        if (got < 0) {
            if (fgSockRetry(got)) {
                KLOG_INFO("<0");
                m_clock.fgSleepFor(kTick, stop);
                continue;
            }
            KLOG_INFO("socket err,ret=%d", got);
            break;
        }
        cutter->vCommit(static_cast<std::size_t>(got));
        std::span<const std::uint8_t> packet;
        for (CCutResult cut = cutter->sNext(packet); cut.m_eCut != ECut::kNeedMore;
             cut = cutter->sNext(packet)) {
            if (cut.m_eCut == ECut::kBadMagic) {
                KLOG_INFO("video packet head error");
                failed = true;
                break;
            }
            if (cut.m_eCut == ECut::kOverflow) {
                KLOG_INFO("recvbuf overflow, len=%u", cut.m_uiPayloadBytes);
                failed = true;
                break;
            }
            const CMediaHead head = *sParseMediaHead(packet);
            bool deliver = false;
            bool media = false;
            switch (head.m_uiType) {
                case kPktVideoFrame:
                    lastWasVideo = true;
                    media = true;
                    deliver = fgAcceptVideoFrame(head.m_ucStreamId, channel.m_iStreamId);
                    if (!deliver) {
                        KLOG_INFO("diff stream id, local id=%d,remote id=%d",
                                  channel.m_iStreamId.load(), head.m_ucStreamId);
                    }
                    break;
                case kPktAudioFrame:
                    lastWasVideo = false;
                    media = true;
                    deliver = true;
                    break;
                case kPktLoginReply:
                    KLOG_INFO("login resp");
                    if (head.m_iResult != kStreamResultOk) {
                        KLOG_INFO("login return err=%d", head.m_iResult);
                    }
                    BaNetwork_SendGetStreamCmd(channel, channel.m_iStreamId);
                    deliver = true;
                    break;
                case kPktAuthReply:
                    if (head.m_iResult == kStreamResultNoAuth) {
                        KLOG_INFO("no auth, streamid=%d", startStreamId);
                    }
                    deliver = true;
                    break;
                case kPktSwitchReply:
                    KLOG_INFO("switch stream resp");
                    break;
                default:
                    break;
            }
            if (deliver) {
                channel.m_pOwner->vOnStreamPacket(startStreamId, packet);
                if (media) {
                    vSetAlive(channel, kAliveFull);
                }
            }
        }
        cutter->vCompact();
    }
    KLOG_INFO("exit %s thread, fgExit=%d", lastWasVideo ? "video" : "audio",
              stop.stop_requested() ? 1 : 0);
}

void CBaNetwork::HeartbeatProc(CChannel& channel, const std::stop_token& stop) {
    const StreamRequest heartbeat = bufBuildStreamHeartbeat();
    for (int count = 1; m_clock.fgSleepFor(kTick, stop); ++count) {
        if (count % kTicksPerSecond != 0) {
            continue;
        }
        int sent = 0;
        {
            std::lock_guard guard(channel.m_sendLock);
            sent = iSend(channel.m_socket, heartbeat);
        }
        if (sent != static_cast<int>(heartbeat.size())) {
            KLOG_INFO("send heart beart fail, ret=%d", sent);
            break;
        }
    }
    KLOG_INFO("exit heart beat heard");
}
