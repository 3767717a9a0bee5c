// Renders the pictures of the README: the window in front of a simulated bench on
// loopback, offscreen, in a network namespace of its own (run as root).
//
//   build/dev/bin/docs_screenshots docs/
//
// writes docs/live_view.png: the live view playing the first simulated camera.

#include <sched.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QImage>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fleet_window.h"
#include "ui/pages/dlg_video.h"
#include "ui/video_wnd.h"

namespace {

constexpr int kWaitMs = 15000;

int iFail(const char* what) {
    std::fprintf(stderr, "docs_screenshots: %s\n", what);
    return 1;
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

    CFleetWindow bench;
    if (const std::string error = bench.strStart(6); !error.empty()) {
        return iFail(error.c_str());
    }
    bench.window().resize(1180, 720);
    if (!bench.fgSelectAndLogIn("127.0.0.2")) {
        return iFail("the first camera did not log in");
    }
    auto& live = *qobject_cast<CDlgVideo*>(bench.window().pPage(kTabLiveView));
    QTest::mouseClick(live.pPlayButton(), Qt::LeftButton);
    // A second of pictures, so the moving square has left its start.
    const bool playing = QTest::qWaitFor(
        [&live] { return live.pVideoWnd()->sPictureSize() == QSize(1920, 1080); }, kWaitMs);
    QTest::qWait(1000);
    if (!playing || !bench.window().grab().save(QString::fromStdString(folder + "live_view.png"))) {
        return iFail("no picture to save");
    }
    live.StopPlayVideo();
    return 0;
}
