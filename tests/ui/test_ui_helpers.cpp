#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "ui/ui_helpers.h"
#include "ui_test_env.h"

namespace {

// Types the path into the dialog's file name box, as an operator would. (selectFile
// depends on the dialog's folder model, which fills in the background.)
void vTypeFileName(QFileDialog& dialog, const std::string& path) {
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(nullptr, name);
    name->setText(QString::fromStdString(path));
}

TEST(UiHelpers, ListFillGivesOneUntickedRowPerText) {
    QTableWidget list(5, 3);
    EXPECT_EQ(0, iListCtrlFill(list, {"alpha", "beta"}));
    ASSERT_EQ(2, list.rowCount());
    EXPECT_EQ("alpha", list.item(0, 0)->text());
    EXPECT_EQ("beta", list.item(1, 0)->text());
    EXPECT_EQ(Qt::Unchecked, list.item(1, 0)->checkState());
    EXPECT_TRUE(list.showGrid());
    EXPECT_EQ(QAbstractItemView::SelectRows, list.selectionBehavior());
    EXPECT_EQ(0, iListCtrlFill(list, {}));
    EXPECT_EQ(0, list.rowCount());
}

TEST(UiHelpers, AddRowNumbersFromOne) {
    QTableWidget list(0, 3);
    EXPECT_EQ(0, iListCtrlAddRow(list, {"a", "b"}));
    EXPECT_EQ(0, iListCtrlAddRow(list, {"c", "d", "left out"}));
    ASSERT_EQ(2, list.rowCount());
    const char* expected[2][3] = {{"1", "a", "b"}, {"2", "c", "d"}};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(expected[row][column], list.item(row, column)->text());
        }
    }
}

TEST(UiHelpers, TipsBoxReportsTheButton) {
    struct Row {
        QMessageBox::StandardButton pressed;
        int result;
    };
    for (const Row& row : {Row{QMessageBox::Ok, kBoxOk}, Row{QMessageBox::Cancel, kBoxCancel}}) {
        QString caption;
        vCloseNextModal([&caption, &row](QWidget& box) {
            auto& message = dynamic_cast<QMessageBox&>(box);
            caption = message.windowTitle() + "|" + message.text();
            message.button(row.pressed)->click();
        });
        EXPECT_EQ(row.result, iMessageBoxTips(nullptr, "Sure you want to format?"));
        EXPECT_EQ("TIPS|Sure you want to format?", caption);
    }
    vCloseNextModal();
    EXPECT_EQ(kBoxCancel, iMessageBoxTips(nullptr, "closed")) << "closed without a button";
}

TEST(UiHelpers, OpenFileHandsOutTheChosenPath) {
    const CTempDir dir;
    const std::string chosen = dir.write("device.log", "log");
    vCloseNextModal([&chosen](QWidget& box) {
        auto& dialog = dynamic_cast<QFileDialog&>(box);
        EXPECT_EQ("Open file", dialog.windowTitle());
        EXPECT_EQ("log", dialog.defaultSuffix());
        vTypeFileName(dialog, chosen);
        static_cast<QDialog&>(dialog).accept();
    });
    std::string path;
    EXPECT_EQ(0, iEXP_OpenFileManageGetFilePath(path, nullptr));
    EXPECT_EQ(chosen, path);

    vCloseNextModal();
    std::string untouched = "before";
    EXPECT_EQ(-1, iEXP_OpenFileManageGetFilePath(untouched, nullptr));
    EXPECT_EQ("before", untouched);
}

TEST(UiHelpers, OpenFileRefusesAPathOfMoreThan259Bytes) {
    const CTempDir dir;
    std::filesystem::path deep = dir.path();
    while (deep.string().size() < kMaxFilePathBytes) {
        deep /= std::string(60, 'd');
    }
    std::filesystem::create_directories(deep);
    const std::string chosen = (deep / "x.log").string();
    { std::ofstream(chosen) << "x"; }
    vCloseNextModal([&chosen](QWidget& box) {
        auto& dialog = dynamic_cast<QFileDialog&>(box);
        vTypeFileName(dialog, chosen);
        static_cast<QDialog&>(dialog).accept();
    });
    std::string path;
    EXPECT_EQ(-1, iEXP_OpenFileManageGetFilePath(path, nullptr));
    EXPECT_TRUE(path.empty());
}

}  // namespace
