#include "media/picture_mailbox.h"

#include <utility>

void CPictureMailbox::vPut(SRgbPicture& picture) {
    std::lock_guard guard(m_lock);
    std::swap(m_slot, picture);
    m_fgFresh = true;
}

bool CPictureMailbox::fgTake(SRgbPicture& picture) {
    std::lock_guard guard(m_lock);
    if (!m_fgFresh) {
        return false;
    }
    std::swap(m_slot, picture);
    m_fgFresh = false;
    return true;
}

void CPictureMailbox::vClear() {
    std::lock_guard guard(m_lock);
    m_fgFresh = false;
}
