#include "ui/pages/dlg_log.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <cstdio>
#include <optional>
#include <utility>

#include "app/atomic_file.h"
#include "app/dbg_print.h"
#include "app/file_util.h"
#include "app/shown_text.h"
#include "protocol/cmd_header.h"
#include "protocol/key_command.h"
#include "protocol/requests.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

namespace {

// The name the save dialog offers.
constexpr const char* kExportFileName = "Log.txt";

// The whole log box written when an export starts, at most.
constexpr qsizetype kExportHeadMaxBytes = 1024 * 1024;

bool fgAppendToFile(const std::string& path, const QByteArray& bytes) {
    const FilePtr file(std::fopen(path.c_str(), "ab"));
    if (!file) {
        return false;
    }
    const auto size = static_cast<std::size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, file.get()) == size;
}

QString strAskExportPath(QWidget* owner, const QString& suggested) {
    QFileDialog dialog(owner, strTrKey("Export Logs"), suggested);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(QFileInfo(suggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

}  // namespace

CDlgLog::CDlgLog(QWidget* parent, CStation* station, std::string exportDir)
    : CScaledPage(parent, 1),
      m_pStation(station),
      m_fnAskSavePath(
          [this](const QString& suggested) { return strAskExportPath(this, suggested); }),
      m_strExportDir(std::move(exportDir)),
      m_pPrint(new QPushButton(strTrKey("Start Print"), this)),
      m_pKeyEdit(new QLineEdit(this)),
      m_pKey(new QPushButton(strTrKey("Control Command"), this)),
      m_pExport(new QPushButton(strTrKey("Export Logs"), this)),
      m_pClear(new QPushButton(strTrKey("Clear"), this)),
      m_pScroll(new QPushButton(QStringLiteral("1"), this)),
      m_pLogBox(new QPlainTextEdit(this)) {
    m_pPrint->setGeometry(sPageTemplateRect(8, 8, 60, 16));
    m_pKeyEdit->setGeometry(sPageTemplateRect(76, 9, 196, 14));
    m_pKey->setGeometry(sPageTemplateRect(280, 8, 70, 16));
    m_pExport->setGeometry(sPageTemplateRect(358, 8, 60, 16));
    m_pClear->setGeometry(sPageTemplateRect(426, 8, 40, 16));
    m_pScroll->setGeometry(sPageTemplateRect(474, 8, 16, 16));
    m_pLogBox->setGeometry(sPageTemplateRect(8, 30, 482, 256));
    m_pKeyEdit->setMaxLength(static_cast<int>(kKeyLineMaxChars));
    m_pLogBox->setReadOnly(true);
    m_pLogBox->setMaximumBlockCount(kMaxLogLines);
    m_pLogBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    connect(m_pPrint, &QPushButton::clicked, this, &CDlgLog::vTogglePrint);
    connect(m_pKey, &QPushButton::clicked, this, &CDlgLog::vSendKeyCommand);
    connect(m_pExport, &QPushButton::clicked, this, &CDlgLog::vToggleExport);
    connect(m_pClear, &QPushButton::clicked, this, &CDlgLog::vClear);
    connect(m_pScroll, &QPushButton::clicked, this, &CDlgLog::vNextScrollMode);
}

void CDlgLog::vShowLogText(const std::string& text) {
    // The text ends at its first NUL; other control characters show as escapes.
    const std::string shown = strShownText(text.substr(0, text.find('\0')), ELineBreaks::kKeep);
    QMetaObject::invokeMethod(
        this, [this, shown] { vAppendLog(QString::fromUtf8(shown)); }, Qt::QueuedConnection);
}

void CDlgLog::vAppendLog(const QString& text) {
    // Appended at the end, as it came: a text without a line break continues the line.
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    QTextCursor end(m_pLogBox->document());
    end.movePosition(QTextCursor::End);
    end.insertText(plain);
    if (m_eScroll == ELogScroll::kFollow) {
        QScrollBar* bar = m_pLogBox->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
    if (fgExporting() && !m_strExportPath.empty() &&
        !fgAppendToFile(m_strExportPath, text.toUtf8())) {
        // Reported once: the export stops until the operator starts it again.
        vReportExportFailure();
        m_pExport->setText(strTrKey("Export Logs"));
    }
}

bool CDlgLog::fgExporting() const {
    return m_pExport->text() != strTrKey("Export Logs");
}

bool CDlgLog::fgSelectedAndLoggedIn(std::string* ipText) {
    const std::optional<std::string> ip = sLoggedInSelection(this, m_pStation);
    if (ip) {
        *ipText = *ip;
    }
    return ip.has_value();
}

void CDlgLog::vTogglePrint() {
    // Stopping needs no answer from the selected device: the stop request goes to the
    // device printing was started on, and the keep-alive ends either way.
    if (m_pStation != nullptr && m_pStation->log().fgPrinting()) {
        vStopPrint();
        return;
    }
    std::string ipText;
    if (!fgSelectedAndLoggedIn(&ipText)) {
        return;
    }
    CLogFeature& log = m_pStation->log();
    CDevInfo devInfo;
    if (!m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        return;
    }
    log.vStartPrinting(devInfo.m_uiIpAddr, ipText);
    m_pPrint->setText(strTrKey("Stop Print"));
}

void CDlgLog::vStopPrint() {
    m_pStation->log().vStopPrinting();
    m_pPrint->setText(strTrKey("Start Print"));
}

void CDlgLog::vTabRefresh(ETabRefresh cause) {
    if (cause == ETabRefresh::kRowClick && m_pStation != nullptr &&
        m_pStation->log().fgPrinting()) {
        vStopPrint();
    }
}

void CDlgLog::vOnEnterKey() {
    if (m_pKeyEdit->hasFocus()) {
        vSendKeyCommand();
    }
}

void CDlgLog::vSendKeyCommand() {
    std::string ipText;
    if (!fgSelectedAndLoggedIn(&ipText)) {
        return;
    }
    const std::optional<CKeyCommand> command = sParseKeyCommand(m_pKeyEdit->text().toStdString());
    if (!command) {
        return;
    }
    vDbgPrint("camkit:%s, %d=>key=%d,paralen=%d\r\n", "CDlgLog::OnBnClickedButtonCtrl", __LINE__,
              command->m_iKey, static_cast<int>(command->m_params.size()));
    for (const std::uint8_t byte : command->m_params) {
        vDbgPrint("camkit:%s, %d=>0x%hhx\r\n", "CDlgLog::OnBnClickedButtonCtrl", __LINE__, byte);
    }
    if (command->m_iKey < 0) {
        return;
    }
    m_pStation->fgSendToDev(ipText, bufBuildKeyCmd(command->m_iKey, command->m_params));
}

void CDlgLog::vToggleExport() {
    if (fgExporting()) {
        m_pExport->setText(strTrKey("Export Logs"));
        return;
    }
    if (!m_strExportPath.empty()) {
        m_pExport->setText(strTrKey("Exporting"));
        vReportExportFile();
        return;
    }
    // The file is chosen once, when the first export starts, and kept for the page's
    // life: an export stopped and started again goes on appending to it.
    const QString chosen =
        m_fnAskSavePath(QString::fromStdString(m_strExportDir + kExportFileName));
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = chosen.toStdString();
    QByteArray head = m_pLogBox->toPlainText().toUtf8().right(kExportHeadMaxBytes);
    while (!head.isEmpty() && (static_cast<unsigned char>(head.front()) & 0xC0U) == 0x80U) {
        head.remove(0, 1);  // no character cut in half at the start
    }
    std::string error;
    if (!fgWriteFileAtomic(
            path, std::string_view(head.constData(), static_cast<std::size_t>(head.size())),
            error)) {
        vReportExportFailure();
        return;
    }
    m_strExportPath = path;
    m_pExport->setText(strTrKey("Exporting"));
    m_pExport->setToolTip(QString::fromStdString(path));
    vReportExportFile();
}

void CDlgLog::vReportExportFile() {
    if (m_pStation != nullptr) {
        // A line of its own text: the file's name is no key to translate.
        m_pStation->vReport(
            sTextResult(strTranslate("Exporting the log to") + " " + m_strExportPath));
    }
}

void CDlgLog::vReportExportFailure() {
    vDbgPrint("camkit:err:%s, %d=>cannot write %s\r\n", "CDlgLog::vAddLog", __LINE__,
              m_strExportPath.empty() ? m_strExportDir.c_str() : m_strExportPath.c_str());
    if (m_pStation != nullptr) {
        m_pStation->vReport(sTextResult("Cannot write the log file"));
    }
}

void CDlgLog::vClear() {
    m_pLogBox->clear();
}

void CDlgLog::vNextScrollMode() {
    switch (m_eScroll) {
        case ELogScroll::kFollow:
            m_eScroll = ELogScroll::kStay;
            break;
        case ELogScroll::kStay:
            m_eScroll = ELogScroll::kStill;
            break;
        case ELogScroll::kStill:
            m_eScroll = ELogScroll::kFollow;
            break;
    }
    m_pScroll->setText(QString::number(static_cast<int>(m_eScroll)));
}
