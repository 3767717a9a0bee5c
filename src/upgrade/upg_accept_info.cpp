#include "upgrade/upg_accept_info.h"

#include "app/dbg_print.h"
#include "upgrade/upg_wire.h"

CUpgAcceptInfo::CUpgAcceptInfo(std::string addressText, std::uint32_t addrNet,
                               const std::vector<CUpgFile>& files)
    : m_strAddress(std::move(addressText)), m_uiDevAddr(addrNet) {
    iAddUpgInfo(files);
}

int CUpgAcceptInfo::iAddUpgInfo(const std::vector<CUpgFile>& files) {
    if (m_iFileCount + static_cast<int>(files.size()) > kUpgFilesMax) {
        vDbgPrint("camkit:%s, %d=>ns err\r\n", "CUpgAcceptInfo::iAddUpgInfo", __LINE__);
        return -1;
    }
    for (const CUpgFile& file : files) {
        const auto slot = static_cast<std::size_t>(m_iFileCount++);
        m_strPaths[slot] = file.m_strPath;
        m_strNames[slot] = strUpgFileName(file.m_strPath);
        m_uiTypes[slot] = file.m_uiType;
        vDbgPrint("camkit:%s, %d=>filename:%s\r\n", "CUpgAcceptInfo::iAddUpgInfo", __LINE__,
                  file.m_strPath.c_str());
    }
    return 0;
}
