#include "support/tone_probe.h"

#include <cmath>
#include <numbers>

double dGoertzel(std::span<const std::int16_t> samples, double frequencyHz,
                 double samplesPerSecond) {
    const double coefficient =
        2.0 * std::cos(2.0 * std::numbers::pi * frequencyHz / samplesPerSecond);
    double previous = 0.0;
    double older = 0.0;
    for (const std::int16_t sample : samples) {
        const double current = sample + coefficient * previous - older;
        older = previous;
        previous = current;
    }
    return previous * previous + older * older - coefficient * previous * older;
}

double dStrongestHz(std::span<const std::int16_t> samples, double lowHz, double highHz,
                    double stepHz, double samplesPerSecond) {
    double bestHz = lowHz;
    double bestPower = -1.0;
    for (double probeHz = lowHz; probeHz <= highHz; probeHz += stepHz) {
        const double power = dGoertzel(samples, probeHz, samplesPerSecond);
        if (power > bestPower) {
            bestPower = power;
            bestHz = probeHz;
        }
    }
    return bestHz;
}
