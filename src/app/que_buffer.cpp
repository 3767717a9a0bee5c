#include "app/que_buffer.h"

#include <cstring>
#include <new>

#include "app/log.h"

CQueBuffer::CQueBuffer(int max) : m_iMax(max) {}

CQueBuffer::~CQueBuffer() {
    vClear();
}

int CQueBuffer::iAdd(int length, const void* data) {
    if (data == nullptr || length <= 0) {
        KLOG_INFO("NULL");
        return -4;
    }
    std::vector<std::uint8_t> copy;
    try {
        copy.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        KLOG_INFO("null");
        return -3;
    }
    std::memcpy(copy.data(), data, copy.size());

    std::lock_guard guard(m_lock);
    const int count = static_cast<int>(m_items.size());
    if (count >= m_iMax) {
        KLOG_INFO("buffer too long,curr=%d, max=%d", count, m_iMax);
        return -2;
    }
    m_items.push_back(std::move(copy));
    return 0;
}

int CQueBuffer::iGet(std::vector<std::uint8_t>& data) {
    std::lock_guard guard(m_lock);
    if (m_items.empty()) {
        return -2;
    }
    data = std::move(m_items.front());
    m_items.pop_front();
    return 0;
}

void CQueBuffer::vClear() {
    std::lock_guard guard(m_lock);
    m_items.clear();
}

int CQueBuffer::iCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_items.size());
}
