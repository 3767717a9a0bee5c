// The live view page against a simulated camera on loopback: the picture in the video
// window, black after a stop, drag steering and a recording whose name comes from a
// hostile UID.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/settings.h"
#include "dialog_test_support.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "support/media_clips.h"
#include "support/temp_dir.h"
#include "ui/dialog_text.h"
#include "ui/main_controls.h"
#include "ui/pages/dlg_video.h"
#include "ui/result_pane.h"
#include "ui/ui_test_env.h"
#include "ui/video_wnd.h"

namespace {

constexpr const char* kCamera = "127.0.0.2";

bool fgHigh(int value) {
    return value > 140;
}
bool fgLow(int value) {
    return value < 70;
}

// The simulated camera's bars, left to right white, yellow, cyan, green, magenta, red,
// blue, black, as red / green / blue high or low, looked for in the middle of each bar
// a quarter of the way down.
bool fgShowsColourBars(const QImage& image) {
    static constexpr std::array<std::array<bool, 3>, 8> kBars{{{true, true, true},
                                                               {true, true, false},
                                                               {false, true, true},
                                                               {false, true, false},
                                                               {true, false, true},
                                                               {true, false, false},
                                                               {false, false, true},
                                                               {false, false, false}}};
    if (image.width() < 64 || image.height() < 16) {
        return false;
    }
    for (std::size_t bar = 0; bar < kBars.size(); ++bar) {
        const int x =
            static_cast<int>((2 * bar + 1) * static_cast<std::size_t>(image.width()) / 16);
        const QColor colour = image.pixelColor(x, image.height() / 4);
        const std::array<int, 3> rgb{colour.red(), colour.green(), colour.blue()};
        for (std::size_t c = 0; c < 3; ++c) {
            if (kBars[bar][c] ? !fgHigh(rgb[c]) : !fgLow(rgb[c])) {
                return false;
            }
        }
    }
    return true;
}

bool fgAllBlack(const QImage& image) {
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            if ((image.pixel(x, y) & 0xFFFFFFU) != 0) {
                return false;
            }
        }
    }
    return !image.isNull();
}

}  // namespace

TEST(DragDirection, ThirtyPixelsAlongTheMainAxisSteerTiesAreHorizontal) {
    struct SCase {
        QPoint m_end;
        int m_iDirection;
    };
    const std::vector<SCase> cases{
        {{30, 29}, 1}, {{29, 29}, -1}, {{30, 30}, 1},  {{-30, 30}, 0},
        {{0, 30}, 3},  {{5, -31}, 2},  {{-29, 0}, -1}, {{0, 0}, -1},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(c.m_iDirection, iDragDirection(QPoint(100, 100), QPoint(100, 100) + c.m_end))
            << c.m_end.x() << "," << c.m_end.y();
    }
}

TEST(RecordName, DeviceTextCannotLeaveTheFolder) {
    struct SCase {
        std::string m_strUid;
        std::string m_strSafe;
    };
    const std::vector<SCase> cases{
        {"ABCD0123456789EFGHIJ", "ABCD0123456789EFGHIJ"},
        {"../../etc/passwd", "______etc_passwd"},
        {"a\\b\nc\x7f", "a_b_c_"},
        {"..", "__"},
        {"", "unknown"},
        {std::string(100, 'u'), std::string(64, 'u')},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(c.m_strSafe, strSafeFileNamePart(c.m_strUid)) << c.m_strUid;
    }
    const std::string path = strVideoRecordPath("/rec/", "../x", kStreamSub, 0);
    EXPECT_EQ(0U, path.rfind("/rec/___x_", 0)) << path;
    EXPECT_TRUE(path.ends_with("_s.h264")) << path;
}

class LiveViewTest : public CFleetFolderTest {
  protected:
    LiveViewTest() : CFleetFolderTest("rec") {}

    static CDlgVideo& page(CFleetWindow& bench) {
        return *qobject_cast<CDlgVideo*>(bench.window().pPage(kTabLiveView));
    }
};

TEST_F(LiveViewTest, PlayShowsTheCameraStopPaintsBlackADragSteers) {
    CFleetWindow bench;
    const std::string error =
        bench.strStart(1, [](std::size_t, devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_ucFlip = 2;
            state.m_ucDayNight = 0;
        });
    ASSERT_TRUE(error.empty()) << error;
    CDlgVideo& live = page(bench);

    // Without a selection Play only asks for a device.
    vCloseNextModal();
    QTest::mouseClick(live.pPlayButton(), Qt::LeftButton);
    EXPECT_FALSE(live.fgPlaying());

    ASSERT_TRUE(bench.fgSelectAndLogIn(kCamera));
    QTest::mouseClick(live.pPlayButton(), Qt::LeftButton);
    ASSERT_TRUE(live.fgPlaying());
    EXPECT_EQ(strTrKey("Stop Play"), live.pPlayButton()->text());
    EXPECT_TRUE(live.pCurrentDevice()->text().endsWith(
        QString::fromStdString(bench.fleet().sDeviceState(0).m_strUid)));
    CVideoWnd& video = *live.pVideoWnd();
    EXPECT_TRUE(
        QTest::qWaitFor([&video] { return fgShowsColourBars(video.grab().toImage()); }, 15000));
    EXPECT_EQ(QSize(1920, 1080), video.sPictureSize());
    EXPECT_EQ(1, video.iBackBufferBuilds());

    // The delayed refresh after the row click read flip and day/night (the device
    // counts auto, night, day; the list shows day, night, auto). 29 x 29 is too short;
    // 30 to the right and 29 down steers right (parameter 12), the only command the
    // camera gets meanwhile (stream reopenings aside).
    EXPECT_TRUE(QTest::qWaitFor(
        [&live] {
            return live.pFlipCombo()->currentIndex() == 2 &&
                   live.pDayNightCombo()->currentIndex() == 2;
        },
        5000));
    const auto commands = [&bench] {
        const devsim::CSimDeviceState state = bench.fleet().sDeviceState(0);
        return state.m_uiRequests - state.m_uiStreamOpens;
    };
    const std::uint32_t before = commands();
    const QPoint from(video.width() / 2 - 40, video.height() / 2 - 40);
    QTest::mousePress(&video, Qt::LeftButton, {}, from);
    QTest::mouseRelease(&video, Qt::LeftButton, {}, from + QPoint(-29, -29));
    QTest::mousePress(&video, Qt::LeftButton, {}, from);
    QTest::mouseRelease(&video, Qt::LeftButton, {}, from + QPoint(30, 29));
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench] { return bench.fleet().sDeviceState(0).m_iLastPtzDirection == 12; }, 5000));
    EXPECT_EQ(before + 1, commands());

    // The sub stream replaces the main one.
    live.pStreamCombo()->setCurrentIndex(1);
    EXPECT_TRUE(live.fgPlaying());
    EXPECT_TRUE(
        QTest::qWaitFor([&video] { return video.sPictureSize() == QSize(640, 360); }, 15000));
    EXPECT_EQ(2, video.iBackBufferBuilds());

    // Escape stops; the window turns black.
    QTest::keyClick(&bench.window(), Qt::Key_Escape);
    EXPECT_FALSE(live.fgPlaying());
    EXPECT_EQ(strTrKey("Play Video"), live.pPlayButton()->text());
    EXPECT_TRUE(QTest::qWaitFor([&video] { return fgAllBlack(video.grab().toImage()); }, 5000));
}

TEST_F(LiveViewTest, RecordingOfAHostileUidStaysInItsFolderAndStartsAtAKeyFrame) {
    CFleetWindow bench;
    const std::string error =
        bench.strStart(1, [](std::size_t, devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_strUid = "../../\\x\x01..";
        });
    ASSERT_TRUE(error.empty()) << error;
    CDlgVideo& live = page(bench);
    CVideoWnd& video = *live.pVideoWnd();
    vPickFromNextMenu({"Video monitoring"});
    const QPoint at = video.rect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, video.mapToGlobal(at));
    QApplication::sendEvent(&video, &menuEvent);
    ASSERT_TRUE(live.fgMonitorRecording());

    // A double click on the row plays it.
    const int row = bench.iRowOf(kCamera);
    ASSERT_GE(row, 0);
    const QRect cell = bench.view().visualRect(bench.model().index(row, CDevListModel::kColIp));
    QTest::mouseClick(bench.view().viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(bench.view().viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(QTest::qWaitFor([&live] { return live.fgPlaying(); }, 5000));

    const std::filesystem::path folder = m_dir.path() / "rec";
    const std::string name = live.strVideoRecordName();
    EXPECT_EQ(folder.string() + "/", name.substr(0, folder.string().size() + 1));
    // The key frame, then at least one more frame after it.
    std::uintmax_t firstBytes = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&name, &firstBytes] {
            std::error_code ignored;
            firstBytes = std::filesystem::file_size(name, ignored);
            return firstBytes > 4096 && !ignored;
        },
        15000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&name, firstBytes] {
            std::error_code ignored;
            return std::filesystem::file_size(name, ignored) > firstBytes + 4096;
        },
        15000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench, &name] {
            return bench.window().pResultPane()->strText().contains(QString::fromStdString(name));
        },
        5000));
    // "Refresh List" stops the video (and closes its file) before it searches.
    auto* refresh = qobject_cast<QPushButton*>(bench.window().pControl(kIdcRefreshList));
    ASSERT_NE(nullptr, refresh);
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_FALSE(live.fgPlaying());
    EXPECT_TRUE(refresh->isEnabled());

    // One file, in the folder, named from the UID made safe.
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.path())) {
        if (entry.is_regular_file()) {
            written.push_back(entry.path());
        }
    }
    ASSERT_EQ(1U, written.size());
    EXPECT_EQ(folder, written[0].parent_path());
    EXPECT_EQ(0U, written[0].filename().string().rfind("_______x___", 0)) << written[0];
    EXPECT_TRUE(written[0].filename().string().ends_with("_m.h264")) << written[0];

    // It starts with the sequence parameter set of a key frame.
    std::ifstream file(written[0], std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_GT(bytes.size(), 5U);
    const std::size_t nal = bytes[2] == 1 ? 3 : 4;
    EXPECT_EQ(7, bytes[nal] & 0x1F);
    // Every frame written decodes: as many pictures as access units, none refused.
    const SAnnexBDecode decoded = sDecodeAnnexB(bytes);
    EXPECT_GT(decoded.iUnits, 1);
    EXPECT_EQ(decoded.iUnits, decoded.iPictures);
    EXPECT_EQ(0, decoded.iErrors);
}

namespace {

// The frequency of a tone in 8,000 Hz samples, from its rising zero crossings.
double dToneHz(const std::vector<std::int16_t>& samples) {
    int rising = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        rising += samples[i - 1] < 0 && samples[i] >= 0 ? 1 : 0;
    }
    return samples.empty() ? 0.0 : rising * 8000.0 / static_cast<double>(samples.size());
}

}  // namespace

TEST_F(LiveViewTest, ListenRecordsTheToneAndTheHornPushesItsFileOrNamesTheMissingOne) {
    CFleetWindow bench;
    ASSERT_TRUE(bench.strStart(1).empty());
    CDlgVideo& live = page(bench);
    CVideoWnd& video = *live.pVideoWnd();
    ASSERT_TRUE(bench.fgSelectAndLogIn(kCamera));

    vPickFromNextMenu({"When listening the tape"});
    const QPoint at = video.rect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, video.mapToGlobal(at));
    QApplication::sendEvent(&video, &menuEvent);
    ASSERT_TRUE(live.fgListenRecording());

    QTest::mouseClick(live.pListenButton(), Qt::LeftButton);
    ASSERT_TRUE(live.fgListening());
    EXPECT_EQ(strTrKey("Stop Listen"), live.pListenButton()->text());
    const std::string name = live.strListenRecordName();
    EXPECT_TRUE(name.ends_with(".pcm")) << name;
    // Two seconds of sound, decoded (and, without an output device, discarded).
    EXPECT_TRUE(QTest::qWaitFor(
        [&live, &name] {
            std::error_code ignored;
            return live.sAudioStats().iFramesDecoded >= 100 &&
                   std::filesystem::file_size(name, ignored) >= 100 * 320;
        },
        15000));
    QTest::mouseClick(live.pListenButton(), Qt::LeftButton);
    EXPECT_FALSE(live.fgListening());
    EXPECT_EQ(strTrKey("Listen"), live.pListenButton()->text());
    EXPECT_TRUE(bench.window().pResultPane()->strText().contains(QString::fromStdString(name)));

    // 320 bytes a frame, and the camera's 1 kHz tone after the decoder settled.
    std::ifstream file(name, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(0U, bytes.size() % 320);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    samples.erase(samples.begin(),
                  samples.begin() + std::min<std::ptrdiff_t>(1600, std::ssize(samples)));
    EXPECT_NEAR(1000.0, dToneHz(samples), 30.0);

    // The horn: the file from the program's folder, in pieces, then the stop request.
    std::filesystem::create_directory(m_dir.path() / "prog");
    live.vSetProgramDir((m_dir.path() / "prog").string() + "/");
    {
        std::ofstream sound(m_dir.path() / "prog" / "Audio.bin", std::ios::binary);
        sound << std::string(2500, 'a');
    }
    QTest::mouseClick(live.pHornButton(), Qt::LeftButton);
    EXPECT_EQ(strTrKey("Stop Test"), live.pHornButton()->text());
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench] { return bench.fleet().sDeviceState(0).m_horn.m_ulLastBytes == 2500; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench] { return bench.window().pResultPane()->strText().contains("2500/2500"); }, 5000));
    EXPECT_EQ(strTrKey("Stop Test"), live.pHornButton()->text());
    QTest::mouseClick(live.pHornButton(), Qt::LeftButton);
    EXPECT_EQ(strTrKey("Horn Test"), live.pHornButton()->text());
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench] { return bench.fleet().sDeviceState(0).m_horn.m_uiStops == 1; }, 5000));

    // Without the file anywhere, one line names where it was looked for and the test,
    // which could not start, offers itself again.
    std::filesystem::remove(m_dir.path() / "prog" / "Audio.bin");
    QTest::mouseClick(live.pHornButton(), Qt::LeftButton);
    const QString missing = QString::fromStdString((m_dir.path() / "prog" / "Audio.bin").string());
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench, &missing] { return bench.window().pResultPane()->strText().contains(missing); },
        5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&live] { return live.pHornButton()->text() == strTrKey("Horn Test"); }, 5000));
}

TEST_F(LiveViewTest, HoldButtonsActWhereThePressAndReleaseLand) {
    CFleetWindow bench;
    ASSERT_TRUE(bench.strStart(1).empty());
    CDlgVideo& live = page(bench);
    ASSERT_TRUE(bench.fgSelectAndLogIn(kCamera));
    const auto actions = [&bench] { return bench.fleet().sDeviceState(0).m_cameraActions; };

    // The release reaches the button that took the press, at the point where it landed.
    const auto releaseOver = [](QPushButton* pressed, QWidget* over) {
        const QPoint global = over->mapToGlobal(over->rect().center());
        QTest::mouseRelease(pressed, Qt::LeftButton, {}, pressed->mapFromGlobal(global));
    };
    QPushButton* zoomIn = live.pHoldButton(CDlgVideo::kZoomIn);
    QTest::mousePress(zoomIn, Qt::LeftButton);
    releaseOver(zoomIn, zoomIn);
    // Released over the video, the movement goes on; released over another of the
    // eight buttons, it ends.
    QPushButton* up = live.pHoldButton(CDlgVideo::kUp);
    QTest::mousePress(up, Qt::LeftButton);
    releaseOver(up, live.pVideoWnd());
    QPushButton* left = live.pHoldButton(CDlgVideo::kLeft);
    QTest::mousePress(left, Qt::LeftButton);
    releaseOver(left, live.pHoldButton(CDlgVideo::kRight));
    const std::vector<std::uint32_t> expected{6, 0, 7, 9, 0};
    EXPECT_TRUE(QTest::qWaitFor([&] { return actions().size() >= expected.size(); }, 5000));
    EXPECT_EQ(expected, actions());
}
