#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/dev_info.h"

// Row-level changes of the registry, for a view that mirrors the device list.
// Raised synchronously on the thread that made the change (the UI thread in the
// station window), after the registry lock has been released.
class IRegistryObserver {
  public:
    virtual ~IRegistryObserver() = default;
    // The whole list changed (clear, filter, sort): re-read every row.
    virtual void vOnRowsReset() {}
    virtual void vOnRowAppended(int row) { (void)row; }
    virtual void vOnRowUpdated(int row) { (void)row; }
    // Pool membership (the ticked rows) or the pool pane text changed.
    virtual void vOnPoolChanged() {}
    virtual void vOnSelectionChanged(int row) { (void)row; }
};

// What add-or-update-device did with a discovery record.
enum class EDevAdd {
    kAppended,  // a new device, shown in a new row
    kHidden,    // a new device that the active filter does not show
    kUpdated,   // a known device, its row updated in place
    kUnshown,   // a known device that the active filter does not show
};

struct CDevAddResult {
    EDevAdd m_eKind = EDevAdd::kAppended;
    int m_iRow = -1;               // the row shown or updated, -1 when none
    bool m_fgAddrChanged = false;  // an update that moved the device to a new address
};

// The device registry: every device found since the last refresh in discovery order
// (the full view), the filtered view, the selection (m_iListSelect) and the device
// pool. Row i of the device list shows entry i of the active view (the filtered view
// while the filter is on, else the full view); the number of rows is the size of the
// active view. The pool holds rows of the active view; a row is ticked exactly when
// it is in the pool.
//
// Thread-safe: one lock guards everything; every lookup returns a copy.
class CDevRegistry {
  public:
    static constexpr int kFilterMaxChars = 29;
    static constexpr size_t kPoolPaneMaxChars = 2047;

    void vSetObserver(IRegistryObserver* observer);

    // Active view.
    int iRowCount() const;
    // Copy of row `row` of the active view without a diagnostic line; for views.
    std::optional<CDevInfo> sRow(int row) const;
    std::vector<CDevInfo> vecActiveView() const;
    std::vector<CDevInfo> vecFullView() const;

    // Copy of entry `key` of the active view; false with a diagnostic when none.
    bool fgGetDevInfoMapValid(CDevInfo& devInfo, int key) const;
    // Copy of the selected row's record.
    bool fgGetCurrDevInfo(CDevInfo& devInfo) const;
    // Copy of the first record of the full view whose IP text is addrNet.
    bool fgGetDevInfoByIp(CDevInfo& devInfo, std::uint32_t addrNet) const;

    int iListSelect() const;
    void vSetListSelect(int row);

    // Empties the full view and the selection (the filtered view keeps its content).
    void vClearDevInfo();
    // Applies the filter text (cut to 29 characters, upper-cased). An empty text
    // switches the filter off, empties the pool and clears the selection; otherwise
    // the filtered view is built from every record whose version, IP or UID text
    // contains the text, every shown row goes into the pool and the last one is
    // selected. Returns whether the filter is now on.
    bool fgApplyFilter(const std::string& text);
    void vSetFilterOff();
    bool fgFilterActive() const;
    std::string strFilterText() const;

    // Adds a discovery record, or updates the entry of the same device (equal IP
    // text, else equal non-empty UID text together with equal wired MAC text), which
    // keeps its login state.
    CDevAddResult sAddOrUpdateDevice(CDevInfo devInfo);

    // Stable sorts of the active view: by the first four UID characters, or by the
    // numeric address. Both clear the selection; the pool follows its devices. With
    // reselectAddr (non-zero), the first row of that address becomes the selection
    // and joins the pool; the filtered view is never reselected. Returns the
    // reselected row or -1.
    int iSortByUid(std::uint32_t reselectAddr);
    int iSortByAddr(std::uint32_t reselectAddr);

    // Login state of the first record of each view with the address (1 accepted,
    // -1 refused).
    void vSetDevLoginState(std::uint32_t addrNet, std::int32_t state);
    // Stores a capability block in the first record of each view with the address;
    // false when no record has it.
    bool fgSetDevAbility(std::uint32_t addrNet,
                         const std::array<std::uint8_t, kDevAbilityBytes>& ability);

    // Device pool.
    enum class EPoolAdd { kIndex, kRecheck, kAll };
    // kIndex: adds `index` ("already add" when it is a member); kAll: every row, in
    // order, and the selection ends on the last row; kRecheck: redraws the ticks.
    void vDevPoolAdd(int index, EPoolAdd mode);
    // Removes `index` (or, with all, every member, clearing the selection). Returns
    // the first member left, or -1.
    int iDevPoolDelete(int index, bool all);
    bool fgInPool(int row) const;
    std::vector<int> vecPool() const;
    // Copies of the pool members' records in pool order (members without a record
    // are skipped with "dev unvalid").
    std::vector<CDevInfo> vecGetSelectDevInfo() const;
    // One line " <IP text>\r\n" per member, whole lines up to 2047 characters.
    std::string strPoolPaneText() const;

    // Writes the registry to the diagnostic channel.
    void vPrintDevInfo() const;

  private:
    using View = std::vector<CDevInfo>;
    View& activeView() { return m_fgFilter ? m_filtered : m_full; }
    const View& activeView() const { return m_fgFilter ? m_filtered : m_full; }
    bool fgGetRowLocked(CDevInfo& devInfo, int key) const;
    int iSortLocked(bool byUid, std::uint32_t reselectAddr);
    void vPoolAddAllLocked();

    template <typename Event>
    void vNotify(Event&& event) {
        if (m_observer != nullptr) {
            event(*m_observer);
        }
    }

    mutable std::mutex m_lock;
    View m_full;
    View m_filtered;
    bool m_fgFilter = false;
    std::string m_strFilter;
    int m_iListSelect = -1;
    std::vector<int> m_pool;
    IRegistryObserver* m_observer = nullptr;
};
