#include "ui/upgrade_bridge.h"

#include "ui/client_dlg.h"
#include "ui/upgrade_commands.h"
#include "ui/window_history.h"

CUpgradeBridge::CUpgradeBridge(QObject* parent) : QObject(parent) {}

void CUpgradeBridge::vOnUpgradeEvent(const CUpgEvent& event) {
    QMetaObject::invokeMethod(
        this,
        [this, line = QString::fromStdString(strUpgEventLine(event))] {
            if (!m_window.isNull()) {
                m_window->PrintLog(line);
            }
        },
        Qt::QueuedConnection);
}

void CUpgradeBridge::vOnUpgradeSummary(const CUpgSummary& summary) {
    QMetaObject::invokeMethod(
        this,
        [this, summary] {
            if (!m_window.isNull()) {
                m_window->PrintLog(QString::fromStdString(strUpgSummaryLine(summary)));
                m_window->upgrade().vOnSummary(summary);
                windowHistory(*m_window).vRecordUpgrade(summary.m_devices);
            }
        },
        Qt::QueuedConnection);
}
