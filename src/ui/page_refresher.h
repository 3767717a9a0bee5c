#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "ui/scaled_page.h"

// When the page in view refreshes after the operator clicked a device row: at once
// (30 ms later, once the click's own work is done) and again 1.5 s later, when a
// device that logged in slowly has answered. refresh asks the page in view.
class CPageRefresher : public QObject {
    Q_OBJECT

  public:
    static constexpr int kRowClickDelayMs = 30;
    static constexpr int kDelayedMs = 1500;

    explicit CPageRefresher(std::function<void(ETabRefresh)> refresh, QObject* parent = nullptr);

    // A device row was clicked.
    void vOnRowClicked();

    QTimer& delayedTimer() { return m_delayed; }

  private:
    std::function<void(ETabRefresh)> m_refresh;
    QTimer m_delayed;
};
