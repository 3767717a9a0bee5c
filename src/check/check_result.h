#pragma once

// What the line check finds out about one device, as values: the outcome of every
// step with its reason and time, and what the device said about itself.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The steps, in the order they run on a device.
enum class ECheckStep : std::uint8_t {
    kSearch,   // answers the search (always checked)
    kLogin,    // accepts the login with the station's password
    kUid,      // 20 upper-case letters and digits, unique on the bench
    kVersion,  // firmware version equals the expected one
    kSd,       // an SD card is present
    kWifi,     // sees at least one Wi-Fi network
    kVideo,    // a key frame decodes in time and the picture is not uniform
    kAudio,    // the listen channel delivers sound
    kHorn,     // the horn takes the whole test sound
};
inline constexpr std::size_t kCheckStepCount = 9;

enum class EStepOutcome : std::uint8_t { kPass, kFail, kSkipped };

struct CStepResult {
    EStepOutcome m_eOutcome = EStepOutcome::kSkipped;
    std::string m_strReason;  // why it failed or was skipped; what was seen when it passed
    long m_lMs = 0;           // time the step took
    bool operator==(const CStepResult&) const = default;
};

// One row of the report.
struct CDeviceCheck {
    std::string m_strIp;
    std::string m_strUid;
    std::string m_strMac;
    std::string m_strVersion;
    std::array<CStepResult, kCheckStepCount> m_steps{};
    std::string m_strSnapshot;                 // file name of the kept picture, or empty
    std::vector<std::uint8_t> m_thumbnailPng;  // a small copy of it for the HTML page
    long m_lMs = 0;                            // the whole sequence

    const CStepResult& step(ECheckStep step) const {
        return m_steps[static_cast<std::size_t>(step)];
    }
    CStepResult& step(ECheckStep step) { return m_steps[static_cast<std::size_t>(step)]; }
    // No step failed (skipped steps do not count against the device).
    bool fgPassed() const;
};

// "search", "login", "uid", "version", "sd", "wifi", "video", "audio", "horn".
std::string_view strStepName(ECheckStep step);
// The step with that name.
std::optional<ECheckStep> sStepByName(std::string_view name);
// "PASS", "FAIL", "SKIPPED".
std::string_view strOutcomeName(EStepOutcome outcome);
