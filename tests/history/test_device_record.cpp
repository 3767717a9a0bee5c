// The history's own readings of what an operator types: MACs, keys and dates.
#include <gtest/gtest.h>

#include "history/device_record.h"

namespace {

TEST(DeviceRecord, NormalMacReadsEveryFormOfTheStation) {
    const struct {
        const char* text;
        const char* mac;  // "" when not a MAC
    } kRows[] = {
        {"AA:BB:CC:DD:EE:FF", "AA:BB:CC:DD:EE:FF"},
        {"aa-bb-cc-dd-ee-ff", "AA:BB:CC:DD:EE:FF"},
        {"aabbccddeeff", "AA:BB:CC:DD:EE:FF"},
        {"2  :A : 3 : 4 : 5 : 6", "02:0A:03:04:05:06"},  // the device list's wired form
        {"2:A:3:4:5", ""},                               // five groups
        {"2:A:3:4:5:6:7", ""},
        {"AAB:B:CC:DD:EE:FF", ""},
        {"AA:BB:CC:DD:EE:FG", ""},
        {"", ""},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(row.mac, strNormalMac(row.text)) << row.text;
    }
}

TEST(DeviceRecord, KeyIsAnAddressAMacOrElseAUid) {
    const struct {
        const char* key;
        EHistoryKey kind;
        const char* stored;
    } kRows[] = {
        {"10.0.0.5", EHistoryKey::kAddress, "10.0.0.5"},
        {"10.0.0.256", EHistoryKey::kUid, "10.0.0.256"},
        {"10.0.0", EHistoryKey::kUid, "10.0.0"},
        {"02:0a:03:04:05:06", EHistoryKey::kMac, "02:0A:03:04:05:06"},
        // Twelve hexadecimal digits without separators are a UID, not a MAC.
        {"ABCDEF012345", EHistoryKey::kUid, "ABCDEF012345"},
        {"KSIM0000000000000001", EHistoryKey::kUid, "KSIM0000000000000001"},
        {"", EHistoryKey::kNone, ""},
    };
    for (const auto& row : kRows) {
        const CHistoryQuery query = sQueryForKey(row.key);
        EXPECT_EQ(row.kind, query.m_eKey) << row.key;
        EXPECT_EQ(row.stored, query.m_strKey) << row.key;
    }
}

TEST(DeviceRecord, DatesAreReadAsUtc) {
    const struct {
        const char* text;
        long long ms;  // -1: refused
    } kRows[] = {
        {"1970-01-01", 0},
        {"2026-12-09", 1796774400000},
        {"2026-12-09T14:30", 1796826600000},
        {"2026-12-09 14:30:05", 1796826605000},
        {"2026-13-09", -1},
        {"2026-02-30", -1},
        {"2026-12-9", -1},
        {"2026-12-09T14", -1},
        {"2026-12-09T14:30:5", -1},
        {"2026-12-09x", -1},
        {"yesterday", -1},
    };
    for (const auto& row : kRows) {
        const std::optional<long long> ms = sParseUtcDateMs(row.text);
        EXPECT_EQ(row.ms, ms.value_or(-1)) << row.text;
    }
    EXPECT_EQ("2026-12-09T14:30:05.042Z", strUtcTime(1796826605042));
}

TEST(DeviceRecord, KeysDoNotRepeat) {
    const std::string first = strNewRecordKey();
    EXPECT_EQ(32U, first.size());
    for (int i = 0; i < 1000; ++i) {
        EXPECT_NE(first, strNewRecordKey());
    }
}

}  // namespace
