#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Test and benchmark material for the media decoders, made with the encoders of the
// same libraries the station decodes with.

// What the pictures of a clip show.
enum class EClip {
    ColourBars,  // eight vertical bars: white, yellow, cyan, green, magenta, red, blue, black
    Moving,      // the bars sliding sideways under a moving texture, as a camera would see
};

// The eight bars' colours in limited-range BT.601 (Y, Cb, Cr), left to right.
struct SBarYuv {
    std::uint8_t y, cb, cr;
};
extern const SBarYuv kBarColours[8];

// Encodes `frames` pictures of width x height (even numbers) with x264, no B-frames,
// a key frame every `gop` pictures. Returns one Annex B access unit per picture,
// the first being a key frame with its parameter sets. Empty on failure.
std::vector<std::vector<std::uint8_t>> vecEncodeH264(EClip clip, int width, int height, int frames,
                                                     int gop);

// Encodes `frames` AMR-NB 12.2 kbit/s frames of a sine tone at 8,000 samples per second,
// in the storage layout (table-of-contents byte first), 32 bytes each, back to back.
std::vector<std::uint8_t> vecEncodeAmrTone(double frequencyHz, double amplitude, int frames);

// What libavcodec makes of an H.264 Annex B stream (a recording): the access units its
// parser finds, the pictures its decoder returns, and the units it refused.
struct SAnnexBDecode {
    int iUnits = 0;
    int iPictures = 0;
    int iErrors = 0;
};
SAnnexBDecode sDecodeAnnexB(std::span<const std::uint8_t> stream);
