#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// One AMR-NB frame of the device's audio: 12.2 kbit/s in the storage layout (one
// table-of-contents byte, then the speech bits), 20 ms of sound.
inline constexpr std::size_t kAmrFrameBytes = 32;
inline constexpr std::size_t kAmrFrameSamples = 160;
inline constexpr int kPcmSamplesPerSecond = 8000;

// AMR-NB decoder state over opencore-amrnb. One thread decodes at a time.
class CAmrDecoder {
  public:
    // Creates the state; fgIsOpen() says whether that worked.
    CAmrDecoder();
    bool fgIsOpen() const { return m_state != nullptr; }

    // Decodes one frame into 160 samples of 8,000 Hz mono PCM. The decoder reads the
    // frame type from the first byte and never more than 32 bytes. false (samples
    // untouched) when the state could not be created.
    bool fgDecode(std::span<const std::uint8_t, kAmrFrameBytes> frame,
                  std::span<std::int16_t, kAmrFrameSamples> samples);

  private:
    struct SStateFree {
        void operator()(void* state) const;
    };
    std::unique_ptr<void, SStateFree> m_state;
};
