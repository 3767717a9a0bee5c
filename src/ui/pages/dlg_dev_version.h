#pragma once

#include <QTimer>
#include <array>
#include <cstdint>
#include <string>

#include "protocol/config_feature.h"
#include "protocol/requests.h"
#include "ui/scaled_page.h"

class CStation;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The configuration items the page's buttons write to the pooled devices.
enum class EConfigItemButton { kUserPassword, kSafePassword, kVolume, kCustom };

inline constexpr int kDefaultFlagRows = 8;
inline constexpr int kDeviceKeys = 4;

// The "Device Version" page (tab 3): the selected device's configuration text, the
// factory defaults written to every pooled device (the flag word, the user and safe
// passwords, the sound volume, the push switch, a free "key=value" item, then the
// restart or factory reset that makes them take effect), the functions of the
// selected device's four keys and its wired MAC update. After each pooled change the
// page asks the selected device for its configuration text again 100 ms later. The
// push box follows bit 6 of "fg0_reset" in the last text and writes the item back with
// only that bit changed. Its drop-down lists get five field heights of room.
class CDlgDevVersion : public CScaledPage, public IConfigView {
    Q_OBJECT

  public:
    static constexpr int kRefreshDelayMs = 100;

    // station may be null (a window without devices): the buttons then do nothing
    // (Refresh shows the choose-a-device box). The station must outlive the page.
    explicit CDlgDevVersion(QWidget* parent, CStation* station = nullptr);

    // A shown tab or a clicked row: the configuration text and the key functions; the
    // delayed refresh: the text only.
    // Another device was chosen: what the page shows of the last one goes, so that a
    // device that does not answer leaves the fields empty rather than another's.
    void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) override;
    void vTabRefresh(ETabRefresh cause) override;

    // The buttons. Refresh is true when the query left.
    bool fgRefresh();
    void vQueryKeyFunctions();
    void vSaveKeyFunctions();
    void vSetDefaultConfig();
    void vWriteItem(EConfigItemButton button);
    void vOnPushClicked(bool ticked);
    void vUpdateEthMac();

    // IConfigView: called on the receive thread, shown on the UI thread.
    void vShowConfigText(const std::string& text) override;
    void vShowKeyFunctions(const std::array<std::uint32_t, 4>& codes) override;
    void vRefreshDefaultConfig() override;

    QPlainTextEdit* pConfigText() const { return m_pText; }
    QTableWidget* pFlagList() const { return m_pFlags; }
    QLineEdit* pItemEdit(EConfigItemButton button) const;
    QPushButton* pItemButton(EConfigItemButton button) const;
    QCheckBox* pPushBox() const { return m_pPush; }
    QComboBox* pKeyCombo(int key) const;
    QPushButton* pSaveKeysButton() const { return m_pSaveKeys; }
    QPushButton* pQueryKeysButton() const { return m_pQueryKeys; }
    std::uint32_t uiFlagZero() const { return m_uiFlagZero; }

  private:
    void vShowText(const QString& text);
    // The login check of the selected device (silent without one); its address.
    bool fgLoginCheck(std::string& ip);
    void vSendToPool(const CmdBytes& request);
    void vRefreshSoon();

    CStation* m_pStation;
    QPlainTextEdit* m_pText = nullptr;
    QTableWidget* m_pFlags = nullptr;
    std::array<QLineEdit*, 4> m_itemEdits{};
    std::array<QPushButton*, 4> m_itemButtons{};
    QCheckBox* m_pPush = nullptr;
    std::array<QComboBox*, kDeviceKeys> m_keyCombos{};
    QPushButton* m_pQueryKeys = nullptr;
    QPushButton* m_pSaveKeys = nullptr;
    std::uint32_t m_uiFlagZero = 0;  // "fg0_reset" of the last text (0: none seen)
    bool m_fgPushEnabled = true;
    bool m_fgScrollRequest = false;
};
