#pragma once

#include <QString>
#include <functional>
#include <string>

#include "protocol/log_feature.h"
#include "ui/scaled_page.h"

class CStation;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// How the log box follows new text: kFollow scrolls to the last line after every
// text, kStay and kStill leave the view where the operator put it. The button cycles
// 1, 2, 0, 1, ... and shows the digit.
enum class ELogScroll { kStill = 0, kFollow = 1, kStay = 2 };

// The "Log" page (tab 7): the selected device's log output, live while printing is
// on (the station keeps the device printing), a raw key command with parameter bytes,
// and the export of the log to a file the operator names in a save dialog (offering
// "Log.txt" in the station's writable folder): the file is created once, with the text
// shown so far, and every later text is appended while the export button reads
// "Exporting"; the result pane names the file. The log box keeps its last kMaxLogLines lines.
class CDlgLog : public CScaledPage, public ILogView {
    Q_OBJECT

  public:
    static constexpr int kMaxLogLines = 20000;

    // station may be null (a window without devices). The station must outlive the
    // page; the window attaches it as the log view (the page table). exportDir: the folder export
    // files go to, with a trailing separator.
    CDlgLog(QWidget* parent, CStation* station = nullptr, std::string exportDir = {});
    CDlgLog(const CDlgLog&) = delete;
    CDlgLog& operator=(const CDlgLog&) = delete;

    // ILogView: queued onto the UI thread.
    void vShowLogText(const std::string& text) override;

    // A device-list click while the page shows stops printing.
    void vTabRefresh(ETabRefresh cause) override;
    // Enter sends the key command while the command line has the focus.
    void vOnEnterKey() override;

    void vTogglePrint();
    void vSendKeyCommand();
    void vToggleExport();
    void vClear();
    void vNextScrollMode();

    QPushButton* pPrintButton() const { return m_pPrint; }
    QLineEdit* pKeyEdit() const { return m_pKeyEdit; }
    QPushButton* pKeyButton() const { return m_pKey; }
    QPushButton* pExportButton() const { return m_pExport; }
    QPushButton* pClearButton() const { return m_pClear; }
    QPushButton* pScrollButton() const { return m_pScroll; }
    QPlainTextEdit* pLogBox() const { return m_pLogBox; }
    const std::string& strExportPath() const { return m_strExportPath; }
    // Replaces the save dialog of the export (suggested path in, chosen path out, empty:
    // cancelled); for tests.
    void vSetSavePathAsker(std::function<QString(const QString& suggested)> ask) {
        m_fnAskSavePath = std::move(ask);
    }
    ELogScroll eScrollMode() const { return m_eScroll; }

  private:
    void vAppendLog(const QString& text);
    bool fgExporting() const;
    bool fgSelectedAndLoggedIn(std::string* ipText);
    void vStopPrint();
    void vReportExportFailure();
    // The result line that names the file the log goes to.
    void vReportExportFile();

    CStation* m_pStation;
    std::function<QString(const QString&)> m_fnAskSavePath;
    std::string m_strExportDir;
    QPushButton* m_pPrint;
    QLineEdit* m_pKeyEdit;
    QPushButton* m_pKey;
    QPushButton* m_pExport;
    QPushButton* m_pClear;
    QPushButton* m_pScroll;
    QPlainTextEdit* m_pLogBox;
    ELogScroll m_eScroll = ELogScroll::kFollow;
    std::string m_strExportPath;  // chosen once, kept for the page's life
};
