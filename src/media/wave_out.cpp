#include "media/wave_out.h"

#include <algorithm>
#include <chrono>

#include "app/log.h"

CWaveOut::CWaveOut(IPcmSink* sink) : m_sink(sink) {
    for (int id = 0; id < kBufferCount; ++id) {
        m_freeList[static_cast<std::size_t>(id)] = id;
    }
    m_iFreeCount = kBufferCount;
    if (m_sink == nullptr) {
        return;
    }
    const bool opened = m_sink->fgOpen([this](int bufferId) { vOnPlayed(bufferId); });
    std::lock_guard guard(m_lock);
    m_fgOpen = opened;
}

CWaveOut::~CWaveOut() {
    vClose();
}

bool CWaveOut::fgIsOpen() const {
    std::lock_guard guard(m_lock);
    return m_fgOpen;
}

int CWaveOut::iWrite(std::span<const std::int16_t, kAmrFrameSamples> samples) {
    int id = 0;
    {
        std::lock_guard guard(m_lock);
        if (!m_fgOpen) {
            return -1;
        }
        if (m_iFreeCount == 0) {
            return -2;
        }
        id = m_freeList[static_cast<std::size_t>(--m_iFreeCount)];
        m_atSink[static_cast<std::size_t>(id)] = true;
    }
    auto& buffer = m_buffers[static_cast<std::size_t>(id)];
    std::copy(samples.begin(), samples.end(), buffer.begin());
    // Outside the lock: the sink may hand the buffer back from inside the call.
    if (!m_sink->fgQueue(id, buffer)) {
        vOnPlayed(id);
        return -3;
    }
    return 0;
}

int CWaveOut::iFreeBuffers() const {
    std::lock_guard guard(m_lock);
    return m_iFreeCount;
}

void CWaveOut::vOnPlayed(int bufferId) {
    {
        std::lock_guard guard(m_lock);
        // A buffer the sink does not hold (a late or repeated report) changes nothing.
        if (bufferId < 0 || bufferId >= kBufferCount ||
            !m_atSink[static_cast<std::size_t>(bufferId)]) {
            return;
        }
        m_atSink[static_cast<std::size_t>(bufferId)] = false;
        m_freeList[static_cast<std::size_t>(m_iFreeCount++)] = bufferId;
    }
    m_bufferBack.notify_all();
}

void CWaveOut::vClose() {
    {
        std::unique_lock lock(m_lock);
        if (!m_fgOpen) {
            return;
        }
        // A sink that stopped handing buffers back must not hold the close forever.
        if (!m_bufferBack.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs),
                                   [this] { return m_iFreeCount == kBufferCount; })) {
            KLOG_ERR("sink kept %d buffers after %d ms, dropped", kBufferCount - m_iFreeCount,
                     kCloseWaitMs);
        }
    }
    m_sink->vClose();
    std::lock_guard guard(m_lock);
    m_fgOpen = false;
    for (int id = 0; id < kBufferCount; ++id) {
        m_atSink[static_cast<std::size_t>(id)] = false;
        m_freeList[static_cast<std::size_t>(id)] = id;
    }
    m_iFreeCount = kBufferCount;
    KLOG_INFO("close");
}
