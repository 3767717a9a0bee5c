#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "ui/scaled_page.h"
#include "ui/window_font.h"

namespace {

CLayoutRect sRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

class ScaledPageTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        m_page = std::make_unique<CScaledPage>(nullptr, GetParam());
        m_page->resize(400, 300);
        m_button = new QPushButton("Apply", m_page.get());
        m_button->setGeometry(10, 20, 100, 30);
        m_combo = new QComboBox(m_page.get());
        m_combo->setGeometry(200, 60, 120, 21);
        m_page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_page.get()));
        m_page->vRecordLayout();
    }

    void vResize(int width, int height) {
        m_page->resize(width, height);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->size() == QSize(width, height); }));
    }

    std::unique_ptr<CScaledPage> m_page;
    QPushButton* m_button = nullptr;
    QComboBox* m_combo = nullptr;
};

TEST_P(ScaledPageTest, ChildrenFollowThePageSize) {
    EXPECT_EQ(QSize(400, 300), m_page->sRecordedSize());
    EXPECT_EQ(sWindowFont(15), m_button->font());
    vResize(600, 450);
    const CLayoutRect recorded{0, 0, 400, 300};
    const CLayoutRect now{0, 0, 600, 450};
    EXPECT_EQ(sScalePageChild(recorded, {10, 20, 110, 50}, now), sRect(m_button->geometry()));
    const CLayoutRect combo = sScalePageChild(recorded, {200, 60, 320, 81}, now);
    EXPECT_EQ(combo, sRect(m_combo->geometry())) << "the closed field is moved like the rest";
    EXPECT_EQ(sWindowFont(22), m_button->font()) << "trunc(15 x 1.5)";
    const int room = GetParam() > 1 ? iComboDropBottom(combo.m_iTop, combo.m_iBottom, GetParam()) -
                                          combo.m_iBottom
                                    : 0;
    EXPECT_EQ(room, m_combo->view()->minimumHeight());
}

TEST_P(ScaledPageTest, TheFirstMoveAfterTheSkipFlagKeepsTheTemplateLayout) {
    m_page->vSkipNextResize();
    vResize(800, 600);
    EXPECT_EQ(QRect(10, 20, 100, 30), m_button->geometry());
    vResize(800, 601);
    EXPECT_EQ(sScalePageChild({0, 0, 400, 300}, {10, 20, 110, 50}, {0, 0, 800, 601}),
              sRect(m_button->geometry()))
        << "later sizes are measured against the recorded layout";
}

INSTANTIATE_TEST_SUITE_P(ComboRoom, ScaledPageTest, ::testing::Values(1, 4, 5));

}  // namespace
