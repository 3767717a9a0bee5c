#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <memory>
#include <mutex>
#include <span>

#include "media/pcm_sink.h"

class QAudioSink;
class QIODevice;

// The player's output over Qt Multimedia: 8,000 Hz, mono, 16-bit signed samples to the
// default audio output. A buffer is handed back once all of its bytes went into the
// output's own buffer, so the player's pool drains at the pace of the sound card.
// Without an output device (a CI machine, a bench PC without speakers) fgOpen fails
// and the player discards what is decoded.
//
// Threads: the object lives on the UI thread, which opens it and pumps the output from
// a timer; fgQueue may be called from any thread; vClose from the UI thread.
class CQtPcmSink final : public QObject, public IPcmSink {
    Q_OBJECT

  public:
    static constexpr int kPumpMs = 10;

    explicit CQtPcmSink(QObject* parent = nullptr);
    ~CQtPcmSink() override;

    bool fgOpen(FnPlayed fnPlayed) override;
    bool fgQueue(int bufferId, std::span<const std::int16_t> samples) override;
    void vClose() override;

  private:
    struct CPending {
        int m_iBufferId;
        std::span<const std::int16_t> m_samples;
        qint64 m_llBytesWritten;
    };
    void vPump();

    std::mutex m_lock;
    bool m_fgOpen = false;
    FnPlayed m_fnPlayed;
    std::deque<CPending> m_pending;  // guarded by m_lock

    std::unique_ptr<QAudioSink> m_sink;  // UI thread only
    QPointer<QIODevice> m_device;        // owned by m_sink
    QTimer m_pump;
};
