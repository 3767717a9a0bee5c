#include "history/device_record.h"

#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <ctime>
#include <random>
#include <vector>

#include "platform/local_time.h"

namespace {

constexpr std::array<std::string_view, 5> kOutcomeNames{"pass", "fail", "no-answer", "skipped",
                                                        "error"};

bool fgIsIpv4(const std::string& text) {
    int parts = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('.', start), text.size());
        int value = 0;
        const char* first = text.data() + start;
        const char* last = text.data() + end;
        const auto [ptr, error] = std::from_chars(first, last, value);
        if (error != std::errc() || ptr != last || end - start > 3 || value > 255) {
            return false;
        }
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

// Reads a number of exactly `digits` digits at text[pos].
bool fgReadDigits(std::string_view text, std::size_t pos, std::size_t digits, int& value) {
    if (pos + digits > text.size()) {
        return false;
    }
    const char* first = text.data() + pos;
    const auto [ptr, error] = std::from_chars(first, first + digits, value);
    return error == std::errc() && ptr == first + digits;
}

}  // namespace

std::string_view strJobOutcomeName(EJobOutcome outcome) {
    return kOutcomeNames.at(static_cast<std::size_t>(outcome));
}

std::optional<EJobOutcome> sJobOutcomeByName(std::string_view name) {
    for (std::size_t i = 0; i < kOutcomeNames.size(); ++i) {
        if (kOutcomeNames[i] == name) {
            return static_cast<EJobOutcome>(i);
        }
    }
    return std::nullopt;
}

std::string strNewRecordKey() {
    static thread_local std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key;
    for (int word = 0; word < 2; ++word) {
        std::uint64_t bits = generator();
        for (int digit = 0; digit < 16; ++digit) {
            key += kHex[bits & 0xF];
            bits >>= 4;
        }
    }
    return key;
}

long long iNowUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string strNormalMac(std::string_view text) {
    // Groups of hexadecimal digits between separators: one group of twelve, or six of
    // one or two (the station writes bytes below 0x10 with one digit).
    std::vector<std::string> groups(1);
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) != 0) {
            groups.back() += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if (c != ':' && c != '-' && c != ' ') {
            return {};
        } else if (!groups.back().empty()) {
            groups.emplace_back();
        }
    }
    if (groups.back().empty()) {
        groups.pop_back();
    }
    std::string digits;
    if (groups.size() == 1 && groups[0].size() == 12) {
        digits = groups[0];
    } else if (groups.size() == 6) {
        for (const std::string& group : groups) {
            if (group.size() > 2) {
                return {};
            }
            digits += group.size() == 1 ? "0" + group : group;
        }
    } else {
        return {};
    }
    std::string mac;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        mac += (i == 0 ? "" : ":") + digits.substr(i, 2);
    }
    return mac;
}

CHistoryQuery sQueryForKey(const std::string& key) {
    CHistoryQuery query;
    if (key.empty()) {
        return query;
    }
    if (fgIsIpv4(key)) {
        query.m_eKey = EHistoryKey::kAddress;
        query.m_strKey = key;
    } else if (const std::string mac = strNormalMac(key);
               !mac.empty() && key.find_first_of(":-") != std::string::npos) {
        query.m_eKey = EHistoryKey::kMac;
        query.m_strKey = mac;
    } else {
        query.m_eKey = EHistoryKey::kUid;
        query.m_strKey = key;
    }
    return query;
}

std::optional<long long> sParseUtcDateMs(std::string_view text) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (!fgReadDigits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' ||
        !fgReadDigits(text, 5, 2, month) || text[7] != '-' || !fgReadDigits(text, 8, 2, day)) {
        return std::nullopt;
    }
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (text.size() > 10) {
        if ((text[10] != 'T' && text[10] != ' ') || !fgReadDigits(text, 11, 2, hour) ||
            text.size() < 16 || text[13] != ':' || !fgReadDigits(text, 14, 2, minute)) {
            return std::nullopt;
        }
        if (text.size() > 16 &&
            (text.size() != 19 || text[16] != ':' || !fgReadDigits(text, 17, 2, second))) {
            return std::nullopt;
        }
    }
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year),
                              std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const sys_seconds at = sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
    return static_cast<long long>(at.time_since_epoch().count()) * 1000;
}

std::string strUtcTime(long long timeMs) {
    const auto seconds = static_cast<std::time_t>(timeMs / 1000);
    const std::tm when = tmUtcTime(seconds);
    char text[40] = {};
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &when);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(timeMs % 1000));
    return text;
}
