#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ui/ac_edit.h"

namespace {

class ACEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&m_window);
        layout->addWidget(m_pEdit);
        m_window.setGeometry(300, 300, 240, 80);
        ASSERT_EQ(0, m_autoComplete.iInit(m_pEdit));
        for (const char* text : {"delta", "Alpha", "charlie", "bravo", "ALPHA2"}) {
            m_autoComplete.vAddItem(QString::fromLatin1(text));
        }
        m_window.show();
    }

    CACListWnd& list() { return *m_autoComplete.pListWnd(); }

    QDialog m_window;
    QLineEdit* m_pEdit = new QLineEdit(&m_window);
    CACEdit m_autoComplete;
};

TEST_F(ACEditTest, OneTypedCharacterShowsEverySavedPasswordSorted) {
    EXPECT_FALSE(list().isVisible());
    QTest::keyClicks(m_pEdit, "z");
    ASSERT_TRUE(list().isVisible());
    const QStringList expected{"Alpha", "ALPHA2", "bravo", "charlie", "delta"};
    EXPECT_EQ(expected, list().listVisible());
    EXPECT_EQ(-1, list().iHighlight());
    // The list lies right below the edit, as wide as the edit.
    EXPECT_EQ(m_pEdit->mapToGlobal(QPoint(0, m_pEdit->height())), list().geometry().topLeft());
    EXPECT_EQ(m_pEdit->width(), list().width());
}

TEST_F(ACEditTest, KeysPutTheHighlightedItemIntoTheBox) {
    QTest::keyClicks(m_pEdit, "q");
    struct Step {
        Qt::Key key;
        const char* text;
    };
    const Step steps[]{{Qt::Key_Down, "Alpha"},     {Qt::Key_Down, "ALPHA2"},
                       {Qt::Key_Up, "Alpha"},       {Qt::Key_End, "delta"},
                       {Qt::Key_Down, "delta"},     {Qt::Key_Home, "Alpha"},
                       {Qt::Key_PageDown, "delta"}, {Qt::Key_PageUp, "Alpha"}};
    for (const Step& step : steps) {
        m_pEdit->setModified(false);
        QTest::keyClick(m_pEdit, step.key);
        EXPECT_EQ(QString::fromLatin1(step.text), m_pEdit->text()) << step.key;
        EXPECT_EQ(m_pEdit->text().size(), m_pEdit->cursorPosition());
        EXPECT_TRUE(m_pEdit->isModified());
        EXPECT_TRUE(list().isVisible());
    }
    QTest::keyClick(m_pEdit, Qt::Key_Return);
    EXPECT_FALSE(list().isVisible());
    EXPECT_EQ("Alpha", m_pEdit->text());
    EXPECT_EQ(-1, list().iHighlight()) << "hiding clears the highlight";
}

TEST_F(ACEditTest, DeletingTheTextHidesTheList) {
    QTest::keyClicks(m_pEdit, "ab");
    ASSERT_TRUE(list().isVisible());
    QTest::keyClick(m_pEdit, Qt::Key_Backspace);
    EXPECT_TRUE(list().isVisible());
    QTest::keyClick(m_pEdit, Qt::Key_Backspace);
    EXPECT_FALSE(list().isVisible());
}

TEST_F(ACEditTest, TextSetByTheProgramShowsNothing) {
    m_pEdit->setText("kavno");
    EXPECT_FALSE(list().isVisible());
}

TEST_F(ACEditTest, EscapeHidesTheListOnlyOnce) {
    QSignalSpy rejected(&m_window, &QDialog::rejected);
    QTest::keyClicks(m_pEdit, "a");
    QTest::keyClick(m_pEdit, Qt::Key_Escape);
    EXPECT_FALSE(list().isVisible());
    EXPECT_EQ("a", m_pEdit->text());
    EXPECT_EQ(0, rejected.count()) << "the first Escape belongs to the list";
}

TEST_F(ACEditTest, LeftClickTakesARowAndTheListHidesSoonAfter) {
    QSignalSpy taken(&m_autoComplete, &CACEdit::sigItemTaken);
    QTest::keyClicks(m_pEdit, "x");
    auto* rows = list().findChild<QListWidget*>();
    ASSERT_NE(nullptr, rows);
    const QRect third = rows->visualItemRect(rows->item(2));
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ("bravo", m_pEdit->text());
    ASSERT_EQ(1, taken.count());
    EXPECT_EQ("bravo", taken.at(0).at(0).toString());
    EXPECT_TRUE(list().isVisible()) << "the list stays for a moment";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list().isVisible(); }, 2000));
}

TEST_F(ACEditTest, RightClickHidesTheList) {
    QTest::keyClicks(m_pEdit, "x");
    auto* rows = list().findChild<QListWidget*>();
    ASSERT_NE(nullptr, rows);
    QTest::mouseClick(rows->viewport(), Qt::RightButton, {},
                      rows->visualItemRect(rows->item(0)).center());
    EXPECT_FALSE(list().isVisible());
    EXPECT_EQ("x", m_pEdit->text());
}

TEST_F(ACEditTest, MovingTheWindowHidesTheListSoonAfter) {
    QTest::keyClicks(m_pEdit, "x");
    ASSERT_TRUE(list().isVisible());
    m_window.move(m_window.pos() + QPoint(40, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list().isVisible(); }, 5000));
}

TEST_F(ACEditTest, LosingTheFocusHidesTheList) {
    QTest::keyClicks(m_pEdit, "x");
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(m_pEdit, &focusOut);
    EXPECT_FALSE(list().isVisible());
}

TEST_F(ACEditTest, ManyItemsShowEightRowsWithAScrollBar) {
    for (int index = 0; index < 10; ++index) {
        m_autoComplete.vAddItem(QStringLiteral("extra%1").arg(index));
    }
    QTest::keyClicks(m_pEdit, "x");
    auto* rows = list().findChild<QListWidget*>();
    ASSERT_NE(nullptr, rows);
    EXPECT_EQ(15, list().listVisible().size());
    const int rowHeight = rows->sizeHintForRow(0);
    EXPECT_EQ(CACListWnd::kVisibleRows * rowHeight + 2 * rows->frameWidth(), list().height());
}

TEST(ACEditInit, TakesEditsAndEditableComboBoxesOnly) {
    QWidget owner;
    CACEdit onLabel;
    EXPECT_EQ(-1, onLabel.iInit(new QLabel(&owner)));
    EXPECT_EQ(nullptr, onLabel.pListWnd());

    auto* combo = new QComboBox(&owner);
    combo->setEditable(true);
    combo->addItem("listed");  // a combo box without entries opens no drop-down
    CACEdit onCombo;
    ASSERT_EQ(0, onCombo.iInit(combo));
    EXPECT_EQ(-2, onCombo.iInit(combo));
    onCombo.vAddItem("saved");
    owner.show();
    QTest::keyClicks(combo->lineEdit(), "s");
    EXPECT_TRUE(onCombo.pListWnd()->isVisible());
    combo->showPopup();
    EXPECT_FALSE(onCombo.pListWnd()->isVisible()) << "the combo box's own list takes over";
    combo->hidePopup();
}

}  // namespace
