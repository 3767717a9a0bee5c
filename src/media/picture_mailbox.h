#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

// One converted picture: iWidth x iHeight pixels of four bytes (R, G, B, 255),
// rows 4 x iWidth bytes apart.
struct SRgbPicture {
    int iWidth = 0;
    int iHeight = 0;
    std::uint32_t uiSeq = 0;  // sequence number of the frame it was decoded from
    std::vector<std::uint8_t> rgb;
};

// One-slot mailbox between the decode thread and the painting side: the newest
// picture wins, nothing is queued. Pictures are swapped, never copied: the three
// buffers in play (the decoder's, the slot's and the painter's) are reused, so a
// steady stream allocates nothing. Thread-safe.
class CPictureMailbox {
  public:
    // Decode side: puts `picture` into the slot, replacing a picture nobody took.
    // `picture` comes back holding an older buffer to convert the next picture into.
    void vPut(SRgbPicture& picture);

    // Paint side: true and the newest picture swapped into `picture` when one arrived
    // since the last take; false leaves `picture` as it was.
    bool fgTake(SRgbPicture& picture);

    // Forgets a picture nobody took (the stream ended; it must not be painted later).
    void vClear();

  private:
    std::mutex m_lock;
    SRgbPicture m_slot;
    bool m_fgFresh = false;
};
