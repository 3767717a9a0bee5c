// Every text of the window shows whole at the start-up size, in English and in Chinese:
// each label, button, check box, group title and column header is at least as wide as
// its text, every control lies inside its parent, all tab captions show without
// scroll arrows and the window fits a 1366 x 768 screen.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/translate.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/scaled_page.h"
#include "ui_test_env.h"

namespace {

// The settings' language for one test; the earlier one afterwards.
class CLanguageScope {
  public:
    explicit CLanguageScope(int uiLang)
        : m_iLang(CSettings::instance().m_iUiLang), m_strFile(CSettings::instance().m_strLangFile) {
        CSettings::instance().m_iUiLang = uiLang;
        CSettings::instance().m_strLangFile = KESTREL_LANG_FILE;
    }
    ~CLanguageScope() {
        CSettings::instance().m_iUiLang = m_iLang;
        CSettings::instance().m_strLangFile = m_strFile;
    }
    CLanguageScope(const CLanguageScope&) = delete;
    CLanguageScope& operator=(const CLanguageScope&) = delete;

  private:
    int m_iLang;
    std::string m_strFile;
};

QString strPlain(QString text) {
    return text.remove(QLatin1Char('&'));
}

// The width a control needs to show its text whole; 0 for a control without text.
int iNeededWidth(const QWidget& widget) {
    const QFontMetrics metrics = widget.fontMetrics();
    const QStyle& style = *widget.style();
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->wordWrap() || label->text().isEmpty()) {
            return 0;
        }
        return metrics.horizontalAdvance(label->text()) + 2 * label->frameWidth() +
               2 * label->margin() + std::max(0, label->indent());
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(&widget)) {
        if (check->text().isEmpty()) {
            return 0;
        }
        return style.pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &widget) +
               style.pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &widget) +
               metrics.horizontalAdvance(strPlain(check->text()));
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (button->text().isEmpty()) {
            return 0;
        }
        return metrics.horizontalAdvance(strPlain(button->text())) +
               style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, &widget) +
               2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &widget);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        if (group->title().isEmpty()) {
            return 0;
        }
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.textAlignment = group->alignment();
        const QRect title =
            style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
        return title.left() + metrics.horizontalAdvance(group->title()) + title.left();
    }
    return 0;
}

// A control the operator can see when its page is shown: neither it nor a parent
// below the window is hidden, except the tab pages, which the window hides in turn.
bool fgShownWithItsPage(const QWidget& widget, const QWidget& window) {
    for (const QWidget* at = &widget; at != nullptr && at != &window; at = at->parentWidget()) {
        if (at->isHidden() && qobject_cast<const CScaledPage*>(at) == nullptr) {
            return false;
        }
    }
    return true;
}

std::string strWhere(const QWidget& widget) {
    std::string where = widget.metaObject()->className();
    if (const auto* page = widget.parentWidget(); qobject_cast<const CScaledPage*>(page)) {
        where = std::string(page->metaObject()->className()) + " > " + where;
    }
    return where + " \"" + widget.objectName().toStdString() + "\"";
}

QString strShownText(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        return group->title();
    }
    return {};
}

// Every fault of the window's texts, one line each; empty when all fit.
std::vector<std::string> vecTextFaults(CclientDlg& window) {
    std::vector<std::string> faults;
    const auto fault = [&faults](const QWidget& widget, const std::string& what) {
        faults.push_back(strWhere(widget) + ": " + what);
    };
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!fgShownWithItsPage(*widget, window)) {
            continue;
        }
        const int needed = iNeededWidth(*widget);
        if (needed > widget->width()) {
            fault(*widget, "\"" + strShownText(*widget).toStdString() + "\" needs " +
                               std::to_string(needed) + " px, has " +
                               std::to_string(widget->width()));
        }
        const QWidget* parent = widget->parentWidget();
        if (parent != nullptr && parent != &window && qobject_cast<const CScaledPage*>(parent)) {
            if (!QRect(QPoint(0, 0), parent->size()).contains(widget->geometry())) {
                fault(*widget, "lies outside its page");
            }
        }
        if (const auto* header = qobject_cast<const QHeaderView*>(widget);
            header != nullptr && header->orientation() == Qt::Horizontal && header->model()) {
            const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
            for (int section = 0; section < header->count(); ++section) {
                const QString text =
                    header->model()->headerData(section, Qt::Horizontal).toString();
                const int need = header->fontMetrics().horizontalAdvance(text) + margin;
                if (need > header->sectionSize(section)) {
                    fault(*widget, "column \"" + text.toStdString() + "\" needs " +
                                       std::to_string(need) + " px, has " +
                                       std::to_string(header->sectionSize(section)));
                }
            }
        }
    }
    const COwnerdrawTabBar& tabs = *window.pTabCtrl()->pTabBar();
    for (int tab = 0; tab < tabs.count(); ++tab) {
        const QRect rect = tabs.tabRect(tab);
        if (rect.right() >= tabs.width() || rect.left() < 0) {
            fault(tabs, "tab \"" + tabs.tabText(tab).toStdString() + "\" is scrolled away");
        }
        if (tabs.fontMetrics().horizontalAdvance(tabs.tabText(tab)) > rect.width()) {
            fault(tabs, "tab \"" + tabs.tabText(tab).toStdString() + "\" is cut");
        }
    }
    const QRect frame = window.frameGeometry();
    if (frame.width() > 1366 || frame.height() > 768) {
        fault(window, "window " + std::to_string(frame.width()) + "x" +
                          std::to_string(frame.height()) + " exceeds 1366x768");
    }
    return faults;
}

std::string strJoin(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) {
        joined += line + '\n';
    }
    return joined;
}

class TextFitTest : public ::testing::TestWithParam<int> {};

TEST_P(TextFitTest, EveryTextShowsWholeAtStartUp) {
    const CLanguageScope language(GetParam());
    CclientDlg window(nullptr, nullptr, std::nullopt);
    window.vInitDialog();
    EXPECT_EQ(std::vector<std::string>{}, vecTextFaults(window)) << strJoin(vecTextFaults(window));

    // The UID is what an operator matches against a label: 20 characters show whole.
    const CDevListView& list = *window.pDevList();
    const QString uid = QStringLiteral("KSIM00000000099DEVAA");
    const int uidNeeded = list.fontMetrics().horizontalAdvance(uid) +
                          2 * list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    EXPECT_GE(list.columnWidth(CDevListModel::kColUid), uidNeeded);
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitTest, ::testing::Values(kLangEnglish, kLangChinese),
                         [](const ::testing::TestParamInfo<int>& language) {
                             return language.param == kLangChinese ? std::string("Chinese")
                                                                   : std::string("English");
                         });

}  // namespace
