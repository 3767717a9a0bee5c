#include "upgrade/upg_wire.h"

#include <algorithm>

#include "protocol/cmd_header.h"

namespace {

constexpr std::uint8_t kCmdUpgradeCode = 0x14;
constexpr std::uint8_t kUpgradeParam = 0x66;

// Length of the longest prefix of text's tail that begins one of the answers.
std::size_t iAnswerPrefixTail(std::string_view text) {
    const std::size_t longest = std::max(kUpgAnswerOk.size(), kUpgAnswerFailed.size());
    for (std::size_t keep = std::min(text.size(), longest - 1); keep > 0; --keep) {
        const std::string_view tail = text.substr(text.size() - keep);
        if (kUpgAnswerOk.starts_with(tail) || kUpgAnswerFailed.starts_with(tail)) {
            return keep;
        }
    }
    return 0;
}

}  // namespace

std::array<std::uint8_t, kUpgRequestBytes> bufBuildUpgRequest() {
    std::array<std::uint8_t, kUpgRequestBytes> request{};
    CCmdHeader header;
    header.m_byCode = kCmdUpgradeCode;
    header.m_byParam = kUpgradeParam;
    iWriteCmdHeader(request, header);
    return request;
}

std::vector<std::uint8_t> bufBuildFileHead(std::span<const CUpgHeadEntry> entries) {
    if (entries.empty() || entries.size() > 8) {
        return {};
    }
    std::vector<std::uint8_t> head(kUpgHeadFixedBytes + kUpgHeadEntryBytes * entries.size(), 0);
    vWriteLe32(head, 0, kUpgHeadMagic);
    vWriteLe32(head, 4, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = kUpgHeadFixedBytes + kUpgHeadEntryBytes * i;
        vWriteLe32(head, at, entries[i].m_uiSize);
        vWriteLe32(head, at + 4, entries[i].m_uiType);
        const std::string name = strUpgFileName(entries[i].m_strName);
        std::copy(name.begin(), name.end(), head.begin() + static_cast<std::ptrdiff_t>(at + 8));
    }
    return head;
}

std::string strUpgFileName(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    if (name.size() > kUpgHeadNameMax) {
        std::size_t cut = kUpgHeadNameMax;
        // Back off over continuation bytes so that no character is split.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) {
            --cut;
        }
        name = name.substr(0, cut);
    }
    return std::string(name);
}

void CUpgAnswerParser::vFeed(std::span<const std::uint8_t> bytes,
                             std::vector<EUpgAnswer>& answers) {
    m_strPending.append(bytes.begin(), bytes.end());
    std::string_view rest = m_strPending;
    while (true) {
        const std::size_t ok = rest.find(kUpgAnswerOk);
        const std::size_t failed = rest.find(kUpgAnswerFailed);
        if (ok == std::string_view::npos && failed == std::string_view::npos) {
            break;
        }
        if (ok < failed) {
            answers.push_back(EUpgAnswer::kOk);
            rest.remove_prefix(ok + kUpgAnswerOk.size());
        } else {
            answers.push_back(EUpgAnswer::kFailed);
            rest.remove_prefix(failed + kUpgAnswerFailed.size());
        }
    }
    m_strPending = std::string(rest.substr(rest.size() - iAnswerPrefixTail(rest)));
}
