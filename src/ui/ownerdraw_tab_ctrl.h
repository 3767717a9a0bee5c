#pragma once

#include <QColor>
#include <QTabBar>
#include <QWidget>

#include "ui/layout_scale.h"

// Colours of a tab by its state. The selected tab is grey with white text, a
// disabled tab green with grey text, the others take the palette's button face and
// window text.
struct CTabColours {
    QColor m_background;
    QColor m_text;
};
enum class ETabState { Selected, Disabled, Normal };
CTabColours sTabColours(ETabState state, const QPalette& palette);

// The tab row of COwnerdrawTabCtrl: every tab has the width of the widest one when all
// fit in the row that way, otherwise the width of its own text, so that no tab hides
// behind scroll arrows; painted by sTabColours, its text centred on one line.
class COwnerdrawTabBar : public QTabBar {
    Q_OBJECT

  public:
    explicit COwnerdrawTabBar(QWidget* parent);

    // Height of the tab row for the current font, at least 20 px.
    int iRowHeight() const;
    // The least width that shows every tab whole, each as wide as its own text.
    int iLeastRowWidth() const;

  protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
    void paintEvent(QPaintEvent* event) override;
};

// The tab control of the main window. It only shows the tab row and reports the
// choice; the pages are children of this control that the window places on
// rectPage() and shows or hides itself when the selection changes.
class COwnerdrawTabCtrl : public QWidget {
    Q_OBJECT

  public:
    explicit COwnerdrawTabCtrl(QWidget* parent);

    // Appends a tab; returns its index.
    int iInsertItem(const QString& text);
    int iGetItemCount() const { return m_pTabBar->count(); }
    QString strItemText(int index) const { return m_pTabBar->tabText(index); }
    int iGetCurSel() const { return m_pTabBar->currentIndex(); }
    // Selects a tab; sigSelChange follows when the selection changes.
    void vSetCurSel(int index) { m_pTabBar->setCurrentIndex(index); }
    void vSetItemEnabled(int index, bool enabled) { m_pTabBar->setTabEnabled(index, enabled); }

    // Where the pages go: the client rectangle less 2 px left and right and the tab
    // row at the top.
    QRect rectPage() const;

    COwnerdrawTabBar* pTabBar() const { return m_pTabBar; }

  signals:
    void sigSelChange(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void vPlaceTabBar();

    COwnerdrawTabBar* m_pTabBar;
};
