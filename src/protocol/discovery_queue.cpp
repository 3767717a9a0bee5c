#include "protocol/discovery_queue.h"

int iQueueDiscoveryReply(CQueBuffer& queue, std::span<const std::uint8_t> reply,
                         std::uint32_t senderNet) {
    const auto item = sMakeDiscoveryItem(reply, senderNet);
    if (!item) {
        return -1;
    }
    const int result = queue.iAdd(static_cast<int>(item->size()), item->data());
    return result == -2 ? -2 : (result == 0 ? 0 : -3);
}

int iTakeDiscoveryRecords(CQueBuffer& queue, int maxItems, std::vector<CDevInfo>& records) {
    int taken = 0;
    std::vector<std::uint8_t> item;
    while (taken < maxItems && queue.iGet(item) == 0) {
        ++taken;
        if (auto devInfo = vBuildDevInfo(item)) {
            records.push_back(std::move(*devInfo));
        }
    }
    return taken;
}
