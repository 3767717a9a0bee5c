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
#include <set>
#include <string>

#include "fleet_window.h"
#include "ui/main_controls.h"
#include "ui/result_pane.h"
#include "ui/window_font.h"
#include "ui_test_env.h"

namespace {

constexpr std::size_t kDevices = 12;
constexpr int kWaitMs = CFleetWindow::kWaitMs;

// Where a cell's check box and text are drawn: the delegate's own measure.
class CCheckProbe : public QStyledItemDelegate {
  public:
    QPoint ptCheckBox(QAbstractItemView& view, const QModelIndex& index) const {
        return rectPart(view, index, QStyle::SE_ItemViewItemCheckIndicator).center();
    }
    QRect rectText(QAbstractItemView& view, const QModelIndex& index) const {
        return rectPart(view, index, QStyle::SE_ItemViewItemText);
    }

  private:
    QRect rectPart(QAbstractItemView& view, const QModelIndex& index,
                   QStyle::SubElement part) const {
        QStyleOptionViewItem option;
        option.rect = view.visualRect(index);
        option.widget = &view;
        option.font = view.font();
        option.fontMetrics = QFontMetrics(view.font());
        initStyleOption(&option, index);
        return view.style()->subElementRect(part, &option, &view);
    }
};

TEST(DevListViewFont, ThreeDigitRowNumbersShowWholeBesideTheCheckBoxInEveryFont) {
    CDevListModel model;
    model.vResetRows(std::vector<CDevListRow>(120));
    CDevListView view(nullptr, &model);
    const CCheckProbe probe;
    const QModelIndex lastId = model.index(119, CDevListModel::kColId);
    ASSERT_EQ("120", lastId.data().toString());
    for (const int fontPx : {15, 30}) {
        view.setFont(sWindowFont(fontPx));
        const QRect text = probe.rectText(view, lastId);
        EXPECT_GE(text.width(), QFontMetrics(view.font()).horizontalAdvance("120")) << fontPx;
        EXPECT_LE(text.right(), view.visualRect(lastId).right()) << fontPx;
        EXPECT_GE(view.columnWidth(CDevListModel::kColId), 40) << fontPx;
        EXPECT_GE(view.rowHeight(119), QFontMetrics(view.font()).height()) << fontPx;
        // The UID column follows the font too: twenty characters show whole.
        EXPECT_GE(view.columnWidth(CDevListModel::kColUid),
                  QFontMetrics(view.font()).horizontalAdvance("KSIM00000000001DEVAA"))
            << fontPx;
    }
    EXPECT_EQ(CDevListModel::iColumnWidth(CDevListModel::kColIp),
              view.columnWidth(CDevListModel::kColIp))
        << "the other columns keep their widths";

    CWifiListView wifi(nullptr);
    wifi.vAddRow("Kestrel-Lab", 82, 4);
    wifi.setFont(sWindowFont(30));
    EXPECT_GE(wifi.rowHeight(0), QFontMetrics(wifi.font()).height());
}

class DeviceListFleetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgPrivateNetwork()) {
            GTEST_SKIP() << strPrivateNetworkSkipReason();
        }
        // Two UIDs of the wrong length, and one that sorts last.
        const std::string error = m_bench.strStart(
            kDevices,
            [](std::size_t index, devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
                if (index == 2) {
                    state.m_strUid = "ABCD01234567890ABCD";
                } else if (index == 5) {
                    state.m_strUid = "ABCD01234567890ABCDEF";
                } else if (index == 0) {
                    state.m_strUid = "ZZZZ0123456789ABCDEF";
                }
            });
        ASSERT_TRUE(error.empty()) << error;
        m_window = &m_bench.window();
    }

    CDevListModel& model() { return m_bench.model(); }
    CDevListView& view() { return m_bench.view(); }
    CDevRegistry& registry() { return m_bench.registry(); }
    std::string strIp(int row) { return m_bench.strIp(row); }

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
    void vClickRow(int row) { m_bench.vClickRow(row); }
    void vClickCheckBox(int row) {
        const CCheckProbe probe;
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {},
                          probe.ptCheckBox(view(), model().index(row, 0)));
    }
    QString strText(int id) { return qobject_cast<QLabel*>(m_window->pControl(id))->text(); }

    CFleetWindow m_bench;
    CclientDlg* m_window = nullptr;
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

TEST_F(DeviceListFleetTest, SelectAllTicksEveryRowAndARowOrCheckBoxClickUnticksTheBox) {
    auto* selectAll = qobject_cast<QCheckBox*>(m_window->pControl(kIdcSelectAll));
    QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
    ASSERT_TRUE(selectAll->isChecked());
    EXPECT_EQ(kDevices, vecTicked().size());
    EXPECT_EQ(static_cast<int>(kDevices) - 1, registry().iListSelect());
    EXPECT_EQ(static_cast<qsizetype>(kDevices), m_window->pPoolPane()->strText().count('\n'));

    vClickCheckBox(3);
    EXPECT_FALSE(selectAll->isChecked()) << "a check box click is a click on its row";
    EXPECT_EQ(kDevices - 1, vecTicked().size());

    QTest::mouseClick(selectAll, Qt::LeftButton, {}, QPoint(4, selectAll->height() / 2));
    ASSERT_TRUE(selectAll->isChecked());
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

// A bench of a thousand devices answering one search: every one gets its row, once,
// and the rows mirror the registry.
TEST(DeviceListThousand, EveryDeviceOfABigBenchIsListed) {
    if (!fgPrivateNetwork()) {
        GTEST_SKIP() << strPrivateNetworkSkipReason();
    }
    constexpr std::size_t kBenchDevices = 1000;
    CFleetWindow bench;
    const std::string error = bench.strStart(kBenchDevices);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(bench.model().rowCount(), static_cast<int>(kBenchDevices));
    std::set<std::string> addresses;
    for (int row = 0; row < bench.model().rowCount(); ++row) {
        const std::optional<CDevInfo> devInfo = bench.registry().sRow(row);
        ASSERT_TRUE(devInfo.has_value());
        ASSERT_EQ(bench.strIp(row), devInfo->m_strIp) << "row " << row;
        addresses.insert(devInfo->m_strIp);
    }
    EXPECT_EQ(addresses.size(), kBenchDevices);
}
