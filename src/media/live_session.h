#pragma once

// The live view of one device as the window shows it: the stream client with its video
// and listen channels, the decoding into the picture mailbox, the sound into a PCM
// sink and the two recordings (the video as H.264 from a key frame, the sound as raw
// 8 kHz PCM). The window's page keeps only its widgets and calls this.
//
// A recording is on or off independently of playing: while on, the current play's
// frames go to the recording named at its start (from its next key frame after a
// pause); the recording closes when its channel stops.
//
// Threads: every member function from one controlling thread (the UI's). The view is
// called on the stream's, the decode and the recordings' threads; each call only
// posts and returns.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "media/audio_ctrl.h"
#include "media/ba_network.h"
#include "media/picture_mailbox.h"
#include "media/stream_clock.h"
#include "media/stream_recorder.h"
#include "media/stream_session.h"
#include "media/video_ctrl.h"

// What the live session reports.
class ILiveView {
  public:
    virtual ~ILiveView() = default;
    // Decode thread: a new picture is in the mailbox.
    virtual void vOnPictureReady() = 0;
    // Decode thread: the video channel's login was answered with a failure.
    virtual void vOnVideoLoginFailed(std::int32_t result) = 0;
    // Writer thread: the first frame of a recording reached its file.
    virtual void vOnRecordingStarted(EStreamChannel channel, const std::string& path) = 0;
    // Writer or controlling thread: a recording was cut, or could not be made.
    virtual void vOnRecordingCut(EStreamChannel channel, const CRecordingEnd& end) = 0;
};

class CLiveSession {
  public:
    // sink (may be null: sound decoded and dropped) and view outlive the session.
    CLiveSession(IPcmSink* sink, ILiveView& view);
    // Stops both channels and the decoding, closes the recordings.
    ~CLiveSession();
    CLiveSession(const CLiveSession&) = delete;
    CLiveSession& operator=(const CLiveSession&) = delete;

    // Plays stream streamId (kStreamMain or kStreamSub) of the device at addrNet;
    // recordPath names the video recording of this play. A play that runs is replaced
    // (its recording closed). 0, or -1 when the stream could not start.
    int iStartVideo(int streamId, const StreamCredentials& credentials, std::uint32_t addrNet,
                    const std::string& recordPath);
    void vStopVideo();
    // Listens to the device at addrNet; recordPath names the sound recording.
    int iStartListen(const StreamCredentials& credentials, std::uint32_t addrNet,
                     const std::string& recordPath);
    void vStopListen();

    void vSetVideoRecording(bool on);
    bool fgVideoRecording() const { return m_fgVideoRecording; }
    void vSetListenRecording(bool on);
    bool fgListenRecording() const { return m_fgListenRecording; }
    // The names of the current (or last) recordings; empty before the first start.
    std::string strVideoRecordPath() const;
    std::string strListenRecordPath() const;

    CPictureMailbox& mailbox() { return m_mailbox; }
    SAudioStats sAudioStats() const { return m_audioCtrl.sStats(); }

  private:
    struct CRecording {
        ERecordFormat m_eFormat = ERecordFormat::kH264;
        EStreamChannel m_eChannel = EStreamChannel::kVideo;
        std::string m_strPath;
        std::shared_ptr<CStreamRecorder> m_recorder;
    };

    // Feeds the channel's session from the recording when the recording is on and its
    // channel plays (opening it at the first need), or stops feeding it.
    void vFeed(CRecording& recording, CStreamSession& session, bool on, bool playing);
    void vClose(CRecording& recording, CStreamSession& session);
    void vOnOtherPacket(std::span<const std::uint8_t> packet);

    ILiveView& m_view;
    CSteadyStreamClock m_clock;
    CPictureMailbox m_mailbox;
    CVideoCtrl m_videoCtrl;
    CAudioCtrl m_audioCtrl;
    CStreamSession m_videoSession{kStreamMain};
    CStreamSession m_listenSession{kStreamListen};
    CBaNetwork m_network{m_clock};

    bool m_fgVideoPlaying = false;
    bool m_fgListening = false;
    std::atomic<bool> m_fgVideoRecording{false};
    std::atomic<bool> m_fgListenRecording{false};
    mutable std::mutex m_pathLock;  // the paths, read by the page's queries
    CRecording m_videoRecording;
    CRecording m_listenRecording;
};
