// The sensor records a device sends: every list entry and result record, whatever its
// bytes, gives a name of at most 31 bytes and result lines of at most 59 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/sensor_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (bytes.size() >= kSensorEntryBytes) {
        const CSensorEntry entry = sParseSensorEntry(bytes.first<kSensorEntryBytes>());
        if (entry.m_strName.size() > kSensorNameBytes - 1) {
            __builtin_trap();
        }
    }
    if (bytes.size() >= kSensorResultBytes) {
        const CSensorResult result = sParseSensorResult(bytes.first<kSensorResultBytes>());
        const auto lines = vecSensorResultLines(result);
        if (std::any_of(lines.begin() + 1, lines.end(),
                        [](const std::string& line) { return line.size() > 59; })) {
            __builtin_trap();
        }
    }
    return 0;
}
