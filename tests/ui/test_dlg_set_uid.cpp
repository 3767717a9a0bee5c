#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "dialog_test_support.h"
#include "protocol/cmd_header.h"
#include "ui/dlg_set_uid2.h"
#include "ui/pages/dlg_set_uid.h"
#include "ui/pages/dlg_setting.h"

namespace {

constexpr const char* kUid = "ABCD1234567890EFGHIJ";

void vExpectUidRequest(const CSentDatagram& sent, const std::string& uid) {
    EXPECT_EQ(CDialogTestStation::kDeviceIp, sent.strTarget());
    ASSERT_EQ(37U, sent.m_bytes.size());
    EXPECT_EQ(kCmdStartByte, sent.m_bytes[0]);
    EXPECT_EQ(kCmdSetUid, sent.m_bytes[1]);
    EXPECT_EQ(std::vector<std::uint8_t>(14, 0),
              std::vector<std::uint8_t>(sent.m_bytes.begin() + 2, sent.m_bytes.begin() + 16));
    EXPECT_EQ(uid, strBytes(sent, 16, 20));
    EXPECT_EQ(0, sent.m_bytes[36]);
}

class DlgSetUidTest : public ::testing::Test {
  protected:
    CDialogTestStation m_core;
    CDlgSetUid m_page{nullptr, &m_core.m_station};
};

TEST_F(DlgSetUidTest, TwentiethTypedCharacterSendsOnceAndTheSuccessLineNamesTheUid) {
    QTest::keyClicks(m_page.pUidEdit(), QString::fromLatin1(kUid).left(19));
    EXPECT_TRUE(m_core.vecSent().empty());
    QTest::keyClicks(m_page.pUidEdit(), QString::fromLatin1(kUid).mid(19));
    const std::vector<CSentDatagram> sent = m_core.vecSent();
    ASSERT_EQ(1U, sent.size());
    vExpectUidRequest(sent[0], kUid);
    EXPECT_EQ(kUid, m_page.pUidEdit()->text()) << "the edit keeps the UID";

    CReplyFields reply;
    reply.m_byType = kReplySetUidOk;
    m_core.m_station.vParseLanInfo(bufReply(reply), uiAddr(CDialogTestStation::kDeviceIp));
    const std::vector<std::string> results = m_core.m_view.vecResults();
    EXPECT_EQ(1, std::count(results.begin(), results.end(),
                            std::string("\r\n192.168.1.20 Set uid success ") + kUid));
}

TEST_F(DlgSetUidTest, PastedLongerTextWaitsForOkWhichSendsTheFirstTwenty) {
    m_page.pUidEdit()->insert(QString::fromLatin1(kUid) + "EXTRA");
    EXPECT_TRUE(m_core.vecSent().empty());
    QTest::mouseClick(m_page.pOkButton(), Qt::LeftButton);
    const std::vector<CSentDatagram> sent = m_core.vecSent();
    ASSERT_EQ(1U, sent.size());
    vExpectUidRequest(sent[0], kUid);
}

TEST_F(DlgSetUidTest, TwentyBlanksAreAUid) {
    QTest::keyClicks(m_page.pUidEdit(), QString(20, QLatin1Char(' ')));
    const std::vector<CSentDatagram> sent = m_core.vecSent();
    ASSERT_EQ(1U, sent.size());
    vExpectUidRequest(sent[0], std::string(20, ' '));
}

TEST_F(DlgSetUidTest, ShortUidIsRefusedWithABox) {
    m_page.pUidEdit()->setText("SHORT");
    const auto box = psWatchNextBox();
    QTest::mouseClick(m_page.pOkButton(), Qt::LeftButton);
    EXPECT_EQ("Length is not equal to 20", box->m_strText);
    EXPECT_EQ("TIPS", box->m_strTitle);
    EXPECT_TRUE(m_core.vecSent().empty());
}

TEST_F(DlgSetUidTest, NoSelectedDeviceIsRefusedWithABox) {
    m_core.vUnselect();
    const auto box = psWatchNextBox();
    m_page.pUidEdit()->setText(kUid);
    EXPECT_EQ("Please choose a device", box->m_strText);
    EXPECT_TRUE(m_core.vecSent().empty());
}

TEST_F(DlgSetUidTest, PlaceholderShowsOnlyOverAnEmptyUnfocusedEdit) {
    m_page.show();
    QLabel* placeholder = m_page.pPlaceholder();
    EXPECT_EQ("Input uid", placeholder->text());
    EXPECT_TRUE(placeholder->isVisible());
    QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);

    QApplication::sendEvent(m_page.pUidEdit(), &focusIn);
    EXPECT_FALSE(placeholder->isVisible());
    QApplication::sendEvent(m_page.pUidEdit(), &focusOut);
    EXPECT_TRUE(placeholder->isVisible());

    QApplication::sendEvent(m_page.pUidEdit(), &focusIn);
    m_page.pUidEdit()->setText("A");
    QApplication::sendEvent(m_page.pUidEdit(), &focusOut);
    EXPECT_FALSE(placeholder->isVisible());
}

TEST(DlgSetUid2, TwentyCharactersSendAndClose) {
    CDialogTestStation core;
    CDlgSetUid2 dialog(&core.m_station, nullptr);
    dialog.show();
    QTest::keyClicks(dialog.pUidEdit(), kUid);
    const std::vector<CSentDatagram> sent = core.vecSent();
    ASSERT_EQ(1U, sent.size());
    vExpectUidRequest(sent[0], kUid);
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DlgSetUid2, WithoutSelectionNothingHappens) {
    CDialogTestStation core;
    core.vUnselect();
    CDlgSetUid2 dialog(&core.m_station, nullptr);
    dialog.show();
    QTest::keyClicks(dialog.pUidEdit(), kUid);
    EXPECT_TRUE(core.vecSent().empty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST(DlgSetting, RestartAndFactoryResetGoToTheSelectedDevice) {
    CDialogTestStation core;
    CDlgSetting page(nullptr, &core.m_station);
    QTest::mouseClick(page.pRestartButton(), Qt::LeftButton);
    QTest::mouseClick(page.pFactoryResetButton(), Qt::LeftButton);
    const std::vector<CSentDatagram> sent = core.vecSent();
    ASSERT_EQ(2U, sent.size());
    std::vector<std::uint8_t> restart(16, 0);
    restart[0] = kCmdStartByte;
    restart[1] = kCmdRestart;
    std::vector<std::uint8_t> reset = restart;
    reset[1] = kCmdFactoryReset;
    EXPECT_EQ(restart, sent[0].m_bytes);
    EXPECT_EQ(reset, sent[1].m_bytes);
    EXPECT_EQ(CDialogTestStation::kDeviceIp, sent[1].strTarget());
}

TEST(DlgSetting, NoSelectedDeviceIsRefusedWithABox) {
    CDialogTestStation core;
    core.vUnselect();
    CDlgSetting page(nullptr, &core.m_station);
    const auto box = psWatchNextBox();
    EXPECT_FALSE(page.fgRestart());
    EXPECT_EQ("Please choose a device", box->m_strText);
    EXPECT_TRUE(core.vecSent().empty());
}

}  // namespace
