#include "media/amr_decoder.h"

#include <opencore-amrnb/interf_dec.h>

#include "app/log.h"

void CAmrDecoder::SStateFree::operator()(void* state) const {
    Decoder_Interface_exit(state);
}

CAmrDecoder::CAmrDecoder() : m_state(Decoder_Interface_init()) {
    if (!m_state) {
        KLOG_ERR("amr decoder init fail");
    }
}

bool CAmrDecoder::fgDecode(std::span<const std::uint8_t, kAmrFrameBytes> frame,
                           std::span<std::int16_t, kAmrFrameSamples> samples) {
    if (!m_state) {
        return false;
    }
    Decoder_Interface_Decode(m_state.get(), frame.data(), samples.data(), 0);
    return true;
}
