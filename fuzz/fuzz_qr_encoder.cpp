// A UID comes from the device as any bytes: the encoder must draw exactly the texts a
// version 2 symbol at level M holds, refuse every other with a bounded message, and
// give the same answer however the text is split across calls.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/qr/qr_bitmap.h"
#include "codec/qr/qr_encoder.h"

namespace {

bool fgFits(std::string_view text) {
    if (text.empty() || text.size() > kQrMaxChars) {
        return false;
    }
    for (const char ch : text) {
        const bool alnum = (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') ||
                           std::string_view(" $%*+-./:").find(ch) != std::string_view::npos;
        if (!alnum) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte says where the rest is split into two calls.
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = text.empty() ? 0 : data[0] % (text.size() + 1);

    CQrEncoder encoder;
    encoder.qrAddData2(text.substr(0, split));
    encoder.qrAddData2(text.substr(split));
    const int finished = encoder.iFinish();
    const CQrBitmap whole = sMakeQrBitmap(text);
    if ((finished == 0) != fgFits(text) || finished != whole.m_iError) {
        __builtin_trap();
    }
    if (finished != 0) {
        if (encoder.strLastError().empty() || encoder.strLastError().size() > 1023 ||
            encoder.strLastError() != whole.m_strError || !whole.m_bmp.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (whole.m_bmp != qrSymbolToBMP(*encoder.psSymbol()) || whole.m_bmp.size() != kQrBmpBytes) {
        __builtin_trap();
    }
    return 0;
}
