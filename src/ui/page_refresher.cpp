#include "ui/page_refresher.h"

#include <utility>

CPageRefresher::CPageRefresher(std::function<void(ETabRefresh)> refresh, QObject* parent)
    : QObject(parent), m_refresh(std::move(refresh)) {
    m_delayed.setInterval(kDelayedMs);
    m_delayed.setSingleShot(true);
    connect(&m_delayed, &QTimer::timeout, this, [this] { m_refresh(ETabRefresh::kDelayed); });
}

void CPageRefresher::vOnRowClicked() {
    QTimer::singleShot(kRowClickDelayMs, this, [this] { m_refresh(ETabRefresh::kRowClick); });
    m_delayed.start();
}
