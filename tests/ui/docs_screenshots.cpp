// Renders the pictures of the README: the window in front of a simulated bench on
// loopback, offscreen, in a network namespace of its own (run as root).
//
//   build/dev/bin/docs_screenshots docs/
//
// writes docs/live_view.png: the live view playing the first simulated camera;
// docs/tab-<name>.png: each other tab with that camera selected; docs/window-chinese.png:
// the window in Chinese on the "Device Info" tab; docs/line-check-window.png: the window after a
// line check of the bench (one camera black, one without SD card, one device more expected than
// found) with the check's dialog; docs/line-check-report.png: that check's HTML report, drawn by
// Qt's rich-text engine at a fixed width.

#include <sched.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "app/translate.h"
#include "devsim/sim_bench_faults.h"
#include "fleet_window.h"
#include "ui/dev_list_commands.h"
#include "ui/dlg_line_check.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_video.h"
#include "ui/result_pane.h"
#include "ui/video_wnd.h"

namespace {

constexpr int kWaitMs = 15000;
constexpr int kCheckWaitMs = 60000;
constexpr int kReportWidth = 1500;
// How long a page is given for its device's answers before it is drawn.
constexpr int kSettleMs = 1500;

int iEnglishPictures(const std::string& folder);

int iFail(const char* what) {
    std::fprintf(stderr, "docs_screenshots: %s\n", what);
    return 1;
}

// The bench's faults: the second camera shows black, the fourth sees no Wi-Fi network.
void vBenchFaults(std::size_t index, devsim::CSimDeviceState& state,
                  devsim::CSimBehaviour& behaviour) {
    std::string error;
    if (index == 1) {
        devsim::iApplyBenchFault("black-video", "", state, behaviour, error);
    } else if (index == 3) {
        devsim::iApplyBenchFault("no-wifi", "", state, behaviour, error);
    }
}

// Runs the line check from its dialog; the report's folder, or empty.
QString strRunLineCheck(CFleetWindow& bench) {
    // Every listed device is checked when none is ticked; no row is selected, so each
    // shows its colour.
    bench.registry().iDevPoolDelete(-1, true);
    bench.registry().vSetListSelect(-1);
    bench.window().commands().vRunCommand(EListCmd::kLineCheck);
    CDlgLineCheck& dialog = *bench.window().pLineCheck();
    dialog.pExpectEdit()->setText(QStringLiteral("7"));
    for (const ECheckStep step : CDlgLineCheck::kSteps) {
        dialog.pStepBox(step)->setChecked(step == ECheckStep::kLogin || step == ECheckStep::kUid ||
                                          step == ECheckStep::kWifi || step == ECheckStep::kVideo);
    }
    QTest::mouseClick(dialog.pStartButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([&dialog] { return dialog.pOpenReportButton()->isEnabled(); },
                         kCheckWaitMs)) {
        return {};
    }
    // The result pane shows what it is given a moment later.
    if (!QTest::qWaitFor(
            [&bench] {
                return bench.window().pResultPane()->toPlainText().contains(
                    QStringLiteral("found 6 of 7"));
            },
            kWaitMs)) {
        return {};
    }
    return dialog.strReportFolder();
}

// The window with the dialog drawn over the live view.
bool fgSaveWindowWithDialog(CFleetWindow& bench, const QString& path) {
    QImage picture = bench.window().grab().toImage();
    const QImage dialog = bench.window().pLineCheck()->grab().toImage();
    QPainter painter(&picture);
    const QPoint corner(picture.width() - dialog.width() - 170, 90);
    painter.fillRect(QRect(corner, dialog.size()).adjusted(-1, -1, 1, 1), Qt::darkGray);
    painter.drawImage(corner, dialog);
    painter.end();
    return picture.save(path);
}

bool fgSaveReportPicture(const QString& folder, const QString& path) {
    QFile html(QDir(folder).filePath(QStringLiteral("report.html")));
    if (!html.open(QIODevice::ReadOnly)) {
        return false;
    }
    QTextDocument page;
    page.setHtml(QString::fromUtf8(html.readAll()));
    page.setTextWidth(kReportWidth);
    QImage picture(kReportWidth, static_cast<int>(page.size().height()), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    page.drawContents(&painter);
    painter.end();
    return picture.save(path);
}

// The tabs after the live view: the picture's name and when the page has what the
// device answered.
struct CTabPicture {
    int m_iTab;
    const char* m_pszName;
};
constexpr CTabPicture kTabPictures[] = {
    {1, "tab-modify-uid.png"},
    {2, "tab-device-info.png"},
    {3, "tab-device-version.png"},
    {4, "tab-video-parameters.png"},
    {5, "tab-sensor-management.png"},
    {6, "tab-motor-control.png"},
    {7, "tab-log.png"},
};

// Each tab after the live view, with the selected camera's answers in it.
bool fgSaveTabPictures(CFleetWindow& bench, const std::string& folder) {
    for (const CTabPicture& picture : kTabPictures) {
        const int linesBefore =
            static_cast<int>(bench.window().pResultPane()->strText().count('\n'));
        bench.window().pTabCtrl()->vSetCurSel(picture.m_iTab);
        // The page's requests are answered with result lines; a page that asks
        // nothing is drawn as it is.
        QTest::qWaitFor(
            [&bench, linesBefore] {
                return bench.window().pResultPane()->strText().count('\n') > linesBefore;
            },
            kSettleMs);
        if (!bench.window().grab().save(QString::fromStdString(folder + picture.m_pszName))) {
            return false;
        }
    }
    bench.window().pTabCtrl()->vSetCurSel(kTabLiveView);
    return true;
}

// The window in Chinese on the "Device Info" tab, with the first camera selected.
int iChinesePicture(const std::string& folder) {
    CSettings::instance().m_iUiLang = kLangChinese;
    CFleetWindow bench;
    if (const std::string error = bench.strStart(6, vBenchFaults); !error.empty()) {
        return iFail(error.c_str());
    }
    if (!bench.fgSelectAndLogIn("127.0.0.2")) {
        return iFail("the first camera did not log in");
    }
    bench.window().pTabCtrl()->vSetCurSel(2);
    QTest::qWaitFor([] { return false; }, kSettleMs);
    if (!bench.window().grab().save(QString::fromStdString(folder + "window-chinese.png"))) {
        return iFail("cannot save the Chinese window");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return iFail("usage: docs_screenshots FOLDER");
    }
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 ||
        std::system("ip link set lo up >/dev/null 2>&1") != 0) {
        return iFail("needs root for a private network namespace");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string folder = std::string(argv[1]) + "/";

    const QTemporaryDir writable;
    CSettings::instance().m_strWritableDir = writable.path().toStdString() + "/";
    CSettings::instance().m_strLangFile = QDir(QCoreApplication::applicationDirPath())
                                              .filePath(QStringLiteral("lang.lang"))
                                              .toStdString();
    if (const int failed = iEnglishPictures(folder); failed != 0) {
        return failed;
    }
    return iChinesePicture(folder);
}

namespace {

int iEnglishPictures(const std::string& folder) {
    CFleetWindow bench;
    if (const std::string error = bench.strStart(6, vBenchFaults); !error.empty()) {
        return iFail(error.c_str());
    }
    if (!bench.fgSelectAndLogIn("127.0.0.2")) {
        return iFail("the first camera did not log in");
    }
    auto& live = *qobject_cast<CDlgVideo*>(bench.window().pPage(kTabLiveView));
    QTest::mouseClick(live.pPlayButton(), Qt::LeftButton);
    const bool playing = QTest::qWaitFor(
        [&live] { return live.pVideoWnd()->sPictureSize() == QSize(1920, 1080); }, kWaitMs);
    // Until the moving square has left where the first picture had it.
    const QImage first = live.pVideoWnd()->grab().toImage();
    const bool moved = QTest::qWaitFor(
        [&live, &first] { return live.pVideoWnd()->grab().toImage() != first; }, kWaitMs);
    if (!playing || !moved ||
        !bench.window().grab().save(QString::fromStdString(folder + "live_view.png"))) {
        return iFail("no picture to save");
    }
    live.StopPlayVideo();
    if (!fgSaveTabPictures(bench, folder)) {
        return iFail("cannot save the tabs");
    }

    const QString report = strRunLineCheck(bench);
    if (report.isEmpty()) {
        return iFail("the line check did not end with a report");
    }
    if (!fgSaveWindowWithDialog(bench, QString::fromStdString(folder + "line-check-window.png"))) {
        return iFail("cannot save the window with the check");
    }
    if (!fgSaveReportPicture(report, QString::fromStdString(folder + "line-check-report.png"))) {
        return iFail("cannot draw the report");
    }
    return 0;
}

}  // namespace
