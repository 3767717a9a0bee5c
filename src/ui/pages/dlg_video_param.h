#pragma once

#include <array>
#include <cstdint>

#include "protocol/requests.h"
#include "protocol/video_param_feature.h"
#include "ui/scaled_page.h"

class CStation;
class QComboBox;
class QLineEdit;
class QPushButton;

// The settings of one stream as the page shows them.
struct CStreamControls {
    QComboBox* m_pResolution = nullptr;
    QLineEdit* m_pFrameRate = nullptr;
    QLineEdit* m_pBitRate = nullptr;
    QComboBox* m_pStandard = nullptr;
};

// The "Video Parameters" page (tab 4): resolution, frame rate, bit rate and standard of
// the main and the sub stream of the selected camera. "Refresh" asks the device, whose
// answer fills the controls; "Apply" sends what the controls show: no resolution or
// standard chosen sends 255 and -1, the frame rate its low 8 bits and the bit rate its
// low 16 bits (each read from the first 9 characters of its edit). The controls are the
// page's only state.
class CDlgVideoParam : public CScaledPage, public IVideoParamView {
    Q_OBJECT

  public:
    // station may be null (a window without devices): the buttons then refuse like an
    // empty selection. The station must outlive the page.
    explicit CDlgVideoParam(QWidget* parent, CStation* station = nullptr);

    // Every refresh of the tab reads the settings again.
    // Another device was chosen: what the page shows of the last one goes, so that a
    // device that does not answer leaves the fields empty rather than another's.
    void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) override;
    void vTabRefresh(ETabRefresh cause) override;
    // Enter in one of the page's fields applies the page.
    void vOnEnterKey() override;

    // IVideoParamView: called on the receive thread, shown on the UI thread. A
    // resolution code without an entry leaves its box as it was; a standard code
    // without one clears its box.
    void vFillVideoParams(const std::array<std::uint32_t, 4>& words) override;

    // "Refresh" and "Apply"; true when the request left.
    bool fgRefresh();
    bool fgApply();

    const CStreamControls& mainStream() const { return m_main; }
    const CStreamControls& subStream() const { return m_sub; }
    QPushButton* pRefreshButton() const { return m_pRefresh; }
    QPushButton* pApplyButton() const { return m_pApply; }

  private:
    CStation* m_pStation;
    CStreamControls m_main;
    CStreamControls m_sub;
    QPushButton* m_pRefresh = nullptr;
    QPushButton* m_pApply = nullptr;
};
