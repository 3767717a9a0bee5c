// The simulated device reads a file head from whatever a station sends. It must stay
// inside the bytes, take only what the head's table allows and report the head's
// exact length.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devsim/sim_upgrade_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<devsim::CSimUpgHeadFile> files;
    const int length = devsim::iParseSimUpgHead(std::span(data, size), files);
    const bool consistent =
        length > 0 ? static_cast<std::size_t>(length) <= size && !files.empty() &&
                         files.size() <= devsim::kUpgFilesMost &&
                         static_cast<std::size_t>(length) ==
                             devsim::kUpgHeadStart + devsim::kUpgEntryBytes * files.size()
                   : files.empty();
    if (!consistent) {
        __builtin_trap();
    }
    for (const devsim::CSimUpgHeadFile& file : files) {
        if (file.m_uiSize < 1 || file.m_strName.size() > devsim::kUpgNameLongest) {
            __builtin_trap();
        }
    }
    return 0;
}
