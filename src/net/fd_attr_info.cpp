#include "net/fd_attr_info.h"

#include <algorithm>
#include <utility>

#include "app/log.h"

void CFdAttrInfo::vAdd(const CSocket& socket, AcceptCallback onAccept, ReadCallback onRead) {
    const std::lock_guard lock(m_lock);
    m_members.push_back(CMember{&socket, std::move(onAccept), std::move(onRead)});
}

void CFdAttrInfo::vClear() {
    const std::lock_guard lock(m_lock);
    m_members.clear();
}

std::size_t CFdAttrInfo::iMemberCount() const {
    const std::lock_guard lock(m_lock);
    return m_members.size();
}

int CFdAttrInfo::iRead() {
    m_waited.reserve(kMaxWaited);
    m_ready.reserve(kMaxWaited);
    m_serve.reserve(kMaxWaited);
    m_waited.clear();
    {
        const std::lock_guard lock(m_lock);
        if (m_members.empty()) {
            KLOG_INFO("no fd");
            return -1;
        }
        for (const CMember& member : m_members) {
            const SocketHandle handle = member.m_pSocket->iHandle();
            if (m_waited.size() < kMaxWaited &&
                std::find(m_waited.begin(), m_waited.end(), handle) == m_waited.end()) {
                m_waited.push_back(handle);
            }
        }
    }

    const int readyCount = iWaitReadable(m_waited, m_iWaitMs.load(), m_ready);
    if (readyCount <= 0) {
        return readyCount;
    }

    // The callbacks run without the lock: one that takes long (or adds a member)
    // must not hold up vAdd on another thread. Members never move once added.
    m_serve.clear();
    {
        const std::lock_guard lock(m_lock);
        for (const CMember& member : m_members) {
            if (std::find(m_ready.begin(), m_ready.end(), member.m_pSocket->iHandle()) !=
                m_ready.end()) {
                m_serve.push_back(&member);
            }
        }
    }
    for (const CMember* member : m_serve) {
        if (member->m_onAccept && member->m_onAccept(*member->m_pSocket) < 0) {
            KLOG_INFO("delete node");
        }
        if (member->m_onRead && member->m_onRead(m_buffer, *member->m_pSocket) < 0) {
            KLOG_INFO("delete node");
        }
    }
    return readyCount;
}
