// The device list of the main window against a simulated fleet on loopback: the window,
// a real transport bound to 127.0.0.1/8 and the station core, as the program runs them.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTest>
#include <optional>

#include "devsim/dev_sim_fleet.h"
#include "net/my_socket.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/main_controls.h"
#include "ui/result_pane.h"
#include "ui/station_view_bridge.h"
#include "ui_test_env.h"

namespace {

constexpr std::size_t kDevices = 12;
constexpr int kWaitMs = 5000;

// Where the check box of a row is drawn: the delegate's own measure.
class CCheckProbe : public QStyledItemDelegate {
  public:
    QPoint ptCheckBox(QAbstractItemView& view, const QModelIndex& index) const {
        QStyleOptionViewItem option;
        option.rect = view.visualRect(index);
        option.widget = &view;
        initStyleOption(&option, index);
        return view.style()
            ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view)
            .center();
    }
};

class DeviceListFleetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgPrivateNetwork()) {
            GTEST_SKIP() << strPrivateNetworkSkipReason();
        }
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", kDevices, error);
        m_fleet.emplace(config);
        // Two UIDs of the wrong length, and one that sorts last.
        m_fleet->vUpdateDevice(2, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_strUid = "ABCD01234567890ABCD";
        });
        m_fleet->vUpdateDevice(5, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_strUid = "ABCD01234567890ABCDEF";
        });
        m_fleet->vUpdateDevice(0, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_strUid = "ZZZZ0123456789ABCDEF";
        });
        ASSERT_EQ(0, m_fleet->iStart(error)) << error;

        CInterfaceAddr loopback;
        fgParseIp("127.0.0.1", loopback.m_uiAddr);
        fgParseIp("255.0.0.0", loopback.m_uiMask);
        m_station.emplace(m_transport, m_bridge);
        m_window.emplace(&m_transport, &*m_station, std::vector<CInterfaceAddr>{loopback});
        m_bridge.vAttach(&*m_window);
        m_window->vInitDialog();
        ASSERT_TRUE(QTest::qWaitFor([this] { return model().rowCount() == kDevices; }, kWaitMs));
        // The automatic sort runs once the replies have stopped.
        ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kSort); }));
    }

    void TearDown() override {
        m_transport.UnInit();
        m_bridge.vAttach(nullptr);
        m_window.reset();
        m_station.reset();
        if (m_fleet) {
            m_fleet->vStop();
        }
    }

    CDevListModel& model() { return *m_window->pDevListModel(); }
    CDevListView& view() { return *m_window->pDevList(); }
    CDevRegistry& registry() { return m_station->registry(); }

    std::string strIp(int row) {
        return model().index(row, CDevListModel::kColIp).data().toString().toStdString();
    }
    std::vector<int> vecTicked() {
        std::vector<int> ticked;
        for (int row = 0; row < model().rowCount(); ++row) {
            if (model().fgIsChecked(row)) {
                ticked.push_back(row);
            }
        }
        return ticked;
    }
    // The list shows the registry's active view, row by row, with the pool's ticks.
    void vExpectListMirrorsRegistry() {
        const std::vector<CDevInfo> active = registry().vecActiveView();
        ASSERT_EQ(static_cast<int>(active.size()), model().rowCount());
        for (int row = 0; row < model().rowCount(); ++row) {
            EXPECT_EQ(sDevListRow(active[static_cast<std::size_t>(row)]), *model().psRow(row));
            EXPECT_EQ(registry().fgInPool(row), model().fgIsChecked(row)) << row;
        }
    }
    void vClickRow(int row) {
        const QRect cell = view().visualRect(model().index(row, CDevListModel::kColIp));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, cell.center());
    }
    void vClickCheckBox(int row) {
        const CCheckProbe probe;
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {},
                          probe.ptCheckBox(view(), model().index(row, 0)));
    }
    QString strText(int id) { return qobject_cast<QLabel*>(m_window->pControl(id))->text(); }

    std::optional<devsim::CDevSimFleet> m_fleet;
    CStationViewBridge m_bridge;
    CMySocket m_transport;
    std::optional<CStation> m_station;
    std::optional<CclientDlg> m_window;
};

TEST_F(DeviceListFleetTest, EveryDeviceIsListedSortedByUidWithMalformedUidsInRed) {
    vExpectListMirrorsRegistry();
    std::string previous;
    for (int row = 0; row < model().rowCount(); ++row) {
        const std::string uid = model().psRow(row)->m_strUid;
        EXPECT_LE(previous.substr(0, 4), uid.substr(0, 4)) << row;
        previous = uid;
        const QColor colour = model()
                                  .index(row, CDevListModel::kColUid)
                                  .data(Qt::ForegroundRole)
                                  .value<QBrush>()
                                  .color();
        EXPECT_EQ(uid.size() == 20 ? QColor(0, 0, 0) : QColor(255, 0, 0), colour) << uid;
        EXPECT_EQ(std::to_string(row + 1),
                  model().index(row, CDevListModel::kColId).data().toString().toStdString());
    }
    EXPECT_EQ("127.0.0.2", strIp(model().rowCount() - 1)) << "its UID sorts last";
    EXPECT_TRUE(vecTicked().empty());
    EXPECT_EQ(-1, registry().iListSelect());
}

TEST_F(DeviceListFleetTest, ARowClickMakesItTheOnlyTickedAndSelectedDevice) {
    vClickRow(3);
    EXPECT_EQ(std::vector<int>{3}, vecTicked());
    EXPECT_EQ(3, registry().iListSelect());
    EXPECT_EQ(QString::fromStdString(" " + strIp(3) + "\n"), m_window->pPoolPane()->strText());
    const CDevInfo clicked = *registry().sRow(3);
    EXPECT_EQ(QString::fromStdString(strSdCardText(clicked.m_uiSdFigure1, clicked.m_uiSdFigure2)),
              strText(kIdcSdCardLabel));
    // The login request of the click brings the networks the device sees.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return m_window->pWifiList()->iRowCount() > 0; }, kWaitMs));
    EXPECT_EQ("0", m_window->pWifiList()->strCell(0, 0));

    vClickRow(5);
    EXPECT_EQ(std::vector<int>{5}, vecTicked()) << "a click unticks every other row";
    EXPECT_EQ(5, registry().iListSelect());
    vExpectListMirrorsRegistry();
}

TEST_F(DeviceListFleetTest, ACheckBoxClickTogglesOnlyThatBox) {
    vClickRow(1);
    vClickCheckBox(4);
    EXPECT_EQ((std::vector<int>{1, 4}), vecTicked());
    EXPECT_EQ(4, registry().iListSelect());
    EXPECT_EQ(QString::fromStdString(" " + strIp(1) + "\n " + strIp(4) + "\n"),
              m_window->pPoolPane()->strText());

    vClickCheckBox(4);
    EXPECT_EQ(std::vector<int>{1}, vecTicked());
    EXPECT_EQ(1, registry().iListSelect()) << "the first device left in the pool";
    vClickCheckBox(1);
    EXPECT_TRUE(vecTicked().empty());
    EXPECT_EQ(-1, registry().iListSelect());
    vExpectListMirrorsRegistry();
}

TEST_F(DeviceListFleetTest, SelectAllTicksEveryRowAndARowClickUnticksTheBox) {
    auto* selectAll = qobject_cast<QCheckBox*>(m_window->pControl(kIdcSelectAll));
    QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
    ASSERT_TRUE(selectAll->isChecked());
    EXPECT_EQ(kDevices, vecTicked().size());
    EXPECT_EQ(static_cast<int>(kDevices) - 1, registry().iListSelect());
    EXPECT_EQ(static_cast<qsizetype>(kDevices), m_window->pPoolPane()->strText().count('\n'));

    vClickRow(2);
    EXPECT_FALSE(selectAll->isChecked());
    EXPECT_EQ(std::vector<int>{2}, vecTicked());

    QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
    QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
    EXPECT_TRUE(vecTicked().empty());
    EXPECT_TRUE(m_window->pPoolPane()->strText().isEmpty());
}

TEST_F(DeviceListFleetTest, HeaderClicksSortWithoutSelecting) {
    vClickRow(0);
    QTest::mouseClick(
        view().horizontalHeader()->viewport(), Qt::LeftButton, {},
        QPoint(view().horizontalHeader()->sectionViewportPosition(CDevListModel::kColIp) + 10, 5));
    EXPECT_EQ("127.0.0.2", strIp(0));
    for (int row = 1; row < model().rowCount(); ++row) {
        std::uint32_t before = 0;
        std::uint32_t now = 0;
        fgParseIp(strIp(row - 1), before);
        fgParseIp(strIp(row), now);
        EXPECT_LT(ntohl(before), ntohl(now)) << row;
    }
    EXPECT_EQ(-1, registry().iListSelect());
    vExpectListMirrorsRegistry();

    QTest::mouseClick(
        view().horizontalHeader()->viewport(), Qt::LeftButton, {},
        QPoint(view().horizontalHeader()->sectionViewportPosition(CDevListModel::kColUid) + 10, 5));
    EXPECT_EQ("127.0.0.2", strIp(model().rowCount() - 1));
    vExpectListMirrorsRegistry();
}

TEST_F(DeviceListFleetTest, FilterShowsAndPoolsTheMatchingDevices) {
    auto* filter = qobject_cast<QLineEdit*>(m_window->pControl(kIdcFilterEdit));
    auto* selectAll = qobject_cast<QCheckBox*>(m_window->pControl(kIdcSelectAll));
    QTest::keyClicks(filter, "127.0.0.1");
    // Devices 127.0.0.10 to 127.0.0.13 contain the text.
    EXPECT_EQ(4, model().rowCount());
    EXPECT_EQ(4U, vecTicked().size());
    EXPECT_TRUE(selectAll->isChecked());
    vExpectListMirrorsRegistry();

    filter->clear();
    EXPECT_EQ(static_cast<int>(kDevices), model().rowCount());
    EXPECT_TRUE(vecTicked().empty());
    EXPECT_FALSE(selectAll->isChecked());
    vExpectListMirrorsRegistry();
}

TEST_F(DeviceListFleetTest, DoubleClickSelectsTheRowAndRefreshStartsAgain) {
    const QRect cell = view().visualRect(model().index(6, CDevListModel::kColIp));
    QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(6, registry().iListSelect());

    m_window->vRefresh();
    EXPECT_EQ(-1, registry().iListSelect());
    EXPECT_EQ(0, model().rowCount()) << "a refresh empties the list";
    ASSERT_TRUE(QTest::qWaitFor([this] { return model().rowCount() == kDevices; }, kWaitMs));
    vExpectListMirrorsRegistry();
}

}  // namespace
