#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>

#include "ui/device_list_model.h"

namespace {

CDevListRow sRow(const std::string& uid, const std::string& ip) {
    return CDevListRow{uid, "V1.0", ip, "0 : 1A : 2B : C : 4D : 5E"};
}

const std::string kUid20 = "ABCD0123456789ABCDEF";

class DevListModelTest : public ::testing::Test {
  protected:
    CDevListModel m_model;
    QAbstractItemModelTester m_tester{&m_model,
                                      QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(DevListModelTest, ColumnsShowTheRecordAndTheRowNumber) {
    m_model.vResetRows({sRow(kUid20, "10.0.0.5"), sRow(kUid20, "10.0.0.6")});
    ASSERT_EQ(2, m_model.rowCount());
    ASSERT_EQ(5, m_model.columnCount());
    EXPECT_EQ("2", m_model.index(1, CDevListModel::kColId).data().toString());
    EXPECT_EQ(QString::fromStdString(kUid20),
              m_model.index(1, CDevListModel::kColUid).data().toString());
    EXPECT_EQ("V1.0", m_model.index(1, CDevListModel::kColVersion).data().toString());
    EXPECT_EQ("10.0.0.6", m_model.index(1, CDevListModel::kColIp).data().toString());
    EXPECT_EQ("0 : 1A : 2B : C : 4D : 5E",
              m_model.index(1, CDevListModel::kColMac).data().toString());
    const QStringList headers{"ID", "UID", "Version", "IP", "Mac Address"};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(headers[column], m_model.headerData(column, Qt::Horizontal).toString());
    }
    const int widths[] = {40, 60, 100, 130, 200};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(widths[column], CDevListModel::iColumnWidth(column));
    }
}

TEST_F(DevListModelTest, UidOfOtherThanTwentyCharactersIsRed) {
    struct Row {
        std::string uid;
        QColor colour;
    };
    const Row rows[] = {{kUid20, QColor(0, 0, 0)},
                        {kUid20.substr(0, 19), QColor(255, 0, 0)},
                        {kUid20 + "X", QColor(255, 0, 0)},
                        {"", QColor(255, 0, 0)}};
    std::vector<CDevListRow> content;
    for (const Row& row : rows) {
        content.push_back(sRow(row.uid, "10.0.0.1"));
    }
    m_model.vResetRows(content);
    for (int at = 0; at < 4; ++at) {
        for (int column = 0; column < 5; ++column) {
            EXPECT_EQ(rows[at].colour,
                      m_model.index(at, column).data(Qt::ForegroundRole).value<QBrush>().color())
                << "row " << at << " column " << column;
        }
    }
}

TEST_F(DevListModelTest, AppendUpdateAndTicks) {
    QSignalSpy inserted(&m_model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&m_model, &QAbstractItemModel::dataChanged);
    m_model.vAppendRow(sRow(kUid20, "10.0.0.1"));
    m_model.vAppendRow(sRow(kUid20, "10.0.0.2"));
    m_model.vAppendRow(sRow(kUid20, "10.0.0.3"));
    EXPECT_EQ(3, inserted.count());

    m_model.vUpdateRow(1, sRow("NEW", "10.0.0.9"));
    EXPECT_EQ("10.0.0.9", m_model.index(1, CDevListModel::kColIp).data().toString());
    m_model.vUpdateRow(7, sRow("NONE", "1.1.1.1"));
    m_model.vUpdateRow(-1, sRow("NONE", "1.1.1.1"));
    EXPECT_EQ(3, m_model.rowCount());

    changed.clear();
    m_model.vSetChecked({2, 0, 99, -4});
    EXPECT_TRUE(m_model.fgIsChecked(0));
    EXPECT_FALSE(m_model.fgIsChecked(1));
    EXPECT_TRUE(m_model.fgIsChecked(2));
    EXPECT_EQ(2, changed.count());
    EXPECT_EQ(Qt::Checked, m_model.index(2, 0).data(Qt::CheckStateRole).toInt());
    EXPECT_FALSE(m_model.index(2, 1).data(Qt::CheckStateRole).isValid());

    changed.clear();
    m_model.vSetChecked({2, 0});
    EXPECT_EQ(0, changed.count()) << "unchanged ticks are not reported";
    m_model.vSetChecked({});
    EXPECT_FALSE(m_model.fgIsChecked(0));
    EXPECT_FALSE(m_model.fgIsChecked(2));

    m_model.vSetChecked({1});
    m_model.vResetRows({sRow(kUid20, "10.0.0.4")});
    EXPECT_FALSE(m_model.fgIsChecked(0)) << "a reset clears the ticks";
}

TEST_F(DevListModelTest, OperatorTickIsShownAndReported) {
    m_model.vResetRows({sRow(kUid20, "10.0.0.1"), sRow(kUid20, "10.0.0.2")});
    QSignalSpy clicked(&m_model, &CDevListModel::sigCheckClicked);
    EXPECT_TRUE(m_model.setData(m_model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(m_model.fgIsChecked(1));
    ASSERT_EQ(1, clicked.count());
    EXPECT_EQ(1, clicked.at(0).at(0).toInt());
    EXPECT_TRUE(clicked.at(0).at(1).toBool());

    EXPECT_TRUE(m_model.setData(m_model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(clicked.at(1).at(1).toBool());
    EXPECT_FALSE(m_model.setData(m_model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
    EXPECT_FALSE(m_model.setData(m_model.index(1, 0), "text", Qt::EditRole));
    EXPECT_EQ(2, clicked.count());
    EXPECT_TRUE(m_model.flags(m_model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(m_model.flags(m_model.index(0, 1)) & Qt::ItemIsUserCheckable);
}

TEST(DevListText, RowOfARecordShowsTheMacOfTheInterfaceItAnsweredFrom) {
    CDevInfo devInfo;
    devInfo.m_strUid = kUid20;
    devInfo.m_strVersion = "V3";
    devInfo.m_strIp = "10.0.0.7";
    devInfo.m_strEthMac = "ETH";
    devInfo.m_strWifiMac = "WIFI";
    devInfo.m_iUseEth = 1;
    EXPECT_EQ((CDevListRow{kUid20, "V3", "10.0.0.7", "ETH"}), sDevListRow(devInfo));
    devInfo.m_iUseEth = 0;
    EXPECT_EQ("WIFI", sDevListRow(devInfo).m_strMac);
}

TEST(DevListText, SdCardLabelShowsTheSecondFigureFirstInGigabytes) {
    EXPECT_EQ("2.0000 G / 1.0000 G", strSdCardText(1024, 2048));
    EXPECT_EQ("0.0000 G / 0.0000 G", strSdCardText(0, 0));
    EXPECT_EQ("0.5000 G / 4194303.9990 G", strSdCardText(0xFFFFFFFFU, 512));
}

}  // namespace
