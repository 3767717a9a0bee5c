#include "media/live_session.h"

CLiveSession::CLiveSession(IPcmSink* sink, ILiveView& view)
    : m_view(view),
      m_videoCtrl(
          m_mailbox, [this](std::span<const std::uint8_t> packet) { vOnOtherPacket(packet); },
          [this](std::uint32_t) { m_view.vOnPictureReady(); }),
      m_audioCtrl(sink) {
    m_videoRecording.m_eFormat = ERecordFormat::kH264;
    m_videoRecording.m_eChannel = EStreamChannel::kVideo;
    m_listenRecording.m_eFormat = ERecordFormat::kPcm;
    m_listenRecording.m_eChannel = EStreamChannel::kListen;
    m_videoSession.vSetMediaConsumer(
        [this](const CMediaHead& head, std::span<const std::uint8_t> packet) {
            if (head.m_uiType == kPktVideoFrame) {
                m_videoCtrl.iAddFrame(packet.subspan(kMediaHeadBytes), head.m_uiSequence);
            } else {
                m_videoCtrl.iAddOther(packet);
            }
        });
    m_videoSession.vSetOtherConsumer(
        [this](std::span<const std::uint8_t> packet) { m_videoCtrl.iAddOther(packet); });
    // Decoding runs while the video channel's manage thread runs.
    m_videoSession.vSetManageConsumers([this] { m_videoCtrl.iStartDecodeAndDisplay(); },
                                       [this] { m_videoCtrl.iStopDecodeAndDisplay(); });
    // Only sound is played: a login answer on the listen channel is no AMR.
    m_listenSession.vSetMediaConsumer(
        [this](const CMediaHead& head, std::span<const std::uint8_t> packet) {
            if (head.m_uiType == kPktAudioFrame) {
                m_audioCtrl.iAddPacket(packet.subspan(kMediaHeadBytes));
            }
        });
    // Sound queued before a (re)connect is stale.
    m_listenSession.vSetStartedConsumer([this](int) { m_audioCtrl.vClearQueue(); });
}

CLiveSession::~CLiveSession() {
    m_network.BaNetwork_StopStream(EStreamChannel::kListen);
    m_network.BaNetwork_StopStream(EStreamChannel::kVideo);
    m_videoCtrl.iStopDecodeAndDisplay();
    vClose(m_listenRecording, m_listenSession);
    vClose(m_videoRecording, m_videoSession);
}

void CLiveSession::vOnOtherPacket(std::span<const std::uint8_t> packet) {
    const std::optional<CMediaHead> head = sParseMediaHead(packet);
    if (head && head->m_uiType == kPktLoginReply && head->m_iResult != kStreamResultOk) {
        m_view.vOnVideoLoginFailed(head->m_iResult);
    }
}

int CLiveSession::iStartVideo(int streamId, const StreamCredentials& credentials,
                              std::uint32_t addrNet, const std::string& recordPath) {
    vClose(m_videoRecording, m_videoSession);
    if (m_network.BaNetwork_StartStream(streamId, m_videoSession, credentials, addrNet) != 0) {
        return -1;
    }
    m_fgVideoPlaying = true;
    {
        std::lock_guard guard(m_pathLock);
        m_videoRecording.m_strPath = recordPath;
    }
    vFeed(m_videoRecording, m_videoSession, m_fgVideoRecording, m_fgVideoPlaying);
    return 0;
}

void CLiveSession::vStopVideo() {
    m_network.BaNetwork_StopStream(EStreamChannel::kVideo);
    m_fgVideoPlaying = false;
    vClose(m_videoRecording, m_videoSession);
}

int CLiveSession::iStartListen(const StreamCredentials& credentials, std::uint32_t addrNet,
                               const std::string& recordPath) {
    // A new start (another device, a video start) writes a new file.
    vClose(m_listenRecording, m_listenSession);
    {
        std::lock_guard guard(m_pathLock);
        m_listenRecording.m_strPath = recordPath;
    }
    if (m_network.BaNetwork_StartStream(kStreamListen, m_listenSession, credentials, addrNet) !=
        0) {
        return -1;
    }
    m_fgListening = true;
    vFeed(m_listenRecording, m_listenSession, m_fgListenRecording, m_fgListening);
    return 0;
}

void CLiveSession::vStopListen() {
    m_network.BaNetwork_StopStream(EStreamChannel::kListen);
    m_fgListening = false;
    vClose(m_listenRecording, m_listenSession);
}

void CLiveSession::vSetVideoRecording(bool on) {
    m_fgVideoRecording = on;
    vFeed(m_videoRecording, m_videoSession, on, m_fgVideoPlaying);
}

void CLiveSession::vSetListenRecording(bool on) {
    m_fgListenRecording = on;
    vFeed(m_listenRecording, m_listenSession, on, m_fgListening);
}

std::string CLiveSession::strVideoRecordPath() const {
    std::lock_guard guard(m_pathLock);
    return m_videoRecording.m_strPath;
}

std::string CLiveSession::strListenRecordPath() const {
    std::lock_guard guard(m_pathLock);
    return m_listenRecording.m_strPath;
}

void CLiveSession::vFeed(CRecording& recording, CStreamSession& session, bool on, bool playing) {
    if (!on || !playing || recording.m_strPath.empty()) {
        session.vSetRecorder(nullptr);
        return;
    }
    if (recording.m_recorder == nullptr) {
        const EStreamChannel channel = recording.m_eChannel;
        auto recorder = std::make_shared<CStreamRecorder>(
            recording.m_strPath, recording.m_eFormat,
            [this, channel](const std::string& path) { m_view.vOnRecordingStarted(channel, path); },
            [this, channel](const CRecordingEnd& end) { m_view.vOnRecordingCut(channel, end); });
        std::string error;
        if (!recorder->fgOpen(error)) {
            CRecordingEnd end;
            end.m_strPath = recording.m_strPath;
            end.m_strError = error;
            m_view.vOnRecordingCut(channel, end);
            return;
        }
        recording.m_recorder = std::move(recorder);
    } else {
        recording.m_recorder->vWaitForKeyFrame();
    }
    session.vSetRecorder(recording.m_recorder);
}

void CLiveSession::vClose(CRecording& recording, CStreamSession& session) {
    session.vSetRecorder(nullptr);
    if (recording.m_recorder != nullptr) {
        // A cut was told when it happened; closing only finishes the file.
        recording.m_recorder->sClose();
        recording.m_recorder.reset();
    }
}
