#include "protocol/dev_registry.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "app/log.h"
#include "net/socket_layer.h"
#include "platform/socket.h"

namespace {

bool fgIpTextIs(const CDevInfo& devInfo, std::uint32_t addrNet) {
    std::uint32_t parsed = 0;
    return fgParseIp(devInfo.m_strIp, parsed) && parsed == addrNet;
}

bool fgMatchesFilter(const CDevInfo& devInfo, const std::string& filter) {
    return devInfo.m_strVersion.find(filter) != std::string::npos ||
           devInfo.m_strIp.find(filter) != std::string::npos ||
           devInfo.m_strUid.find(filter) != std::string::npos;
}

// The entry of the same device: equal IP text first, else equal non-empty UID text.
int iFindSameDevice(const std::vector<CDevInfo>& view, const CDevInfo& devInfo) {
    for (size_t i = 0; i < view.size(); ++i) {
        if (view[i].m_strIp == devInfo.m_strIp) {
            return static_cast<int>(i);
        }
    }
    if (devInfo.m_strUid.empty()) {
        return -1;
    }
    // A device that moved keeps its UID and its wired MAC; a batch that still shares
    // one placeholder UID differs by MAC, so each of its devices keeps its own row.
    for (size_t i = 0; i < view.size(); ++i) {
        if (view[i].m_strUid == devInfo.m_strUid && view[i].m_strEthMac == devInfo.m_strEthMac) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The first four UID characters as a big-endian number; missing characters count 0.
std::uint32_t uiUidSortKey(const CDevInfo& devInfo) {
    std::uint32_t key = 0;
    for (size_t i = 0; i < 4; ++i) {
        const auto c = i < devInfo.m_strUid.size() ? static_cast<unsigned char>(devInfo.m_strUid[i])
                                                   : static_cast<unsigned char>(0);
        key = (key << 8U) | c;
    }
    return key;
}

std::uint32_t uiAddrSortKey(const CDevInfo& devInfo) {
    std::uint32_t parsed = 0;
    if (!fgParseIp(devInfo.m_strIp, parsed)) {
        return 0xFFFFFFFFU;
    }
    return iHostFromNet(parsed);
}

}  // namespace

void CDevRegistry::vSetObserver(IRegistryObserver* observer) {
    std::lock_guard guard(m_lock);
    m_observer = observer;
}

int CDevRegistry::iRowCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(activeView().size());
}

std::optional<CDevInfo> CDevRegistry::sRow(int row) const {
    std::lock_guard guard(m_lock);
    const View& view = activeView();
    if (row < 0 || static_cast<size_t>(row) >= view.size()) {
        return std::nullopt;
    }
    return view[static_cast<size_t>(row)];
}

std::vector<CDevInfo> CDevRegistry::vecActiveView() const {
    std::lock_guard guard(m_lock);
    return activeView();
}

std::vector<CDevInfo> CDevRegistry::vecFullView() const {
    std::lock_guard guard(m_lock);
    return m_full;
}

bool CDevRegistry::fgGetRowLocked(CDevInfo& devInfo, int key) const {
    if (m_fgFilter) {
        KLOG_INFO("in filt state");
    }
    const View& view = activeView();
    if (key < 0 || static_cast<size_t>(key) >= view.size()) {
        KLOG_INFO("get map dev %d fail", key);
        return false;
    }
    devInfo = view[static_cast<size_t>(key)];
    return true;
}

bool CDevRegistry::fgGetDevInfoMapValid(CDevInfo& devInfo, int key) const {
    std::lock_guard guard(m_lock);
    return fgGetRowLocked(devInfo, key);
}

bool CDevRegistry::fgGetCurrDevInfo(CDevInfo& devInfo) const {
    std::lock_guard guard(m_lock);
    if (!fgGetRowLocked(devInfo, m_iListSelect)) {
        KLOG_INFO("get curr dev info fail");
        return false;
    }
    return true;
}

bool CDevRegistry::fgGetDevInfoByIp(CDevInfo& devInfo, std::uint32_t addrNet) const {
    std::lock_guard guard(m_lock);
    for (const CDevInfo& entry : m_full) {
        if (fgIpTextIs(entry, addrNet)) {
            devInfo = entry;
            return true;
        }
    }
    KLOG_INFO("can not get dev %s", strIpText(addrNet).c_str());
    return false;
}

int CDevRegistry::iListSelect() const {
    std::lock_guard guard(m_lock);
    return m_iListSelect;
}

void CDevRegistry::vSetListSelect(int row) {
    {
        std::lock_guard guard(m_lock);
        m_iListSelect = row;
    }
    vNotify([row](IRegistryObserver& o) { o.vOnSelectionChanged(row); });
}

void CDevRegistry::vClearDevInfo() {
    {
        std::lock_guard guard(m_lock);
        m_full.clear();
        m_iListSelect = -1;
    }
    vNotify([](IRegistryObserver& o) {
        o.vOnRowsReset();
        o.vOnSelectionChanged(-1);
    });
}

bool CDevRegistry::fgApplyFilter(const std::string& text) {
    std::string filter = text.substr(0, kFilterMaxChars);
    std::transform(filter.begin(), filter.end(), filter.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    bool active = false;
    {
        std::lock_guard guard(m_lock);
        // Emptying the pool clears the selection, as everywhere else: the selected
        // row would otherwise name another device once the other view is shown.
        m_pool.clear();
        m_iListSelect = -1;
        m_filtered.clear();
        if (filter.empty()) {
            m_fgFilter = false;
        } else {
            KLOG_INFO("filt:%s", filter.c_str());
            m_strFilter = filter;
            for (const CDevInfo& entry : m_full) {
                if (fgMatchesFilter(entry, filter)) {
                    m_filtered.push_back(entry);
                }
            }
            m_fgFilter = true;
            vPoolAddAllLocked();
            active = true;
        }
    }
    const int selected = iListSelect();
    vNotify([selected](IRegistryObserver& o) {
        o.vOnRowsReset();
        o.vOnPoolChanged();
        o.vOnSelectionChanged(selected);
    });
    return active;
}

void CDevRegistry::vSetFilterOff() {
    {
        std::lock_guard guard(m_lock);
        if (!m_fgFilter) {
            return;
        }
        m_fgFilter = false;
        m_pool.clear();
        m_iListSelect = -1;
    }
    vNotify([](IRegistryObserver& o) {
        o.vOnRowsReset();
        o.vOnPoolChanged();
        o.vOnSelectionChanged(-1);
    });
}

bool CDevRegistry::fgFilterActive() const {
    std::lock_guard guard(m_lock);
    return m_fgFilter;
}

std::string CDevRegistry::strFilterText() const {
    std::lock_guard guard(m_lock);
    return m_strFilter;
}

CDevAddResult CDevRegistry::sAddOrUpdateDevice(CDevInfo devInfo) {
    CDevAddResult result;
    {
        std::lock_guard guard(m_lock);
        const int full = iFindSameDevice(m_full, devInfo);
        if (full < 0) {
            m_full.push_back(devInfo);
            if (!m_fgFilter) {
                result = {EDevAdd::kAppended, static_cast<int>(m_full.size()) - 1, false};
            } else if (fgMatchesFilter(devInfo, m_strFilter)) {
                m_filtered.push_back(std::move(devInfo));
                result = {EDevAdd::kAppended, static_cast<int>(m_filtered.size()) - 1, false};
            } else {
                result = {EDevAdd::kHidden, -1, false};
            }
        } else {
            CDevInfo& old = m_full[static_cast<size_t>(full)];
            devInfo.m_iLoginState = old.m_iLoginState;
            result.m_fgAddrChanged = old.m_uiIpAddr != devInfo.m_uiIpAddr;
            // Both views follow the device, so clearing the filter never brings back
            // a record older than the one shown.
            if (m_fgFilter) {
                const int shown = iFindSameDevice(m_filtered, devInfo);
                if (shown >= 0) {
                    m_filtered[static_cast<size_t>(shown)] = devInfo;
                    result.m_eKind = EDevAdd::kUpdated;
                    result.m_iRow = shown;
                } else {
                    result.m_eKind = EDevAdd::kUnshown;
                }
                old = std::move(devInfo);
            } else {
                old = std::move(devInfo);
                result.m_eKind = EDevAdd::kUpdated;
                result.m_iRow = full;
            }
        }
    }
    if (result.m_eKind == EDevAdd::kAppended) {
        vNotify([row = result.m_iRow](IRegistryObserver& o) { o.vOnRowAppended(row); });
    } else if (result.m_eKind == EDevAdd::kUpdated) {
        vNotify([row = result.m_iRow](IRegistryObserver& o) { o.vOnRowUpdated(row); });
    }
    return result;
}

int CDevRegistry::iSortLocked(bool byUid, std::uint32_t reselectAddr) {
    View& view = activeView();
    std::vector<size_t> order(view.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return byUid ? uiUidSortKey(view[a]) < uiUidSortKey(view[b])
                     : uiAddrSortKey(view[a]) < uiAddrSortKey(view[b]);
    });
    View sorted;
    sorted.reserve(view.size());
    std::vector<int> newRowOf(view.size());
    for (size_t row = 0; row < order.size(); ++row) {
        newRowOf[order[row]] = static_cast<int>(row);
        sorted.push_back(std::move(view[order[row]]));
    }
    view = std::move(sorted);
    // Pooled commands must keep going to the devices the operator ticked.
    for (int& member : m_pool) {
        if (member >= 0 && static_cast<size_t>(member) < newRowOf.size()) {
            member = newRowOf[static_cast<size_t>(member)];
        }
    }
    m_iListSelect = -1;
    if (reselectAddr == 0 || m_fgFilter) {
        return -1;
    }
    for (size_t row = 0; row < view.size(); ++row) {
        if (view[row].m_uiIpAddr == reselectAddr) {
            m_iListSelect = static_cast<int>(row);
            if (std::find(m_pool.begin(), m_pool.end(), m_iListSelect) == m_pool.end()) {
                m_pool.push_back(m_iListSelect);
            }
            return m_iListSelect;
        }
    }
    return -1;
}

int CDevRegistry::iSortByUid(std::uint32_t reselectAddr) {
    int reselected = -1;
    {
        std::lock_guard guard(m_lock);
        reselected = iSortLocked(true, reselectAddr);
    }
    vNotify([reselected](IRegistryObserver& o) {
        o.vOnRowsReset();
        o.vOnPoolChanged();
        o.vOnSelectionChanged(reselected);
    });
    return reselected;
}

int CDevRegistry::iSortByAddr(std::uint32_t reselectAddr) {
    int reselected = -1;
    {
        std::lock_guard guard(m_lock);
        reselected = iSortLocked(false, reselectAddr);
    }
    vNotify([reselected](IRegistryObserver& o) {
        o.vOnRowsReset();
        o.vOnPoolChanged();
        o.vOnSelectionChanged(reselected);
    });
    return reselected;
}

void CDevRegistry::vSetDevLoginState(std::uint32_t addrNet, std::int32_t state) {
    std::lock_guard guard(m_lock);
    for (View* view : {&m_full, &m_filtered}) {
        for (CDevInfo& entry : *view) {
            if (fgIpTextIs(entry, addrNet)) {
                entry.m_iLoginState = state;
                break;
            }
        }
    }
}

bool CDevRegistry::fgSetDevAbility(std::uint32_t addrNet,
                                   const std::array<std::uint8_t, kDevAbilityBytes>& ability) {
    std::lock_guard guard(m_lock);
    bool found = false;
    for (CDevInfo& entry : m_full) {
        if (fgIpTextIs(entry, addrNet)) {
            entry.m_abyAbility = ability;
            found = true;
            break;
        }
    }
    if (m_fgFilter) {
        for (CDevInfo& entry : m_filtered) {
            if (fgIpTextIs(entry, addrNet)) {
                entry.m_abyAbility = ability;
                break;
            }
        }
    }
    return found;
}

void CDevRegistry::vPoolAddAllLocked() {
    m_pool.clear();
    const int rows = static_cast<int>(activeView().size());
    for (int row = 0; row < rows; ++row) {
        m_pool.push_back(row);
        m_iListSelect = row;
    }
}

void CDevRegistry::vDevPoolAdd(int index, EPoolAdd mode) {
    {
        std::lock_guard guard(m_lock);
        if (mode == EPoolAdd::kAll) {
            vPoolAddAllLocked();
        } else if (mode == EPoolAdd::kIndex) {
            if (index < 0 || static_cast<size_t>(index) >= activeView().size()) {
                return;
            }
            if (std::find(m_pool.begin(), m_pool.end(), index) != m_pool.end()) {
                KLOG_INFO("already add");
                return;
            }
            m_pool.push_back(index);
        }
    }
    const int selected = iListSelect();
    vNotify([selected, mode](IRegistryObserver& o) {
        o.vOnPoolChanged();
        if (mode == EPoolAdd::kAll) {
            o.vOnSelectionChanged(selected);
        }
    });
}

int CDevRegistry::iDevPoolDelete(int index, bool all) {
    int first = -1;
    {
        std::lock_guard guard(m_lock);
        if (all) {
            m_pool.clear();
            m_iListSelect = -1;
        } else {
            std::erase(m_pool, index);
            first = m_pool.empty() ? -1 : m_pool.front();
        }
    }
    vNotify([all](IRegistryObserver& o) {
        o.vOnPoolChanged();
        if (all) {
            o.vOnSelectionChanged(-1);
        }
    });
    return first;
}

bool CDevRegistry::fgInPool(int row) const {
    std::lock_guard guard(m_lock);
    return std::find(m_pool.begin(), m_pool.end(), row) != m_pool.end();
}

std::vector<int> CDevRegistry::vecPool() const {
    std::lock_guard guard(m_lock);
    return m_pool;
}

std::vector<CDevInfo> CDevRegistry::vecGetSelectDevInfo() const {
    std::lock_guard guard(m_lock);
    std::vector<CDevInfo> records;
    const View& view = activeView();
    for (const int member : m_pool) {
        if (member < 0 || static_cast<size_t>(member) >= view.size()) {
            KLOG_ERR("dev unvalid");
            continue;
        }
        records.push_back(view[static_cast<size_t>(member)]);
    }
    return records;
}

std::string CDevRegistry::strPoolPaneText() const {
    std::lock_guard guard(m_lock);
    std::string text;
    const View& view = activeView();
    for (const int member : m_pool) {
        if (member < 0 || static_cast<size_t>(member) >= view.size()) {
            continue;
        }
        const std::string line = " " + view[static_cast<size_t>(member)].m_strIp + "\r\n";
        if (text.size() + line.size() > kPoolPaneMaxChars) {
            break;
        }
        text += line;
    }
    return text;
}

void CDevRegistry::vPrintDevInfo() const {
    std::lock_guard guard(m_lock);
    KLOG_INFO("mydevinfo:");
    for (size_t key = 0; key < m_full.size(); ++key) {
        const CDevInfo& entry = m_full[key];
        KLOG_INFO("%d,%s,%s,use_eth=%d", static_cast<int>(key), entry.m_strIp.c_str(),
                  entry.m_strUid.c_str(), entry.m_iUseEth);
        KLOG_INFO("eth mac:%s,wifi mac:%s", entry.m_strEthMac.c_str(), entry.m_strWifiMac.c_str());
    }
    KLOG_INFO("filtdevInfo:");
    for (size_t key = 0; key < m_filtered.size(); ++key) {
        KLOG_INFO("%d,%s,%s", static_cast<int>(key), m_filtered[key].m_strIp.c_str(),
                  m_filtered[key].m_strUid.c_str());
    }
    KLOG_INFO("filter=%d,select:", m_fgFilter ? 1 : 0);
    KLOG_INFO("m_iListSelect=%d", m_iListSelect);
}
