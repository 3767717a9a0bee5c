#include "ui/pages/dlg_video_param.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <span>

#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

namespace {
constexpr int kNumberRoomChars = 9;
constexpr std::uint8_t kNoResolution = 255;

// Resolution entries: text and device code.
struct CResolutionEntry {
    const char* m_pszText;
    std::uint8_t m_byCode;
};
constexpr CResolutionEntry kMainResolutions[] = {
    {"D1", 4}, {"VGA", 7}, {"720P", 16}, {"1080P", 18}};
constexpr CResolutionEntry kSubResolutions[] = {
    {"QCIF", 0}, {"CIF", 1}, {"2CIF", 2}, {"QVGA", 6}, {"VGA", 7}};
// Standard entries; the device code is the entry index.
constexpr const char* kStandards[] = {"PAL", "NTSC", "AUTO"};

constexpr int kLabelW = 55;
constexpr int kFieldW = 120;
constexpr int kRowH = 22;

// One stream's group: the frame, then label and control row by row.
CStreamControls sMakeStreamBlock(QWidget* page, const QString& title, int left,
                                 std::span<const CResolutionEntry> resolutions) {
    auto* group = new QGroupBox(title, page);
    group->setGeometry(sPageTemplateRect(left, 10, 200, 112));
    const int labelX = left + 10;
    const int fieldX = labelX + kLabelW + 5;
    int y = 28;
    const auto row = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, page);
        label->setGeometry(sPageTemplateRect(labelX, y + 2, kLabelW, 10));
        field->setGeometry(sPageTemplateRect(fieldX, y, kFieldW, 14));
        y += kRowH;
    };
    CStreamControls controls;
    controls.m_pResolution = new QComboBox(page);
    for (const CResolutionEntry& entry : resolutions) {
        controls.m_pResolution->addItem(QString::fromLatin1(entry.m_pszText));
    }
    controls.m_pResolution->setCurrentIndex(-1);
    row(strTrKey("Resolution"), controls.m_pResolution);
    controls.m_pFrameRate = new QLineEdit(page);
    row(strTrKey("Frame Rate"), controls.m_pFrameRate);
    controls.m_pBitRate = new QLineEdit(page);
    row(strTrKey("Bit Rate"), controls.m_pBitRate);
    controls.m_pStandard = new QComboBox(page);
    for (const char* standard : kStandards) {
        controls.m_pStandard->addItem(QString::fromLatin1(standard));
    }
    controls.m_pStandard->setCurrentIndex(-1);
    row(strTrKey("Standard"), controls.m_pStandard);
    return controls;
}

CStreamSettings sReadStream(const CStreamControls& controls,
                            std::span<const CResolutionEntry> resolutions) {
    CStreamSettings settings;
    const int resolution = controls.m_pResolution->currentIndex();
    settings.m_byResolution =
        resolution >= 0 && static_cast<std::size_t>(resolution) < resolutions.size()
            ? resolutions[static_cast<std::size_t>(resolution)].m_byCode
            : kNoResolution;
    settings.m_byFrameRate =
        static_cast<std::uint8_t>(iEditNumber(controls.m_pFrameRate->text(), kNumberRoomChars));
    settings.m_usBitRate =
        static_cast<std::uint16_t>(iEditNumber(controls.m_pBitRate->text(), kNumberRoomChars));
    settings.m_iStandard = controls.m_pStandard->currentIndex();
    return settings;
}

// A stream record of a reply: resolution code, frame rate and bit rate in the first
// word, the signed standard code in the second.
void vFillStream(const CStreamControls& controls, std::span<const CResolutionEntry> resolutions,
                 std::uint32_t first, std::uint32_t standardWord) {
    controls.m_pFrameRate->setText(QString::number((first >> 8) & 0xFFU));
    controls.m_pBitRate->setText(QString::number((first >> 16) & 0xFFFFU));
    const auto standard = static_cast<std::int32_t>(standardWord);
    controls.m_pStandard->setCurrentIndex(
        standard >= 0 && standard < controls.m_pStandard->count() ? standard : -1);
    const std::uint32_t code = first & 0xFFU;
    for (std::size_t index = 0; index < resolutions.size(); ++index) {
        if (resolutions[index].m_byCode == code) {
            controls.m_pResolution->setCurrentIndex(static_cast<int>(index));
        }
    }
}
}  // namespace

CDlgVideoParam::CDlgVideoParam(QWidget* parent, CStation* station)
    : CScaledPage(parent, 1), m_pStation(station) {
    m_main = sMakeStreamBlock(this, strTrKey("Main Stream Settings"), 10, kMainResolutions);
    m_sub = sMakeStreamBlock(this, strTrKey("Sub Stream Settings"), 225, kSubResolutions);
    m_pRefresh = new QPushButton(strTrKey("Refresh"), this);
    m_pRefresh->setGeometry(sPageTemplateRect(300, 135, 50, 16));
    m_pApply = new QPushButton(strTrKey("Apply"), this);
    m_pApply->setGeometry(sPageTemplateRect(365, 135, 50, 16));
    connect(m_pRefresh, &QPushButton::clicked, this, &CDlgVideoParam::fgRefresh);
    connect(m_pApply, &QPushButton::clicked, this, &CDlgVideoParam::fgApply);
}

void CDlgVideoParam::vOnDeviceChosen(EDevChoice /*choice*/, const CDevInfo& /*devInfo*/) {
    for (const CStreamControls* stream : {&m_main, &m_sub}) {
        stream->m_pResolution->setCurrentIndex(-1);
        stream->m_pFrameRate->clear();
        stream->m_pBitRate->clear();
        stream->m_pStandard->setCurrentIndex(-1);
    }
}

void CDlgVideoParam::vOnEnterKey() {
    if (isAncestorOf(QApplication::focusWidget())) {
        fgApply();
    }
}

void CDlgVideoParam::vTabRefresh(ETabRefresh /*cause*/) {
    fgRefresh();
}

bool CDlgVideoParam::fgRefresh() {
    return fgSendToSelectedDev(this, m_pStation, bufBuildGetVideoParam());
}

bool CDlgVideoParam::fgApply() {
    return fgSendToSelectedDev(this, m_pStation,
                               bufBuildSetVideoParam(sReadStream(m_main, kMainResolutions),
                                                     sReadStream(m_sub, kSubResolutions)));
}

void CDlgVideoParam::vFillVideoParams(const std::array<std::uint32_t, 4>& words) {
    QMetaObject::invokeMethod(
        this,
        [this, words] {
            vFillStream(m_main, kMainResolutions, words[0], words[1]);
            vFillStream(m_sub, kSubResolutions, words[2], words[3]);
        },
        Qt::QueuedConnection);
}
