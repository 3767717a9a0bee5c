#pragma once

#include <array>

// The controls of the main window as its template places them: id, kind, caption
// and rectangle in dialog units (font 9 points). Created in this order, which is also
// their stacking order (later ones on top) and the order the layout visits them.

enum class ECtlKind {
    kGroupBox,
    kLabel,
    kEdit,
    kCheckBox,
    kPushButton,
    kProgress,
    kDevList,
    kWifiList,
    kTab,
    kPoolPane,
    kResultPane,
    kPasswordEdit,
};

struct CControlDef {
    int m_iId;
    ECtlKind m_eKind;
    const char* m_pszCaption;  // English key; nullptr for none
    bool m_fgTranslate;        // false: the caption is shown unchanged
    int m_iX;
    int m_iY;
    int m_iW;
    int m_iH;
};

// Control ids the window refers to.
inline constexpr int kIdcGroupLeft = 1010;
inline constexpr int kIdcTimeInterval = 1000;
inline constexpr int kIdcIntervalEdit = 1005;
inline constexpr int kIdcSecondsLabel = 1002;
inline constexpr int kIdcAutoRefresh = 1003;
inline constexpr int kIdcRefreshList = 1009;
inline constexpr int kIdcPasswordLabel = 1011;
inline constexpr int kIdcPasswordEdit = 1008;
inline constexpr int kIdcUpgrade = 1006;
inline constexpr int kIdcProgress = 1059;
inline constexpr int kIdcSelectAll = 1013;
inline constexpr int kIdcFilterEdit = 1014;
inline constexpr int kIdcFilterButton = 1015;
inline constexpr int kIdcDevList = 1016;
inline constexpr int kIdcSdCardGroup = 1017;
inline constexpr int kIdcSdCardLabel = 1060;
inline constexpr int kIdcFormat = 1018;
inline constexpr int kIdcDeviceGroup = 1019;
inline constexpr int kIdcDeviceKind = 1061;
inline constexpr int kIdcWifiList = 1020;
inline constexpr int kIdcWifiStatus = 1021;
inline constexpr int kIdcTab = 1012;
inline constexpr int kIdcPoolGroup = 1023;
inline constexpr int kIdcClearPool = 1024;
inline constexpr int kIdcPoolPane = 1022;
inline constexpr int kIdcResultPane = 1025;

// Size of the window's client area in dialog units.
inline constexpr int kMainDlgWidthDlu = 708;
inline constexpr int kMainDlgHeightDlu = 487;

inline constexpr std::array<CControlDef, 26> kMainControls{{
    {kIdcGroupLeft, ECtlKind::kGroupBox, nullptr, false, 1, 9, 193, 467},
    {kIdcTimeInterval, ECtlKind::kLabel, "Time Interval", true, 8, 19, 48, 8},
    {kIdcIntervalEdit, ECtlKind::kEdit, nullptr, false, 59, 18, 13, 12},
    {kIdcSecondsLabel, ECtlKind::kLabel, "s", false, 79, 20, 8, 8},
    {kIdcAutoRefresh, ECtlKind::kCheckBox, "Auto Refresh", true, 88, 17, 52, 10},
    {kIdcRefreshList, ECtlKind::kPushButton, "Refresh List", true, 7, 33, 42, 14},
    {kIdcPasswordLabel, ECtlKind::kLabel, "Password:", true, 53, 36, 34, 8},
    {kIdcPasswordEdit, ECtlKind::kPasswordEdit, nullptr, false, 88, 33, 50, 14},
    {kIdcUpgrade, ECtlKind::kPushButton, "Upgrade", true, 146, 34, 46, 14},
    {kIdcProgress, ECtlKind::kProgress, nullptr, false, 7, 52, 185, 6},
    {kIdcSelectAll, ECtlKind::kCheckBox, "Select/deselect", true, 8, 61, 66, 10},
    {kIdcFilterEdit, ECtlKind::kEdit, nullptr, false, 86, 59, 44, 12},
    {kIdcFilterButton, ECtlKind::kPushButton, "Filt Device", true, 138, 58, 54, 14},
    {kIdcDevList, ECtlKind::kDevList, nullptr, false, 7, 77, 179, 198},
    {kIdcSdCardGroup, ECtlKind::kGroupBox, "SD Card", true, 8, 279, 177, 22},
    {kIdcSdCardLabel, ECtlKind::kLabel, nullptr, false, 26, 289, 97, 8},
    {kIdcFormat, ECtlKind::kPushButton, "Format", true, 132, 286, 50, 12},
    {kIdcDeviceGroup, ECtlKind::kGroupBox, "Device", true, 8, 302, 177, 20},
    {kIdcDeviceKind, ECtlKind::kLabel, nullptr, false, 36, 308, 94, 12},
    {kIdcWifiList, ECtlKind::kWifiList, nullptr, false, 8, 333, 177, 115},
    {kIdcWifiStatus, ECtlKind::kLabel, "Not connected", true, 11, 457, 130, 13},
    {kIdcTab, ECtlKind::kTab, nullptr, false, 199, 15, 501, 307},
    {kIdcPoolGroup, ECtlKind::kGroupBox, "Operating Device Pool", true, 198, 329, 151, 146},
    {kIdcClearPool, ECtlKind::kPushButton, "Clear", true, 290, 343, 50, 14},
    {kIdcPoolPane, ECtlKind::kPoolPane, nullptr, false, 208, 365, 133, 103},
    {kIdcResultPane, ECtlKind::kResultPane, "Start server success...", true, 362, 338, 336, 137},
}};
