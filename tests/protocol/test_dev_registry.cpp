#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/dev_registry.h"
#include "station_fakes.h"
#include "support/capture_stderr.h"

namespace {

std::vector<std::string> vecIps(const std::vector<CDevInfo>& records) {
    std::vector<std::string> ips;
    for (const CDevInfo& devInfo : records) {
        ips.push_back(devInfo.m_strIp);
    }
    return ips;
}

void vAddAll(CDevRegistry& registry, const std::vector<CDevInfo>& devices) {
    for (const CDevInfo& devInfo : devices) {
        registry.sAddOrUpdateDevice(devInfo);
    }
}

// Devices whose texts exercise the filter: digits only in an address, upper- and
// lower-case UIDs and versions.
std::vector<CDevInfo> vecFilterDevices() {
    return {
        sMakeDev("10.0.12.5", "KSTA-000001-AAAAA", "V1.2.3"),
        sMakeDev("10.0.0.20", "kstb-000002-bbbbb", "v2.0.1"),
        sMakeDev("192.168.1.5", "QRST-000003-CCCCC", "V2.0.1"),
        sMakeDev("10.0.0.3", "XKSTAX", "V3"),
    };
}

CDevInfo sWithMac(CDevInfo devInfo, const std::string& lastByte) {
    devInfo.m_strEthMac = "0  :11 :22 :33 :44 :" + lastByte;
    return devInfo;
}

}  // namespace

TEST(DevRegistry, AddOrUpdateMatchesEqualAddressThenEqualUidAndMac) {
    struct CStep {
        CDevInfo m_dev;
        EDevAdd m_eKind;
        int m_iRow;
        bool m_fgAddrChanged;
    };
    const std::vector<CStep> steps = {
        {sMakeDev("10.0.0.15", "UID-B", "V1"), EDevAdd::kAppended, 0, false},
        // 10.0.0.1 is contained in 10.0.0.15 but is another device.
        {sMakeDev("10.0.0.1", "UID-A", "V1"), EDevAdd::kAppended, 1, false},
        {sMakeDev("10.0.0.1", "UID-A", "V2"), EDevAdd::kUpdated, 1, false},
        // Same UID from a new address: the device moved.
        {sMakeDev("10.0.0.7", "UID-B", "V2"), EDevAdd::kUpdated, 0, true},
        // Empty UIDs never identify a device.
        {sMakeDev("10.0.0.8", "", "V1"), EDevAdd::kAppended, 2, false},
        {sMakeDev("10.0.0.9", "", "V1"), EDevAdd::kAppended, 3, false},
        // A UID contained in another device's UID is another device.
        {sMakeDev("10.0.0.5", "UID", "V1"), EDevAdd::kAppended, 4, false},
        // A batch before its UIDs are written: one placeholder UID, one MAC each.
        {sWithMac(sMakeDev("10.0.1.1", "PLACEHOLDER", "V1"), "A"), EDevAdd::kAppended, 5, false},
        {sWithMac(sMakeDev("10.0.1.2", "PLACEHOLDER", "V1"), "B"), EDevAdd::kAppended, 6, false},
        {sWithMac(sMakeDev("10.0.1.3", "PLACEHOLDER", "V1"), "C"), EDevAdd::kAppended, 7, false},
        // ...and one of them moved: same UID, same MAC.
        {sWithMac(sMakeDev("10.0.1.9", "PLACEHOLDER", "V1"), "B"), EDevAdd::kUpdated, 6, true},
    };
    CDevRegistry registry;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const CDevAddResult result = registry.sAddOrUpdateDevice(steps[i].m_dev);
        EXPECT_EQ(result.m_eKind, steps[i].m_eKind) << "step " << i;
        EXPECT_EQ(result.m_iRow, steps[i].m_iRow) << "step " << i;
        EXPECT_EQ(result.m_fgAddrChanged, steps[i].m_fgAddrChanged) << "step " << i;
    }
    const auto full = registry.vecFullView();
    EXPECT_EQ(vecIps(full),
              (std::vector<std::string>{"10.0.0.7", "10.0.0.1", "10.0.0.8", "10.0.0.9", "10.0.0.5",
                                        "10.0.1.1", "10.0.1.9", "10.0.1.3"}));
    EXPECT_EQ(full[1].m_strVersion, "V2");
    EXPECT_EQ(full[0].m_uiIpAddr, uiAddr("10.0.0.7"));
    EXPECT_EQ(registry.iRowCount(), 8);
}

TEST(DevRegistry, UpdateInPlaceKeepsTheLoginState) {
    for (const std::int32_t state : {kLoginAccepted, kLoginRefused}) {
        CDevRegistry registry;
        vAddAll(registry, {sMakeDev("10.0.0.1", "UID-A", "V1"), sMakeDev("10.0.0.2", "UID-B")});
        registry.vSetDevLoginState(uiAddr("10.0.0.1"), state);
        registry.sAddOrUpdateDevice(sMakeDev("10.0.0.1", "UID-A", "V2"));
        const auto row = registry.sRow(0);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->m_strVersion, "V2");
        EXPECT_EQ(row->m_iLoginState, state);
        EXPECT_EQ(registry.sRow(1)->m_iLoginState, kLoginUnknown);
    }
}

TEST(DevRegistry, FilterIsUpperCaseSubstringOfVersionAddressOrUid) {
    struct CCase {
        std::string m_strText;
        std::string m_strStored;
        std::vector<std::string> m_shown;
    };
    const std::vector<CCase> cases = {
        {"12", "12", {"10.0.12.5"}},  // only the address holds "12"
        {"ksta", "KSTA", {"10.0.12.5", "10.0.0.3"}},
        {"kstb", "KSTB", {}},               // the UID holds it in lower case only
        {"v2.0", "V2.0", {"192.168.1.5"}},  // "v2.0.1" is lower case
        {"2.0.1", "2.0.1", {"10.0.0.20", "192.168.1.5"}},
        {"000", "000", {"10.0.12.5", "10.0.0.20", "192.168.1.5"}},
        {"xkstax-and-more-text-beyond-29-chars", "XKSTAX-AND-MORE-TEXT-BEYOND-2", {}},
    };
    for (const CCase& filterCase : cases) {
        CDevRegistry registry;
        vAddAll(registry, vecFilterDevices());
        EXPECT_TRUE(registry.fgApplyFilter(filterCase.m_strText)) << filterCase.m_strText;
        EXPECT_TRUE(registry.fgFilterActive());
        EXPECT_EQ(registry.strFilterText(), filterCase.m_strStored);
        EXPECT_EQ(vecIps(registry.vecActiveView()), filterCase.m_shown) << filterCase.m_strText;
        EXPECT_EQ(registry.vecFullView().size(), 4U);
        // Every shown device is pooled in row order and the last row is selected.
        const int shown = static_cast<int>(filterCase.m_shown.size());
        std::vector<int> rows;
        for (int row = 0; row < shown; ++row) {
            rows.push_back(row);
        }
        EXPECT_EQ(registry.vecPool(), rows) << filterCase.m_strText;
        EXPECT_EQ(registry.iListSelect(), shown - 1) << filterCase.m_strText;
    }
}

TEST(DevRegistry, ClearingTheFilterEmptiesThePoolAndShowsEveryDevice) {
    CDevRegistry registry;
    vAddAll(registry, vecFilterDevices());
    ASSERT_TRUE(registry.fgApplyFilter("qrst"));
    ASSERT_EQ(registry.vecPool().size(), 1U);
    ASSERT_EQ(registry.iListSelect(), 0);
    EXPECT_FALSE(registry.fgApplyFilter(""));
    EXPECT_FALSE(registry.fgFilterActive());
    EXPECT_TRUE(registry.vecPool().empty());
    // Emptying the pool clears the selection: row 0 of the full view is another
    // device than the one selected under the filter.
    EXPECT_EQ(registry.iListSelect(), -1);
    CDevInfo devInfo;
    EXPECT_FALSE(registry.fgGetCurrDevInfo(devInfo));
    EXPECT_EQ(registry.iRowCount(), 4);
    EXPECT_EQ(vecIps(registry.vecActiveView()), vecIps(registry.vecFullView()));
}

TEST(DevRegistry, NewDevicesUnderTheFilterGetARowOnlyWhenTheyMatch) {
    CDevRegistry registry;
    vAddAll(registry, vecFilterDevices());
    ASSERT_TRUE(registry.fgApplyFilter("ksta"));
    ASSERT_EQ(registry.iRowCount(), 2);

    const CDevAddResult hidden = registry.sAddOrUpdateDevice(sMakeDev("10.0.0.9", "ZZZZ", "V9"));
    EXPECT_EQ(hidden.m_eKind, EDevAdd::kHidden);
    EXPECT_EQ(hidden.m_iRow, -1);
    EXPECT_EQ(registry.iRowCount(), 2);
    EXPECT_EQ(registry.vecFullView().size(), 5U);

    const CDevAddResult shown = registry.sAddOrUpdateDevice(sMakeDev("10.0.0.10", "KSTA-9"));
    EXPECT_EQ(shown.m_eKind, EDevAdd::kAppended);
    EXPECT_EQ(shown.m_iRow, 2);
    EXPECT_EQ(registry.sRow(2)->m_strIp, "10.0.0.10");

    // A shown device answering again is updated in its filtered row; the full view
    // follows, so switching the filter off never shows an older record.
    const CDevAddResult updated = registry.sAddOrUpdateDevice(sMakeDev("10.0.0.3", "XKSTAX", "V4"));
    EXPECT_EQ(updated.m_eKind, EDevAdd::kUpdated);
    EXPECT_EQ(updated.m_iRow, 1);
    EXPECT_EQ(registry.sRow(1)->m_strVersion, "V4");
    EXPECT_EQ(registry.vecFullView()[3].m_strVersion, "V4");

    // A hidden device answering again changes no row.
    const CDevAddResult unshown = registry.sAddOrUpdateDevice(sMakeDev("10.0.0.9", "ZZZZ", "V10"));
    EXPECT_EQ(unshown.m_eKind, EDevAdd::kUnshown);
    EXPECT_EQ(unshown.m_iRow, -1);
    EXPECT_EQ(registry.iRowCount(), 3);
}

TEST(DevRegistry, LoginStateReachesBothViewsAndLookupByAddressUsesTheFullView) {
    CDevRegistry registry;
    vAddAll(registry, vecFilterDevices());
    ASSERT_TRUE(registry.fgApplyFilter("ksta"));
    registry.vSetDevLoginState(uiAddr("10.0.0.3"), kLoginAccepted);
    EXPECT_EQ(registry.sRow(1)->m_iLoginState, kLoginAccepted);
    EXPECT_EQ(registry.vecFullView()[3].m_iLoginState, kLoginAccepted);

    CDevInfo devInfo;
    EXPECT_TRUE(registry.fgGetDevInfoByIp(devInfo, uiAddr("10.0.0.20")));  // filtered out
    EXPECT_EQ(devInfo.m_strUid, "kstb-000002-bbbbb");
    EXPECT_FALSE(registry.fgGetDevInfoByIp(devInfo, uiAddr("10.0.0.99")));
}

TEST(DevRegistry, PoolKeepsTickOrderAndRefusesDuplicates) {
    CDevRegistry registry;
    vAddAll(registry, {sMakeDev("10.0.0.1"), sMakeDev("10.0.0.2"), sMakeDev("10.0.0.3")});
    for (const int row : {2, 0, 1}) {
        registry.vDevPoolAdd(row, CDevRegistry::EPoolAdd::kIndex);
    }
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{2, 0, 1}));
    {
        CCaptureStderr capture;
        registry.vDevPoolAdd(0, CDevRegistry::EPoolAdd::kIndex);
        if (std::getenv("KESTREL_LOG") == nullptr) {
            EXPECT_NE(capture.text().find("already add"), std::string::npos);
        }
    }
    registry.vDevPoolAdd(3, CDevRegistry::EPoolAdd::kIndex);  // no such row
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(vecIps(registry.vecGetSelectDevInfo()),
              (std::vector<std::string>{"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(registry.strPoolPaneText(), " 10.0.0.3\r\n 10.0.0.1\r\n 10.0.0.2\r\n");

    EXPECT_EQ(registry.iDevPoolDelete(2, false), 0);  // first member left
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{0, 1}));
    EXPECT_EQ(registry.iDevPoolDelete(2, false), 0);  // not a member: nothing changes
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{0, 1}));

    registry.vSetListSelect(1);
    EXPECT_EQ(registry.iDevPoolDelete(-1, true), -1);
    EXPECT_TRUE(registry.vecPool().empty());
    EXPECT_EQ(registry.iListSelect(), -1);
    EXPECT_EQ(registry.strPoolPaneText(), "");

    registry.vDevPoolAdd(-1, CDevRegistry::EPoolAdd::kAll);
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(registry.iListSelect(), 2);
}

TEST(DevRegistry, PoolPaneShowsWholeLinesUpTo2047CharactersWhileThePoolHoldsAll) {
    CDevRegistry registry;
    std::string everyLine;
    for (int i = 0; i < 200; ++i) {
        // 128 lines of 16 characters (" 10.10.100.1xx\r\n") make exactly 2048.
        const std::string ip =
            "10.10." + std::to_string(100 + i / 128) + "." + std::to_string(100 + i % 128);
        registry.sAddOrUpdateDevice(sMakeDev(ip));
        everyLine += " " + ip + "\r\n";
    }
    registry.vDevPoolAdd(-1, CDevRegistry::EPoolAdd::kAll);

    const std::string pane = registry.strPoolPaneText();
    EXPECT_EQ(pane, everyLine.substr(0, 127 * 16));
    EXPECT_EQ(registry.vecGetSelectDevInfo().size(), 200U);
}

TEST(DevRegistry, UidSortKeepsDiscoveryOrderAmongManyEqualKeys) {
    CDevRegistry registry;
    const std::vector<std::string> groups = {"KSTC", "KSTA", "KSTB"};
    for (int i = 0; i < 90; ++i) {
        registry.sAddOrUpdateDevice(
            sMakeDev("10.3.0." + std::to_string(i + 1),
                     groups[static_cast<std::size_t>(i % 3)] + "-" + std::to_string(i)));
    }
    registry.iSortByUid(0);
    const auto rows = registry.vecActiveView();
    ASSERT_EQ(rows.size(), 90U);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        // KSTA holds devices 1, 4, 7, ..., then KSTB 2, 5, ..., then KSTC 0, 3, ...
        const std::size_t group = row / 30;
        const std::size_t device = 3 * (row % 30) + (group + 1) % 3;
        EXPECT_EQ(rows[row].m_strIp, "10.3.0." + std::to_string(device + 1)) << row;
    }
}

TEST(DevRegistry, UidSortComparesFourCharactersAndKeepsEqualKeysInOrder) {
    CDevRegistry registry;
    vAddAll(registry, {sMakeDev("10.0.0.1", "ABCD-2"), sMakeDev("10.0.0.2", "AAAA-9"),
                       sMakeDev("10.0.0.3", "ABCD-1"), sMakeDev("10.0.0.4", "ABC"),
                       sMakeDev("10.0.0.5", "abcd"), sMakeDev("10.0.0.6", "ABCD")});
    registry.vSetListSelect(2);
    EXPECT_EQ(registry.iSortByUid(0), -1);
    EXPECT_EQ(vecIps(registry.vecActiveView()),
              (std::vector<std::string>{"10.0.0.2", "10.0.0.4", "10.0.0.1", "10.0.0.3", "10.0.0.6",
                                        "10.0.0.5"}));
    EXPECT_EQ(registry.iListSelect(), -1);
}

TEST(DevRegistry, AddressSortIsNumeric) {
    CDevRegistry registry;
    vAddAll(registry, {sMakeDev("10.0.0.10"), sMakeDev("9.255.255.255"), sMakeDev("10.0.0.9"),
                       sMakeDev("192.168.0.1"), sMakeDev("10.0.1.0")});
    registry.iSortByAddr(0);
    EXPECT_EQ(vecIps(registry.vecActiveView()),
              (std::vector<std::string>{"9.255.255.255", "10.0.0.9", "10.0.0.10", "10.0.1.0",
                                        "192.168.0.1"}));
}

TEST(DevRegistry, PoolFollowsItsDevicesThroughASort) {
    CDevRegistry registry;
    vAddAll(registry, {sMakeDev("10.0.0.4", "DDDD"), sMakeDev("10.0.0.3", "CCCC"),
                       sMakeDev("10.0.0.2", "BBBB"), sMakeDev("10.0.0.1", "AAAA")});
    registry.vDevPoolAdd(1, CDevRegistry::EPoolAdd::kIndex);  // 10.0.0.3
    registry.vDevPoolAdd(3, CDevRegistry::EPoolAdd::kIndex);  // 10.0.0.1
    registry.iSortByAddr(0);
    EXPECT_EQ(vecIps(registry.vecGetSelectDevInfo()),
              (std::vector<std::string>{"10.0.0.3", "10.0.0.1"}));
    EXPECT_EQ(registry.vecPool(), (std::vector<int>{2, 0}));
    EXPECT_EQ(registry.strPoolPaneText(), " 10.0.0.3\r\n 10.0.0.1\r\n");
    registry.iSortByUid(0);
    EXPECT_EQ(vecIps(registry.vecGetSelectDevInfo()),
              (std::vector<std::string>{"10.0.0.3", "10.0.0.1"}));
}

TEST(DevRegistry, SortReselectsTheAddressUnlessFiltered) {
    const std::vector<CDevInfo> devices = {sMakeDev("10.0.0.1", "CCCC"),
                                           sMakeDev("10.0.0.2", "BBBB-KS"),
                                           sMakeDev("10.0.0.3", "AAAA-KS")};
    {
        CDevRegistry registry;
        vAddAll(registry, devices);
        EXPECT_EQ(registry.iSortByUid(uiAddr("10.0.0.1")), 2);
        EXPECT_EQ(registry.iListSelect(), 2);
        EXPECT_EQ(registry.vecPool(), (std::vector<int>{2}));
        // Already pooled: selected again, not pooled twice.
        EXPECT_EQ(registry.iSortByAddr(uiAddr("10.0.0.1")), 0);
        EXPECT_EQ(registry.vecPool(), (std::vector<int>{0}));
        // An address not in the list selects nothing.
        EXPECT_EQ(registry.iSortByUid(uiAddr("10.0.0.9")), -1);
        EXPECT_EQ(registry.iListSelect(), -1);
    }
    {
        CDevRegistry registry;
        vAddAll(registry, devices);
        ASSERT_TRUE(registry.fgApplyFilter("ks"));
        EXPECT_EQ(registry.iSortByUid(uiAddr("10.0.0.2")), -1);
        EXPECT_EQ(registry.iListSelect(), -1);
        EXPECT_EQ(vecIps(registry.vecActiveView()),
                  (std::vector<std::string>{"10.0.0.3", "10.0.0.2"}));
    }
}
