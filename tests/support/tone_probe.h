#pragma once

// Measuring a tone in 8,000 Hz PCM: the power at one frequency (Goertzel filter) and
// the strongest frequency of a range.

#include <cstdint>
#include <span>

// Power of samples (taken at samplesPerSecond) at frequencyHz.
double dGoertzel(std::span<const std::int16_t> samples, double frequencyHz,
                 double samplesPerSecond = 8000.0);

// The probe frequency in [lowHz, highHz], in steps of stepHz, with the most power.
double dStrongestHz(std::span<const std::int16_t> samples, double lowHz, double highHz,
                    double stepHz, double samplesPerSecond = 8000.0);
