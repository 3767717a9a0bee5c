#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "dialog_test_support.h"
#include "protocol/cmd_header.h"
#include "ui/dlg_code_name.h"

namespace {

struct NameRow {
    QString typed;
    std::string sent;  // the name field, without its NUL padding
};

TEST(DlgCodeName, OkBroadcastsTheNameInUtf8AndAsksForTheSensorList) {
    const std::vector<NameRow> rows{
        {QStringLiteral("Door"), "Door"},
        {QStringLiteral("K\u00fcche"),
         "K\xc3\xbc"
         "che"},
        // 12 three-byte characters: only 11 fit the 35 bytes before the terminator.
        {QString(12, QChar(0x95e8)),
         [] {
             std::string text;
             for (int count = 0; count < 11; ++count) {
                 text += "\xe9\x97\xa8";
             }
             return text;
         }()},
    };
    for (const NameRow& row : rows) {
        CFakeSender sender;
        CDlgCodeName dialog(sender, "192.168.1.20", nullptr);
        dialog.show();
        dialog.pNameEdit()->setText(row.typed);
        QTest::keyClick(dialog.pNameEdit(), Qt::Key_Return);

        const std::vector<CSentDatagram> sent = sender.vecSent();
        ASSERT_EQ(2U, sent.size());
        EXPECT_EQ("192.168.1.20", sent[0].m_strIp);
        EXPECT_EQ(kPortCommand, sent[0].m_usPort);
        EXPECT_TRUE(sent[0].m_fgBroadcast);
        ASSERT_EQ(56U, sent[0].m_bytes.size());
        EXPECT_EQ(kCmdNameSensor, sent[0].m_bytes[1]);
        EXPECT_EQ(row.sent, strField(sent[0], 20, 36));

        EXPECT_FALSE(sent[1].m_fgBroadcast);
        EXPECT_EQ(kPortCommand, sent[1].m_usPort);
        ASSERT_EQ(16U, sent[1].m_bytes.size());
        EXPECT_EQ(kCmdQuerySensors, sent[1].m_bytes[1]);
        EXPECT_EQ(QDialog::Accepted, dialog.result());
    }
}

TEST(DlgCodeName, CancelSendsNothing) {
    CFakeSender sender;
    CDlgCodeName dialog(sender, "192.168.1.20", nullptr);
    dialog.show();
    dialog.pNameEdit()->setText("Door");
    QTest::keyClick(dialog.pNameEdit(), Qt::Key_Escape);
    EXPECT_TRUE(sender.vecSent().empty());
    EXPECT_EQ(QDialog::Rejected, dialog.result());
}

}  // namespace
