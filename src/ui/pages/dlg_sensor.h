#pragma once

#include <QTimer>
#include <array>
#include <cstdint>
#include <vector>

#include "protocol/requests.h"
#include "protocol/sensor_feature.h"
#include "protocol/sensor_records.h"
#include "ui/scaled_page.h"

class CStation;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

enum class ESensorButton {
    kRefresh,
    kLearnWarning,
    kLearnKey,
    kStop,
    kStartTest,
    kClearAll,
    kCalibrate1,
    kCalibrate2,
    kCalibrate3,
};
inline constexpr int kSensorButtonCount = 9;
inline constexpr int kCalibrationRows = 3;

// The "Sensor management" page (tab 5): the sensors the selected device knows, learning
// a new alarm sensor or key fob, deleting, testing and calibrating smart sockets. Every
// request goes to the selected device after the login check; the replies come back
// through ISensorView. The page keeps one table entry (index, kind) per list row, at
// most 200, rebuilt from each list reply so that row and entry always match; the
// highlighted row is the one the buttons address, whatever moved the highlight; it
// stays across refreshes and keeps its highlight when the list loses the focus. Start
// Test and the calibrations send nothing while no row is highlighted and say so in the
// result text.
class CDlgSensor : public CScaledPage, public ISensorView {
    Q_OBJECT

  public:
    static constexpr int kLearnPeriodMs = 100;
    static constexpr int kLearnTicks = 600;  // a minute of learning, then Stop
    static constexpr int kClearRefreshMs = 500;

    // station may be null (a window without devices): the buttons then refuse like an
    // empty selection. The station must outlive the page.
    explicit CDlgSensor(QWidget* parent, CStation* station = nullptr);

    // A shown tab, a clicked row and the delayed refresh all ask for the list again.
    void vTabRefresh(ETabRefresh cause) override;

    // The actions of the buttons and the list's menu.
    void vRefresh();
    void vStartLearning(ESensorLearn kind);
    void vStopLearning();
    void vStartTest();
    void vCalibrate(int calibrationRow);
    void vDeleteRow(int row);
    void vClearAll();
    // Highlights a list row, which the buttons then address (as a click, a right click
    // or the arrow keys do).
    void vSelectRow(int row);

    // ISensorView: called on the receive thread, shown on the UI thread.
    void vSensorTestEnable() override;
    void vSensorResult(const std::array<std::uint8_t, kSensorResultBytes>& result,
                       bool calibration) override;
    void vSensorLearnDone(bool success, std::uint32_t newIndex) override;
    void vSensorList(
        const std::vector<std::array<std::uint8_t, kSensorEntryBytes>>& entries) override;
    // A key fob was learnt: learning ends and the operator names it (modal dialog).
    void vOpenSensorNameDialog(const std::string& addressText) override;

    QPushButton* pButton(ESensorButton button) const;
    QTableWidget* pList() const { return m_pList; }
    QPlainTextEdit* pResultText() const { return m_pResult; }
    QProgressBar* pProgress() const { return m_pProgress; }
    QLineEdit* pPowerEdit(int calibrationRow) const;
    int iSelectedRow() const { return m_iSelectedRow; }
    bool fgLearning() const { return m_learnTimer.isActive(); }

  private:
    struct CTableEntry {
        std::uint32_t m_uiIndex = 0;
        std::uint32_t m_uiKind = 0;
    };

    void vEmptyList();
    void vFillList(const std::vector<CSensorEntry>& entries);
    void vLearnTick();
    void vEndLearning();
    // The login check of the selected device (silent without one); its address.
    bool fgLoginCheck(std::string& ip);
    // The table entry of the selected row, when there is one.
    const CTableEntry* psSelectedEntry() const;
    // Before a request about the selected sensor: clears the result, runs the login
    // check (ip: the device) and finds the sensor; nullptr when either fails.
    const CTableEntry* psCheckedSelection(std::string& ip);

    CStation* m_pStation;
    QTableWidget* m_pList = nullptr;
    QPlainTextEdit* m_pResult = nullptr;
    QProgressBar* m_pProgress = nullptr;
    std::array<QLineEdit*, kCalibrationRows> m_powerEdits{};
    std::array<QPushButton*, kSensorButtonCount> m_buttons{};
    std::vector<CTableEntry> m_table;
    int m_iSelectedRow = -1;
    int m_iLearnTicks = 0;
    std::int64_t m_iNewSensorIndex = -1;  // the sensor just learnt, selected once listed
    QTimer m_learnTimer;
};
