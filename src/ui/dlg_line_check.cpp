#include "ui/dlg_line_check.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <utility>

#include "app/settings.h"
#include "app/text_conv.h"
#include "check/check_report.h"
#include "check/line_check_run.h"
#include "media/horn_test.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/dialog_text.h"
#include "ui/result_pane.h"
#include "ui/window_history.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kParallelDefault = 8;
constexpr int kParallelMax = 256;
constexpr const char* kReportBaseName = "checks";

// The steps ticked in a new dialog.
bool fgStepTickedAtFirst(ECheckStep step) {
    return step == ECheckStep::kLogin || step == ECheckStep::kUid || step == ECheckStep::kVideo;
}

QString strQ(const std::string& text) {
    return QString::fromStdString(strSanitizeUtf8(text));
}

// The failed steps of a row, one "step: reason" a line.
QString strFailures(const CDeviceCheck& row) {
    QStringList lines;
    for (const std::string& failure : vecFailureTexts(row)) {
        lines << strQ(failure);
    }
    return lines.join(QLatin1Char('\n'));
}

// Hands the check's progress from its threads to the dialog's thread, by value.
class CProgressRelay final : public ICheckProgress {
  public:
    using FDeviceDone = std::function<void(const CDeviceCheck&, int, int)>;
    CProgressRelay(QObject& target, FDeviceDone onDone)
        : m_target(target), m_onDone(std::move(onDone)) {}
    void vOnDeviceDone(const CDeviceCheck& row, int done, int total) override {
        QMetaObject::invokeMethod(
            &m_target, [onDone = m_onDone, row, done, total] { onDone(row, done, total); },
            Qt::QueuedConnection);
    }

  private:
    QObject& m_target;
    FDeviceDone m_onDone;
};

}  // namespace

CDlgLineCheck::CDlgLineCheck(CclientDlg& window)
    : QDialog(&window, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_window(window) {
    setObjectName(QStringLiteral("CDlgLineCheck"));
    setWindowTitle(strTrKey("Line check"));
    setModal(false);

    m_pExpect = new QLineEdit(this);
    m_pExpect->setPlaceholderText(strTrKey("count, or a CSV file of UIDs / MACs"));
    auto* browseBench = new QPushButton(strTrKey("Browse..."), this);
    auto* benchRow = new QHBoxLayout;
    benchRow->addWidget(m_pExpect);
    benchRow->addWidget(browseBench);

    m_pVersion = new QLineEdit(this);

    auto* steps = new QGridLayout;
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        const std::string_view name = strStepName(kSteps[i]);
        auto* box =
            new QCheckBox(QString::fromLatin1(name.data(), static_cast<int>(name.size())), this);
        box->setChecked(fgStepTickedAtFirst(kSteps[i]));
        m_stepBoxes[i] = box;
        steps->addWidget(box, static_cast<int>(i / 4), static_cast<int>(i % 4));
    }
    // An expected version is what the version step is for.
    connect(m_pVersion, &QLineEdit::textEdited, this, [this](const QString& text) {
        pStepBox(ECheckStep::kVersion)->setChecked(!text.trimmed().isEmpty());
    });

    m_pParallel = new QSpinBox(this);
    m_pParallel->setRange(1, kParallelMax);
    m_pParallel->setValue(kParallelDefault);

    m_pReportBase =
        new QLineEdit(QDir(QString::fromStdString(CSettings::instance().m_strWritableDir))
                          .filePath(QString::fromLatin1(kReportBaseName)),
                      this);
    auto* browseReport = new QPushButton(strTrKey("Browse..."), this);
    auto* reportRow = new QHBoxLayout;
    reportRow->addWidget(m_pReportBase);
    reportRow->addWidget(browseReport);

    auto* form = new QFormLayout;
    form->addRow(strTrKey("Expected devices:"), benchRow);
    form->addRow(strTrKey("Expected version:"), m_pVersion);
    form->addRow(strTrKey("Steps:"), steps);
    form->addRow(strTrKey("Devices at once:"), m_pParallel);
    form->addRow(strTrKey("Report folder:"), reportRow);

    m_pStart = new QPushButton(strTrKey("Start"), this);
    m_pStop = new QPushButton(strTrKey("Stop"), this);
    m_pOpenReport = new QPushButton(strTrKey("Open report"), this);
    m_pStop->setEnabled(false);
    m_pOpenReport->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pStart);
    buttons->addWidget(m_pStop);
    buttons->addStretch();
    buttons->addWidget(m_pOpenReport);

    m_pProgress = new QProgressBar(this);
    m_pProgress->setRange(0, 1);
    m_pProgress->setValue(0);
    m_pProgress->setFormat(QStringLiteral("%v / %m"));
    m_pStatus = new QLabel(this);
    m_pStatus->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_pProgress);
    layout->addWidget(m_pStatus);

    connect(browseBench, &QPushButton::clicked, this, &CDlgLineCheck::vChooseBenchFile);
    connect(browseReport, &QPushButton::clicked, this, &CDlgLineCheck::vChooseReportBase);
    connect(m_pStart, &QPushButton::clicked, this, &CDlgLineCheck::fgStart);
    connect(m_pStop, &QPushButton::clicked, this, &CDlgLineCheck::vStop);
    connect(m_pOpenReport, &QPushButton::clicked, this, &CDlgLineCheck::vOpenReport);
    connect(&m_window, &CclientDlg::sigSearchDone, this, &CDlgLineCheck::vOnSearchDone);
    // Closing the dialog or the window ends a running check before anything else goes
    // (the window's owner stops the transport next).
    connect(this, &QDialog::finished, this, &CDlgLineCheck::vStopAndWait);
    connect(&m_window, &QDialog::finished, this, &CDlgLineCheck::vStopAndWait);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);  // Enter in a field starts nothing
    }
}

CDlgLineCheck::~CDlgLineCheck() {
    vStopAndWait();
}

void CDlgLineCheck::vStopAndWait() {
    vStop();
    m_worker.vStop(0);
}

QCheckBox* CDlgLineCheck::pStepBox(ECheckStep step) const {
    const auto found = std::find(kSteps.begin(), kSteps.end(), step);
    return found == kSteps.end() ? nullptr
                                 : m_stepBoxes[static_cast<std::size_t>(found - kSteps.begin())];
}

std::optional<CExpectedBench> CDlgLineCheck::sExpectedBench(std::string& error) const {
    const std::string text = m_pExpect->text().trimmed().toStdString();
    if (text.empty()) {
        return std::nullopt;
    }
    return sLoadExpectedBench(text, error);
}

std::string CDlgLineCheck::strCompareWithBench(const std::optional<CExpectedBench>& expected) {
    if (!expected || m_window.pStation() == nullptr) {
        return {};
    }
    const CBenchComparison comparison =
        sCompareBench(*expected, vecFoundDevices(m_window.pStation()->registry().vecActiveView()));
    std::vector<std::string> unexpected;
    for (const CFoundDevice& device : comparison.m_unexpected) {
        unexpected.push_back(device.m_strIp);
    }
    m_window.pDevListModel()->vMarkUnexpected(unexpected);
    return strBenchSummary(comparison);
}

void CDlgLineCheck::vOnSearchDone() {
    std::string error;
    const std::optional<CExpectedBench> expected = sExpectedBench(error);
    if (!expected) {
        if (!error.empty()) {
            m_pStatus->setText(strQ(error));
        }
        return;
    }
    const std::string summary = strCompareWithBench(expected);
    vPrintLines(strQ(summary));
}

bool CDlgLineCheck::fgStart() {
    // A run that has ended is still shown until its end, queued, reaches this thread.
    if (fgRunning() || m_run) {
        return false;
    }
    CStation* station = m_window.pStation();
    if (station == nullptr) {
        m_pStatus->setText(strTrKey("No device to check"));
        return false;
    }
    std::string error;
    const std::optional<CExpectedBench> expected = sExpectedBench(error);
    if (!error.empty()) {
        m_pStatus->setText(strQ(error));
        return false;
    }
    CLineCheckOptions options;
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        options.m_steps.set(static_cast<std::size_t>(kSteps[i]), m_stepBoxes[i]->isChecked());
    }
    options.m_strVersion = m_pVersion->text().trimmed().toStdString();
    if (options.m_steps.test(static_cast<std::size_t>(ECheckStep::kVersion)) &&
        options.m_strVersion.empty()) {
        m_pStatus->setText(strTrKey("The version step needs the expected version"));
        return false;
    }
    // The ticked devices, or every listed one.
    const CDevRegistry& registry = station->registry();
    std::vector<CDevInfo> devices;
    for (const int row : registry.vecPool()) {
        if (std::optional<CDevInfo> device = registry.sRow(row)) {
            devices.push_back(std::move(*device));
        }
    }
    if (devices.empty()) {
        devices = registry.vecActiveView();
    }
    if (devices.empty()) {
        m_pStatus->setText(strTrKey("No device to check"));
        return false;
    }
    std::vector<CCheckTarget> targets;
    for (const CDevInfo& device : devices) {
        targets.push_back({device.m_uiIpAddr, device});
    }
    options.m_iParallel = m_pParallel->value();
    options.m_strPassword = station->strPassword();
    options.m_strHornFile = strFindHornFile(CSettings::instance().m_strProgramDir);
    auto run = std::make_unique<CLineCheckRun>(station->sender(), std::move(options));
    if (!run->fgPrepare(m_pReportBase->text().trimmed().toStdString(), error)) {
        m_pStatus->setText(strQ(error));
        return false;
    }
    m_window.pDevListModel()->vClearMarks();
    const std::string benchText = strCompareWithBench(expected);
    m_strBenchText = strQ(benchText);
    m_run = std::move(run);
    m_relay = std::make_unique<CProgressRelay>(
        *this,
        [this](const CDeviceCheck& row, int done, int total) { vOnDeviceDone(row, done, total); });
    m_pProgress->setRange(0, static_cast<int>(targets.size()));
    m_pProgress->setValue(0);
    m_pStatus->setText(strTrKey("Checking %1 devices...").arg(targets.size()));
    vSetRunning(true);
    const auto started = m_worker.sStart(
        "line-check", [this, targets = std::move(targets), benchText](std::stop_token) {
            CLineCheckRunEnd end = m_run->sRun(targets, benchText, m_relay.get());
            QMetaObject::invokeMethod(
                this, [this, end = std::move(end)] { vOnRunEnded(end); }, Qt::QueuedConnection);
        });
    if (!started) {
        m_relay.reset();
        m_run.reset();
        vSetRunning(false);
        m_pStatus->setText(strQ(started.error().m_strReason));
        return false;
    }
    return true;
}

void CDlgLineCheck::vStop() {
    if (m_run && fgRunning()) {
        m_run->vStop();
        m_pStatus->setText(strTrKey("Stopping..."));
    }
}

void CDlgLineCheck::vOnDeviceDone(const CDeviceCheck& row, int done, int total) {
    m_window.pDevListModel()->vMarkChecked(row.m_strIp, row.fgPassed(), strFailures(row));
    m_pProgress->setRange(0, total);
    m_pProgress->setValue(done);
}

void CDlgLineCheck::vOnRunEnded(const CLineCheckRunEnd& end) {
    m_worker.vStop(0);
    m_relay.reset();
    m_run.reset();
    vSetRunning(false);
    windowHistory(m_window).vRecordCheck(end.m_rows);
    const long passed = end.m_lPassed;
    const long failed = end.m_lFailed;
    if (end.m_strFolder.empty()) {
        m_pStatus->setText(strQ(end.m_strError));
        vPrintLines(strTrKey("Line check: %1 passed, %2 failed — no report: %3")
                        .arg(passed)
                        .arg(failed)
                        .arg(strQ(end.m_strError)));
    } else {
        m_strReportFolder = QString::fromStdString(end.m_strFolder);
        m_pOpenReport->setEnabled(true);
        m_pStatus->setText(strTrKey("Done: %1 passed, %2 failed").arg(passed).arg(failed));
        vPrintLines(strTrKey("Line check: %1 passed, %2 failed — report: %3")
                        .arg(passed)
                        .arg(failed)
                        .arg(QDir::toNativeSeparators(m_strReportFolder)));
    }
    vPrintLines(m_strBenchText);
}

void CDlgLineCheck::vPrintLines(const QString& text) {
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        m_window.PrintLog(QStringLiteral("\r\n") + line);
    }
}

void CDlgLineCheck::vChooseBenchFile() {
    const QString file = QFileDialog::getOpenFileName(this, strTrKey("Expected devices"), QString(),
                                                      QStringLiteral("CSV (*.csv);;* (*)"));
    if (!file.isEmpty()) {
        m_pExpect->setText(file);
    }
}

void CDlgLineCheck::vChooseReportBase() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, strTrKey("Report folder:"), m_pReportBase->text());
    if (!folder.isEmpty()) {
        m_pReportBase->setText(folder);
    }
}

void CDlgLineCheck::vOpenReport() {
    if (!m_strReportFolder.isEmpty()) {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QDir(m_strReportFolder).filePath(QStringLiteral("report.html"))));
    }
}

void CDlgLineCheck::vSetRunning(bool running) {
    m_pStart->setEnabled(!running);
    m_pStop->setEnabled(running);
}
