#pragma once

// The hand-over of discovery replies from the receive thread to the thread that
// turns them into device records. The receive thread only copies (no parsing); the
// consumer builds records from the oldest items first, a bounded number at a time.

#include <cstdint>
#include <span>
#include <vector>

#include "app/que_buffer.h"
#include "protocol/dev_info.h"

// Items the discovery queue holds: every reply of a bench of ten thousand devices
// answering one search, with room for the second search of a refresh. None may be
// dropped.
inline constexpr int kDiscoveryQueueCapacity = 16384;

// Queues a discovery reply with its sender (network byte order) as one item.
// 0 queued; -1 not exactly a 240-byte reply (ignored, nothing written anywhere);
// -2 the queue is full (CQueBuffer writes its "buffer too long" line); -3 no memory.
int iQueueDiscoveryReply(CQueBuffer& queue, std::span<const std::uint8_t> reply,
                         std::uint32_t senderNet);

// Takes at most maxItems of the oldest items and appends their records to records,
// oldest first. Returns the number of items taken (an item that cannot be built is
// taken and dropped).
int iTakeDiscoveryRecords(CQueBuffer& queue, int maxItems, std::vector<CDevInfo>& records);
