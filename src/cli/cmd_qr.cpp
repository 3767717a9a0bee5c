#include "cli/cmd_qr.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <span>
#include <vector>

#include "app/atomic_file.h"
#include "cli/cli_runner.h"
#include "codec/qr/qr_bitmap.h"
#include "media/png_image.h"

namespace {

bool fgEndsWithPng(const std::string& path) {
    constexpr std::string_view kPng = ".png";
    if (path.size() < kPng.size()) {
        return false;
    }
    return std::equal(
        kPng.begin(), kPng.end(), path.end() - static_cast<std::ptrdiff_t>(kPng.size()),
        [](char want, char got) { return want == std::tolower(static_cast<unsigned char>(got)); });
}

// The bitmap's pixels as PNG: its rows are stored bottom-up.
std::vector<std::uint8_t> bufBmpToPng(const std::vector<std::uint8_t>& bmp) {
    std::vector<std::uint8_t> rows;
    rows.reserve(bmp.size() - kQrBmpHeaderBytes);
    for (int row = kQrBmpSide - 1; row >= 0; --row) {
        const auto start =
            bmp.begin() + static_cast<std::ptrdiff_t>(
                              kQrBmpHeaderBytes + kQrBmpRowBytes * static_cast<std::size_t>(row));
        rows.insert(rows.end(), start, start + static_cast<std::ptrdiff_t>(kQrBmpRowBytes));
    }
    return bufPngMono(kQrBmpSide, kQrBmpSide, rows, kQrBmpRowBytes);
}

}  // namespace

int iRunQrCommand(const std::string& uid, const std::string& path, std::ostream& out,
                  std::ostream& err) {
    const CQrBitmap bitmap = sMakeQrBitmap(uid);
    if (bitmap.m_iError != 0) {
        err << "kestrel-cli: UID '" << uid
            << "' cannot be shown as a QR code: " << bitmap.m_strError << '\n';
        return kCliUsage;
    }
    const std::vector<std::uint8_t> bytes =
        fgEndsWithPng(path) ? bufBmpToPng(bitmap.m_bmp) : bitmap.m_bmp;
    std::string error = "cannot write " + path + ": the picture cannot be encoded";
    if (bytes.empty() || !fgWriteFileAtomic(path, bytes, error)) {
        err << "kestrel-cli: " << error << '\n';
        return kCliSetupFailed;
    }
    out << "wrote " << path << " (" << bytes.size() << " bytes)\n";
    return kCliOk;
}
