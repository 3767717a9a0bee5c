#include "devsim/sim_upgrade_wire.h"

#include <array>
#include <cstring>

namespace devsim {

namespace {

std::uint32_t iLe32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

int iParseSimUpgHead(std::span<const std::uint8_t> bytes, std::vector<CSimUpgHeadFile>& files) {
    files.clear();
    if (bytes.size() < kUpgHeadStart) {
        return bytes.size() >= 4 && iLe32(bytes, 0) != kUpgMagic ? -1 : 0;
    }
    if (iLe32(bytes, 0) != kUpgMagic) {
        return -1;
    }
    const std::uint32_t count = iLe32(bytes, 4);
    if (count < 1 || count > kUpgFilesMost) {
        return -1;
    }
    const std::size_t length = kUpgHeadStart + kUpgEntryBytes * count;
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kUpgHeadStart + kUpgEntryBytes * i;
        CSimUpgHeadFile file;
        file.m_uiSize = iLe32(bytes, at);
        file.m_uiType = iLe32(bytes, at + 4);
        if (file.m_uiSize < 1 || file.m_uiSize > 0x7FFFFFFFU) {
            files.clear();
            return -1;
        }
        const auto name = bytes.subspan(at + 8, kUpgNameLongest + 1);
        const auto* end =
            static_cast<const std::uint8_t*>(std::memchr(name.data(), 0, name.size()));
        if (end == nullptr) {
            files.clear();
            return -1;
        }
        file.m_strName.assign(name.data(), end);
        files.push_back(std::move(file));
    }
    return static_cast<int>(length);
}

CSimSha256::CSimSha256() {
    sha256_init(&m_ctx);
}

void CSimSha256::vUpdate(std::span<const std::uint8_t> bytes) {
    sha256_update(&m_ctx, bytes.size(), bytes.data());
}

std::string CSimSha256::strHexDigest() {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&m_ctx, digest.size(), digest.data());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

}  // namespace devsim
