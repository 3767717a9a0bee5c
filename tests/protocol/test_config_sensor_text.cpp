#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "protocol/config_text.h"
#include "protocol/sensor_records.h"

namespace {

TEST(ConfigText, FlagZeroNumberItemLinesAndVolume) {
    const struct {
        std::string text;
        std::optional<std::uint32_t> number;
    } numbers[] = {
        {"a=1\nfg0_reset=64\n", 64},
        {"fg0_reset 1", 1},
        {"fg0_resetx=0\nfg0_reset=7", std::nullopt},  // only the first occurrence counts
        {"xfg0_reset= 1a2\r99", 12},                  // inside a word; digits up to the break
        {"fg0_reset=", 0},
        {"fg0_reset", std::nullopt},
        {"fg0_reset=" + std::string(120, '9'), 0xFFFFFFFFU},
    };
    for (const auto& row : numbers) {
        EXPECT_EQ(row.number, sFindConfigNumber(row.text, kFlagZeroKey)) << row.text;
    }

    using K = EConfigValueKind;
    const struct {
        std::string line;
        std::optional<CConfigItem> item;
    } items[] = {
        {"a==b", CConfigItem{"a", "b", K::kText}},
        {"x=y=z", std::nullopt},
        {"=volume=08=", CConfigItem{"volume", "08", K::kNumber}},
        {"name=x1", CConfigItem{"name", "x1", K::kText}},
        {"novalue", std::nullopt},
        {std::string(40, 'k') + "=" + std::string(40, '1'),
         CConfigItem{std::string(31, 'k'), std::string(31, '1'), K::kNumber}},
        {std::string(126, 'k') + "=v", std::nullopt},  // the value lies beyond 127 characters
    };
    for (const auto& row : items) {
        EXPECT_EQ(row.item, sParseConfigItem(row.line)) << row.line;
    }
    EXPECT_EQ(5U, vecSplitConfigLine("a=b=c=d=e=f=g").size());

    for (const auto& [text, valid] :
         std::vector<std::pair<std::string, bool>>{{"255", true},
                                                   {"1", true},
                                                   {" +12abc", true},
                                                   {"0", false},
                                                   {"256", false},
                                                   {"-5", false},
                                                   {"abc", false},
                                                   {"99999999999", false}}) {
        EXPECT_EQ(valid, fgVolumeTextValid(text)) << text;
    }

    std::array<bool, 8> rows{};
    rows[7] = true;
    EXPECT_EQ(0x400U, uiDefaultFlagWord(rows));
    rows = {true, false, false, false, false, false, true, false};
    EXPECT_EQ(0x041U, uiDefaultFlagWord(rows));

    EXPECT_EQ(-1, iKeyFunctionEntry(0));
    EXPECT_EQ(-1, iKeyFunctionEntry(200));
    EXPECT_EQ(4, iKeyFunctionEntry(209));
    EXPECT_EQ(117U, uiKeyFunctionCode(9));
    EXPECT_EQ(0U, uiKeyFunctionCode(-1));
}

std::array<std::uint8_t, kSensorResultBytes> arrResult(const char* name, std::int32_t type,
                                                       std::int32_t main, std::uint16_t second,
                                                       std::uint16_t third) {
    std::array<std::uint8_t, kSensorResultBytes> record{};
    std::memcpy(record.data(), name, std::strlen(name));
    const auto put = [&record](std::size_t at, std::uint32_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            record[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put(36, static_cast<std::uint32_t>(type), 4);
    put(40, static_cast<std::uint32_t>(main), 4);
    put(44, second, 2);
    put(46, third, 2);
    put(48, static_cast<std::uint32_t>(-55), 4);
    put(52, static_cast<std::uint32_t>(-57), 4);
    return record;
}

TEST(SensorRecords, ResultLinesByTypeWithScaledValues) {
    const std::string signal = "Signal strength(send) (-95dB ~ 50dB): -55 DB";
    const struct {
        std::int32_t type;
        std::int32_t main;
        std::uint16_t second;
        std::uint16_t third;
        std::vector<std::string> middle;
    } rows[] = {
        {7, 2150, 4550, 300, {"Temperature: 21.50", "Humidity: 45.50 %", "Illuminance: 300 LX"}},
        {8, 120, 0, 0, {"Combustible gas concentration: 120 PPM", "Whether alarm: Alarm"}},
        {3, 2, 0, 0, {"Door contact open/close: open"}},
        {5, 7, 0, 0, {"Whether alarm: Low battery"}},
        {10, 0, 60, 0, {"Real time power of smart socket: 60 W"}},
        {27, 1, 0, 0, {"Test Result: Normal"}},
        {1, 1, 0, 0, {}},
    };
    for (const auto& row : rows) {
        const auto record = arrResult("Hall", row.type, row.main, row.second, row.third);
        const std::vector<std::string> lines = vecSensorResultLines(sParseSensorResult(record));
        std::vector<std::string> expected{"Hall  Test Result: "};
        expected.insert(expected.end(), row.middle.begin(), row.middle.end());
        expected.push_back(signal);
        expected.push_back("Signal strength(recvieve) (-95dB ~ 50dB): -57 DB");
        EXPECT_EQ(expected, lines) << row.type;
    }

    std::array<std::uint8_t, kSensorEntryBytes> entry{};
    std::memset(entry.data(), 'n', kSensorNameBytes);  // no terminator in the name field
    entry[32] = 200;
    entry[34] = 7;
    const CSensorEntry parsed = sParseSensorEntry(entry);
    EXPECT_EQ(std::string(31, 'n'), parsed.m_strName);
    EXPECT_EQ(200U, parsed.m_uiIndex);
    EXPECT_EQ(7U, parsed.m_uiKind);
}

}  // namespace
