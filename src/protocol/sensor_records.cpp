#include "protocol/sensor_records.h"

#include <array>
#include <cstdio>

#include "app/text_conv.h"
#include "app/translate.h"
#include "protocol/cmd_header.h"

namespace {

constexpr std::size_t kOffEntryIndex = 32;
constexpr std::size_t kOffEntryKind = 34;
constexpr std::size_t kOffType = 36;
constexpr std::size_t kOffMain = 40;
constexpr std::size_t kOffSecond = 44;
constexpr std::size_t kOffThird = 46;
constexpr std::size_t kOffSendDb = 48;
constexpr std::size_t kOffRecvDb = 52;
constexpr int kNameLocalBytes = 31;
constexpr std::size_t kLineMaxBytes = 59;

std::string strName(std::span<const std::uint8_t> bytes) {
    return strLocalName(bytes.first(kSensorNameBytes), kNameLocalBytes);
}

// The text cut to whole UTF-8 characters within the line limit.
std::string strCutLine(std::string text) {
    if (text.size() <= kLineMaxBytes) {
        return text;
    }
    // The first byte cut off must begin a character; else back to that character's start.
    std::size_t end = kLineMaxBytes;
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xC0U) == 0x80U) {
        --end;
    }
    text.resize(end);
    return text;
}

std::string strLine(const std::string& label, const std::string& value) {
    return strCutLine(label + ": " + value);
}

// A value in hundredths with two decimals, scaled in single precision.
std::string strHundredths(float value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.2f", static_cast<double>(value * 0.01F));
    return text.data();
}

std::string strAlarmWord(std::int32_t main) {
    return strTranslate(main == 1 ? "No alarm" : main == 2 ? "Alarm" : "Low battery");
}

}  // namespace

CSensorEntry sParseSensorEntry(std::span<const std::uint8_t, kSensorEntryBytes> entry) {
    return {strName(entry), entry[kOffEntryIndex], entry[kOffEntryKind]};
}

CSensorResult sParseSensorResult(std::span<const std::uint8_t, kSensorResultBytes> record) {
    CSensorResult result;
    result.m_strName = strName(record);
    result.m_iType = static_cast<std::int32_t>(uiReadLe32(record, kOffType));
    result.m_iMain = static_cast<std::int32_t>(uiReadLe32(record, kOffMain));
    result.m_usSecond = usReadLe16(record, kOffSecond);
    result.m_usThird = usReadLe16(record, kOffThird);
    result.m_iSendDb = static_cast<std::int32_t>(uiReadLe32(record, kOffSendDb));
    result.m_iRecvDb = static_cast<std::int32_t>(uiReadLe32(record, kOffRecvDb));
    return result;
}

std::vector<std::string> vecSensorResultLines(const CSensorResult& result) {
    std::vector<std::string> lines{result.m_strName + "  " + strTranslate("Test Result") + ": "};
    const std::int32_t type = result.m_iType;
    const std::int32_t main = result.m_iMain;
    if ((type >= 11 && type <= 20) || type == 26 || type == 27) {
        lines.push_back(strLine(strTranslate("Test Result"),
                                strTranslate(main == 1 ? "Normal" : "Not normal")));
    } else if (type == 10) {
        lines.push_back(strLine(strTranslate("Real time power of smart socket"),
                                std::to_string(result.m_usSecond) + " W"));
    } else if (type == 3) {
        lines.push_back(strLine(strTranslate("Door contact open/close"),
                                strTranslate(main == 1   ? "close"
                                             : main == 2 ? "open"
                                                         : "Low battery")));
    } else if (type == 7) {
        lines.push_back(
            strLine(strTranslate("Temperature"), strHundredths(static_cast<float>(main))));
        lines.push_back(strLine(strTranslate("Humidity"),
                                strHundredths(static_cast<float>(result.m_usSecond)) + " %"));
        lines.push_back(
            strLine(strTranslate("Illuminance"), std::to_string(result.m_usThird) + " LX"));
    } else if (type == 8) {
        lines.push_back(
            strLine(strTranslate("Combustible gas concentration"), std::to_string(main) + " PPM"));
        lines.push_back(strLine(strTranslate("Whether alarm"), strTranslate("Alarm")));
    } else if (type == 4 || type == 5 || type == 6 || type == 9) {
        lines.push_back(strLine(strTranslate("Whether alarm"), strAlarmWord(main)));
    }
    lines.push_back(strLine(strTranslate("Signal strength(send)") + " (-95dB ~ 50dB)",
                            std::to_string(result.m_iSendDb) + " DB"));
    lines.push_back(strLine(strTranslate("Signal strength(recvieve)") + " (-95dB ~ 50dB)",
                            std::to_string(result.m_iRecvDb) + " DB"));
    return lines;
}
