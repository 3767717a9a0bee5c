#include "ui/pages/dlg_dev_version.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <optional>
#include <utility>

#include "app/dbg_print.h"
#include "app/shown_text.h"
#include "net/lan_interfaces.h"
#include "protocol/config_text.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"
#include "ui/ui_helpers.h"

namespace {

constexpr int kItemMaxChars = 30;
// The descriptions of the default flag rows, in row order.
constexpr std::array<const char*, kDefaultFlagRows> kDefaultFlagKeys{
    "ircut inverse",
    "day night detect inverse",
    "sensor dir inverse",
    "irled inverse",
    "motor horizontal dir inverse",
    "motor vertical dir inverse",
    "change default language",
    "pclk inverse",
};
constexpr int kLanguageRow = 6;
// Kinds of configuration items as the result lines know them.
constexpr int kItemSafePassword = 0;
constexpr int kItemUserPassword = 1;
constexpr int kItemVolume = 2;
constexpr int kItemPushOn = 3;
constexpr int kItemPushOff = 4;
constexpr int kItemCustom = 6;

std::size_t uSlot(EConfigItemButton button) {
    return static_cast<std::size_t>(button);
}

QString strItemCaption(EConfigItemButton button) {
    switch (button) {
        case EConfigItemButton::kUserPassword:
            return strTrKey("Modify default password");
        case EConfigItemButton::kSafePassword:
            return strTrKey("Modify default safe password");
        case EConfigItemButton::kVolume:
            return strTrKey("modify default volume");
        case EConfigItemButton::kCustom:
            break;
    }
    return strTrKey("write your config");
}

QPushButton* pNewButton(QWidget* page, const QString& caption, int x, int y, int w) {
    auto* button = new QPushButton(caption, page);
    button->setGeometry(sPageTemplateRect(x, y, w, 16));
    return button;
}

}  // namespace

CDlgDevVersion::CDlgDevVersion(QWidget* parent, CStation* station)
    : CScaledPage(parent, 5), m_pStation(station) {
    m_pText = new QPlainTextEdit(this);
    m_pText->setReadOnly(true);
    m_pText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pText->setGeometry(sPageTemplateRect(10, 10, 200, 150));
    connect(pNewButton(this, strTrKey("Refresh"), 10, 165, 60), &QPushButton::clicked, this,
            [this] { fgRefresh(); });

    m_pFlags = new QTableWidget(kDefaultFlagRows, 2, this);
    m_pFlags->setGeometry(sPageTemplateRect(220, 10, 150, 110));
    m_pFlags->setHorizontalHeaderLabels({QStringLiteral("ID"), QStringLiteral("Describe")});
    m_pFlags->setColumnWidth(0, 40);
    m_pFlags->setColumnWidth(1, 200);
    m_pFlags->verticalHeader()->hide();
    m_pFlags->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pFlags->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < kDefaultFlagRows; ++row) {
        auto* id = new QTableWidgetItem(QString::number(row + 1));
        id->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        id->setCheckState(Qt::Unchecked);
        m_pFlags->setItem(row, 0, id);
        m_pFlags->setItem(
            row, 1,
            new QTableWidgetItem(strTrKey(kDefaultFlagKeys[static_cast<std::size_t>(row)])));
    }
    connect(pNewButton(this, strTrKey("Set Default Config"), 220, 125, 100), &QPushButton::clicked,
            this, [this] { vSetDefaultConfig(); });

    const std::array<EConfigItemButton, 4> items{
        EConfigItemButton::kUserPassword, EConfigItemButton::kSafePassword,
        EConfigItemButton::kVolume, EConfigItemButton::kCustom};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int y =
            190 + 18 * static_cast<int>(i) + (items[i] == EConfigItemButton::kCustom ? 18 : 0);
        auto* edit = new QLineEdit(this);
        edit->setGeometry(
            sPageTemplateRect(10, y, items[i] == EConfigItemButton::kVolume ? 45 : 80, 14));
        m_itemEdits[uSlot(items[i])] = edit;
        m_itemButtons[uSlot(items[i])] = pNewButton(this, strItemCaption(items[i]), 95, y, 115);
        connect(m_itemButtons[uSlot(items[i])], &QPushButton::clicked, this,
                [this, which = items[i]] { vWriteItem(which); });
    }
    pItemEdit(EConfigItemButton::kUserPassword)->setMaxLength(kItemMaxChars);
    pItemEdit(EConfigItemButton::kUserPassword)
        ->setText(QString::fromStdString(std::string(kDefaultDevPassword)));
    pItemEdit(EConfigItemButton::kSafePassword)->setMaxLength(kItemMaxChars);
    pItemEdit(EConfigItemButton::kSafePassword)->setText(QStringLiteral("5071"));
    pItemEdit(EConfigItemButton::kVolume)->setMaxLength(kItemMaxChars);
    pItemEdit(EConfigItemButton::kVolume)->setText(QStringLiteral("250"));
    pItemEdit(EConfigItemButton::kCustom)->setMaxLength(static_cast<int>(kConfigLineMaxChars));
    auto* range = new QLabel(QStringLiteral("0-255"), this);
    range->setGeometry(sPageTemplateRect(60, 228, 30, 10));

    m_pPush = new QCheckBox(strTrKey("default push enable"), this);
    m_pPush->setGeometry(sPageTemplateRect(10, 244, 120, 12));
    m_pPush->setChecked(m_fgPushEnabled);
    connect(m_pPush, &QCheckBox::clicked, this, [this](bool ticked) { vOnPushClicked(ticked); });

    for (int key = 0; key < kDeviceKeys; ++key) {
        const int y = 150 + 18 * key;
        auto* label = new QLabel(QStringLiteral("key%1").arg(key), this);
        label->setGeometry(sPageTemplateRect(220, y + 2, 25, 10));
        auto* combo = new QComboBox(this);
        combo->setGeometry(sPageTemplateRect(250, y, 90, 14));
        for (const char* function : kKeyFunctionKeys) {
            combo->addItem(strTrKey(function));
        }
        combo->setCurrentIndex(-1);
        m_keyCombos[static_cast<std::size_t>(key)] = combo;
    }
    m_pQueryKeys = pNewButton(this, strTrKey("reflesh key info"), 220, 225, 75);
    m_pSaveKeys = pNewButton(this, strTrKey("save key info to dev"), 300, 225, 85);
    connect(m_pQueryKeys, &QPushButton::clicked, this, [this] { vQueryKeyFunctions(); });
    connect(m_pSaveKeys, &QPushButton::clicked, this, [this] { vSaveKeyFunctions(); });
    connect(pNewButton(this, strTrKey("modify eth mac address"), 220, 244, 110),
            &QPushButton::clicked, this, [this] { vUpdateEthMac(); });
}

QLineEdit* CDlgDevVersion::pItemEdit(EConfigItemButton button) const {
    return m_itemEdits[uSlot(button)];
}

QPushButton* CDlgDevVersion::pItemButton(EConfigItemButton button) const {
    return m_itemButtons[uSlot(button)];
}

QComboBox* CDlgDevVersion::pKeyCombo(int key) const {
    return m_keyCombos.at(static_cast<std::size_t>(key));
}

void CDlgDevVersion::vTabRefresh(ETabRefresh cause) {
    fgRefresh();
    if (cause != ETabRefresh::kDelayed) {
        vQueryKeyFunctions();
    }
}

bool CDlgDevVersion::fgLoginCheck(std::string& ip) {
    return m_pStation != nullptr && m_pStation->fgSelectDevIsLogin(&ip);
}

void CDlgDevVersion::vSendToPool(const CmdBytes& request) {
    for (const CDevInfo& devInfo : m_pStation->registry().vecGetSelectDevInfo()) {
        m_pStation->sender().iSendUdpToDev(devInfo.m_uiIpAddr, request);
    }
}

void CDlgDevVersion::vRefreshSoon() {
    QTimer::singleShot(kRefreshDelayMs, this, [this] { fgRefresh(); });
}

bool CDlgDevVersion::fgRefresh() {
    const std::optional<std::string> ip = sLoggedInSelection(this, m_pStation);
    // The configuration text is asked for on the device's search port.
    return ip &&
           m_pStation->sender().fgSendUdpByIpStr(*ip, kPortSearch, bufBuildGetConfigText(), false);
}

void CDlgDevVersion::vQueryKeyFunctions() {
    std::string ip;
    if (fgLoginCheck(ip)) {
        m_pStation->fgSendToDev(ip, bufBuildGetKeyFuncs());
    }
}

void CDlgDevVersion::vSaveKeyFunctions() {
    std::string ip;
    if (!fgLoginCheck(ip)) {
        return;
    }
    std::array<std::uint32_t, kDeviceKeys> codes{};
    for (int key = 0; key < kDeviceKeys; ++key) {
        codes[static_cast<std::size_t>(key)] = uiKeyFunctionCode(pKeyCombo(key)->currentIndex());
    }
    m_pStation->fgSendToDev(ip, bufBuildSaveKeyFuncs(codes));
}

void CDlgDevVersion::vSetDefaultConfig() {
    std::string ip;
    if (!fgLoginCheck(ip)) {
        return;
    }
    std::array<bool, kDefaultFlagRows> ticked{};
    bool any = false;
    for (int row = 0; row < kDefaultFlagRows; ++row) {
        ticked[static_cast<std::size_t>(row)] = m_pFlags->item(row, 0)->checkState() == Qt::Checked;
        any = any || ticked[static_cast<std::size_t>(row)];
    }
    if (!any || iMessageBoxTips(this, strTrKey("Are you sure to modify it?")) != kBoxOk) {
        return;
    }
    const std::uint32_t word = uiDefaultFlagWord(ticked);
    vDbgPrint("camkit:%s, %d=>modify flag=0x%x\r\n", "CDlgDevVersion::vSetDefaultConfig", __LINE__,
              word);
    vSendToPool(bufBuildDefaultFlags(word));
    m_fgScrollRequest = true;
    vRefreshSoon();
    const bool language = ticked[kLanguageRow];
    const QString question =
        language ? strTrKey("Whether to restore the factory let the configuration take effect?")
                 : strTrKey("If a reboot to configuration to take effect?");
    if (iMessageBoxTips(this, question) == kBoxOk) {
        vSendToPool(language ? bufBuildFactoryReset(EResetOrigin::kAfterConfigChange)
                             : bufBuildRestart());
    }
}

void CDlgDevVersion::vWriteItem(EConfigItemButton button) {
    std::string ip;
    if (!fgLoginCheck(ip)) {
        return;
    }
    const std::string text = pItemEdit(button)->text().toStdString();
    CConfigItem item;
    int kind = kItemCustom;
    switch (button) {
        case EConfigItemButton::kUserPassword:
            item = {"default_pwd", text, EConfigValueKind::kText};
            kind = kItemUserPassword;
            break;
        case EConfigItemButton::kSafePassword:
            item = {"safe_pwd", text, EConfigValueKind::kText};
            kind = kItemSafePassword;
            break;
        case EConfigItemButton::kVolume:
            if (!fgVolumeTextValid(text)) {
                iMessageBoxTips(this, strTrKey("value illegal, must be < 255 && > 0"));
                return;
            }
            item = {"sys_sound_vol", text, EConfigValueKind::kNumber};
            kind = kItemVolume;
            break;
        case EConfigItemButton::kCustom: {
            const std::vector<std::string> pieces = vecSplitConfigLine(text);
            for (const std::string& piece : pieces) {
                vDbgPrint("camkit:%s, %d=>%s\r\n", "iSTR_GetTokStr", __LINE__, piece.c_str());
            }
            const std::optional<CConfigItem> parsed = sParseConfigItem(text);
            if (!parsed) {
                vDbgPrint("camkit:%s, %d=>can not found config info,ret=%d\r\n",
                          "CDlgDevVersion::vWriteItem", __LINE__,
                          pieces.empty() ? -1 : static_cast<int>(pieces.size()));
                return;
            }
            item = *parsed;
            vDbgPrint("camkit:%s, %d=>modify config:%s=%s\r\n", "CDlgDevVersion::vWriteItem",
                      __LINE__, item.m_strKey.c_str(), item.m_strValue.c_str());
            break;
        }
    }
    m_pStation->config().vSetConfigItemKind(kind);
    vSendToPool(bufBuildConfigItem(item.m_strKey, item.m_strValue, item.m_eKind));
    if (button == EConfigItemButton::kVolume) {
        m_fgScrollRequest = true;
    }
    vRefreshSoon();
}

void CDlgDevVersion::vOnPushClicked(bool ticked) {
    std::string ip;
    if (!fgLoginCheck(ip)) {
        // Nothing was written: the box shows what the device has.
        m_pPush->setChecked(m_fgPushEnabled);
        return;
    }
    m_fgPushEnabled = ticked;
    m_uiFlagZero = ticked ? (m_uiFlagZero & ~kFlagZeroPushOff) : (m_uiFlagZero | kFlagZeroPushOff);
    m_pStation->config().vSetConfigItemKind(ticked ? kItemPushOn : kItemPushOff);
    vSendToPool(
        bufBuildConfigItem(kFlagZeroKey, std::to_string(m_uiFlagZero), EConfigValueKind::kNumber));
    m_fgScrollRequest = true;
    vRefreshSoon();
}

void CDlgDevVersion::vUpdateEthMac() {
    std::string ip;
    if (!fgLoginCheck(ip)) {
        return;
    }
    // Pending before the request leaves, since the answer may come at once; only a
    // request that left waits for its confirmation.
    m_pStation->config().vSetMacRequestPending(true);
    if (!m_pStation->fgSendToDev(ip, bufBuildUpdateEthMac())) {
        m_pStation->config().vSetMacRequestPending(false);
    }
}

void CDlgDevVersion::vOnDeviceChosen(EDevChoice /*choice*/, const CDevInfo& /*devInfo*/) {
    m_pText->clear();
    for (QComboBox* combo : m_keyCombos) {
        combo->setCurrentIndex(-1);
    }
}

void CDlgDevVersion::vShowText(const QString& text) {
    m_pText->setPlainText(text);
    m_uiFlagZero = 0;
    m_fgPushEnabled = true;
    if (const auto flagZero = sFindConfigNumber(text.toStdString(), kFlagZeroKey)) {
        vDbgPrint("camkit:%s, %d=>%s = %u\n\r\n", "fgGetStrValFromBuf", __LINE__,
                  std::string(kFlagZeroKey).c_str(), *flagZero);
        m_uiFlagZero = *flagZero;
        m_fgPushEnabled = (*flagZero & kFlagZeroPushOff) == 0;
    }
    m_pPush->setChecked(m_fgPushEnabled);
    if (std::exchange(m_fgScrollRequest, false)) {
        m_pText->verticalScrollBar()->setValue(m_pText->verticalScrollBar()->maximum());
    }
}

void CDlgDevVersion::vShowConfigText(const std::string& text) {
    QMetaObject::invokeMethod(
        this,
        [this, shown = QString::fromStdString(strShownText(text, ELineBreaks::kKeep))] {
            vShowText(shown);
        },
        Qt::QueuedConnection);
}

void CDlgDevVersion::vShowKeyFunctions(const std::array<std::uint32_t, 4>& codes) {
    QMetaObject::invokeMethod(
        this,
        [this, codes] {
            for (int key = 0; key < kDeviceKeys; ++key) {
                pKeyCombo(key)->setCurrentIndex(
                    iKeyFunctionEntry(codes[static_cast<std::size_t>(key)]));
            }
        },
        Qt::QueuedConnection);
}

void CDlgDevVersion::vRefreshDefaultConfig() {
    QMetaObject::invokeMethod(
        this, [this] { fgRefresh(); }, Qt::QueuedConnection);
}
