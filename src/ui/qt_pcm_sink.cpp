#include "ui/qt_pcm_sink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <vector>

#include "app/log.h"
#include "media/amr_decoder.h"

CQtPcmSink::CQtPcmSink(QObject* parent) : QObject(parent) {
    m_pump.setInterval(kPumpMs);
    connect(&m_pump, &QTimer::timeout, this, &CQtPcmSink::vPump);
}

CQtPcmSink::~CQtPcmSink() {
    vClose();
}

bool CQtPcmSink::fgOpen(FnPlayed fnPlayed) {
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        KLOG_INFO("no audio output device");
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(kPcmSamplesPerSecond);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!output.isFormatSupported(format)) {
        KLOG_INFO("audio output refuses 8000 Hz mono 16-bit");
        return false;
    }
    m_sink = std::make_unique<QAudioSink>(output, format);
    m_device = m_sink->start();
    if (m_device == nullptr) {
        m_sink.reset();
        return false;
    }
    {
        std::lock_guard guard(m_lock);
        m_fnPlayed = std::move(fnPlayed);
        m_fgOpen = true;
    }
    m_pump.start();
    return true;
}

bool CQtPcmSink::fgQueue(int bufferId, std::span<const std::int16_t> samples) {
    std::lock_guard guard(m_lock);
    if (!m_fgOpen) {
        return false;
    }
    m_pending.push_back({bufferId, samples, 0});
    return true;
}

void CQtPcmSink::vPump() {
    std::vector<int> played;
    {
        std::lock_guard guard(m_lock);
        if (!m_fgOpen || m_device == nullptr) {
            return;
        }
        qint64 room = m_sink->bytesFree();
        while (!m_pending.empty() && room > 0) {
            CPending& front = m_pending.front();
            const auto* bytes = reinterpret_cast<const char*>(front.m_samples.data());
            const qint64 total = static_cast<qint64>(front.m_samples.size_bytes());
            const qint64 written = m_device->write(bytes + front.m_llBytesWritten,
                                                   std::min(room, total - front.m_llBytesWritten));
            if (written <= 0) {
                break;
            }
            room -= written;
            front.m_llBytesWritten += written;
            if (front.m_llBytesWritten == total) {
                played.push_back(front.m_iBufferId);
                m_pending.pop_front();
            }
        }
    }
    // Outside the lock: the player may queue its next buffer from inside the call.
    for (const int bufferId : played) {
        m_fnPlayed(bufferId);
    }
}

void CQtPcmSink::vClose() {
    {
        std::lock_guard guard(m_lock);
        m_fgOpen = false;
        m_pending.clear();
    }
    m_pump.stop();
    if (m_sink) {
        m_sink->stop();
        m_sink.reset();
    }
}
