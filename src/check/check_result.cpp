#include "check/check_result.h"

#include <algorithm>

namespace {

constexpr std::array<std::string_view, kCheckStepCount> kStepNames{
    "search", "login", "uid", "version", "sd", "wifi", "video", "audio", "horn"};

}  // namespace

bool CDeviceCheck::fgPassed() const {
    return std::none_of(m_steps.begin(), m_steps.end(), [](const CStepResult& result) {
        return result.m_eOutcome == EStepOutcome::kFail;
    });
}

std::string_view strStepName(ECheckStep step) {
    return kStepNames[static_cast<std::size_t>(step)];
}

std::optional<ECheckStep> sStepByName(std::string_view name) {
    const auto found = std::find(kStepNames.begin(), kStepNames.end(), name);
    if (found == kStepNames.end()) {
        return std::nullopt;
    }
    return static_cast<ECheckStep>(found - kStepNames.begin());
}

std::string_view strOutcomeName(EStepOutcome outcome) {
    switch (outcome) {
        case EStepOutcome::kPass:
            return "PASS";
        case EStepOutcome::kFail:
            return "FAIL";
        case EStepOutcome::kSkipped:
            return "SKIPPED";
    }
    return "SKIPPED";
}
