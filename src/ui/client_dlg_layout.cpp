// The window's layout: its controls from the template, sized to their text, and the
// proportional layout after a resize.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <vector>

#include "app/log.h"
#include "app/translate.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/result_pane.h"
#include "ui/scaled_page.h"
#include "ui/search_progress.h"
#include "ui/text_fit.h"
#include "ui/window_font.h"

namespace {
QString strKey(const char* key) {
    return QString::fromStdString(strTranslate(key));
}
}  // namespace

void CclientDlg::vCreateControls() {
    const CDialogUnits units = sTemplateUnits();
    const CLayoutRect client =
        sDialogRectToPixels(0, 0, kMainDlgWidthDlu, kMainDlgHeightDlu, units);
    resize(client.iWidth(), client.iHeight());

    m_pDevListModel = new CDevListModel(this);
    for (const CControlDef& def : kMainControls) {
        QString caption;
        if (def.m_pszCaption != nullptr) {
            caption = def.m_fgTranslate ? strKey(def.m_pszCaption)
                                        : QString::fromLatin1(def.m_pszCaption);
        }
        QWidget* control = nullptr;
        switch (def.m_eKind) {
            case ECtlKind::kGroupBox:
                control = new QGroupBox(caption, this);
                break;
            case ECtlKind::kLabel:
                control = new QLabel(caption, this);
                break;
            case ECtlKind::kEdit:
            case ECtlKind::kPasswordEdit:
                control = new QLineEdit(this);
                break;
            case ECtlKind::kCheckBox:
                control = new QCheckBox(caption, this);
                break;
            case ECtlKind::kPushButton: {
                auto* button = new QPushButton(caption, this);
                // Enter belongs to the window (vOnOK), never to a button.
                button->setAutoDefault(false);
                button->setDefault(false);
                control = button;
                break;
            }
            case ECtlKind::kProgress:
                m_pProgress = new QProgressBar(this);
                m_pProgress->setRange(0, CSearchProgress::kSteps);
                m_pProgress->setValue(0);
                m_pProgress->setTextVisible(false);
                control = m_pProgress;
                break;
            case ECtlKind::kDevList:
                m_pDevList = new CDevListView(this, m_pDevListModel);
                control = m_pDevList;
                break;
            case ECtlKind::kWifiList:
                m_pWifiList = new CWifiListView(this);
                control = m_pWifiList;
                break;
            case ECtlKind::kTab:
                m_pTabCtrl = new COwnerdrawTabCtrl(this);
                control = m_pTabCtrl;
                break;
            case ECtlKind::kPoolPane:
                m_pPoolPane = new CResultPane(this);
                control = m_pPoolPane;
                break;
            case ECtlKind::kResultPane:
                m_pResultPane = new CResultPane(this);
                m_pResultPane->vSetText(caption);
                control = m_pResultPane;
                break;
        }
        control->setObjectName(QString::number(def.m_iId));
        control->setGeometry(
            sToQRect(sDialogRectToPixels(def.m_iX, def.m_iY, def.m_iW, def.m_iH, units)));
        m_controls.emplace(def.m_iId, control);
    }
    m_pSelectAll = qobject_cast<QCheckBox*>(pControl(kIdcSelectAll));
    m_pIntervalEdit = qobject_cast<QLineEdit*>(pControl(kIdcIntervalEdit));
    m_pFilterEdit = qobject_cast<QLineEdit*>(pControl(kIdcFilterEdit));
    m_pSdCardLabel = qobject_cast<QLabel*>(pControl(kIdcSdCardLabel));
    m_pDeviceKind = qobject_cast<QLabel*>(pControl(kIdcDeviceKind));
    m_pWifiStatus = qobject_cast<QLabel*>(pControl(kIdcWifiStatus));

    auto* password = qobject_cast<QLineEdit*>(pControl(kIdcPasswordEdit));
    password->setMaxLength(kPasswordMaxChars);
    password->setText(m_strCurrPassword);
    m_acPasswordEdit.iInit(password);
    // One digit, 1 to 4: a scan or a slip of the keys never lands here as text.
    m_pIntervalEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[%1-%2]").arg(kIntervalMin).arg(kIntervalMax)),
        m_pIntervalEdit));
    m_pIntervalEdit->setText(QStringLiteral("3"));
    m_pFilterEdit->setMaxLength(CDevRegistry::kFilterMaxChars);
    m_pWifiStatus->setText(strKey("Not connected"));
    pControl(kIdcTimeInterval)->installEventFilter(this);
    pControl(kIdcAutoRefresh)->installEventFilter(this);

    auto* about = new QAction(strKey("About Kestrel..."), this);
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &CclientDlg::vShowAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CclientDlg::vFitToText() {
    const QFont windowFont = sWindowFont(kStartFontHeight);
    std::vector<QWidget*> controls;
    std::vector<int> needs;
    for (const CControlDef& def : kMainControls) {
        QWidget* control = pControl(def.m_iId);
        control->setFont(windowFont);
        controls.push_back(control);
        needs.push_back(0);
        if (def.m_iId == kIdcTab) {
            // The tab area holds the widest page and shows every tab caption.
            int pageWidth = 0;
            for (CScaledPage* page : m_pages) {
                pageWidth = std::max(pageWidth, page->iFitChildrenToText());
            }
            const int frame = m_pTabCtrl->width() - m_pTabCtrl->rectPage().width();
            needs.back() = std::max(pageWidth + frame, m_pTabCtrl->pTabBar()->iLeastRowWidth());
        }
    }
    const int added = iFitToText(controls, needs);
    resize(width() + added, height());
    vFitHeaderSections(*m_pDevList);
    vFitHeaderSections(*m_pWifiList);
}

void CclientDlg::vRecordLayout() {
    const QFont windowFont = sWindowFont(kStartFontHeight);
    m_recordedWindow = CLayoutRect{0, 0, width(), height()};
    m_layoutTable.clear();
    for (const CControlDef& def : kMainControls) {
        QWidget* control = pControl(def.m_iId);
        control->setFont(windowFont);
        m_layoutTable.emplace_back(control, sToLayoutRect(control->geometry()));
    }
}

void CclientDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!m_layoutTable.empty()) {
        vScaleLayout();
    }
}

void CclientDlg::vScaleLayout() {
    const CLayoutRect newWindow{0, 0, width(), height()};
    const double ratioY = static_cast<double>(height()) / m_recordedWindow.iHeight();
    const int fontHeight = iWindowFontHeight(ratioY);
    KLOG_INFO("h=%d", fontHeight);
    const QFont windowFont = sWindowFont(fontHeight);
    for (const auto& [control, recorded] : m_layoutTable) {
        if (control.isNull()) {
            continue;
        }
        control->setFont(windowFont);
        control->setGeometry(sToQRect(sScaleWindowChild(m_recordedWindow, recorded, newWindow)));
    }
    vPlacePages();
}

void CclientDlg::vPlacePages() {
    const QRect pageRect = m_pTabCtrl->rectPage();
    for (CScaledPage* page : m_pages) {
        page->setGeometry(pageRect);
    }
}

QWidget* CclientDlg::pControl(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}
