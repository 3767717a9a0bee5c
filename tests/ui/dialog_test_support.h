#pragma once

// Helpers of the dialog and page tests: a station core behind the widgets under test
// (a real CStation with a fake sender and a fake view, whose registry holds one device
// that is selected and logged in, so commands go out without any login traffic) and a
// watch on the next message box.

#include <QMessageBox>
#include <QString>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "protocol/station.h"
#include "protocol/station_fakes.h"
#include "ui_test_env.h"

struct CDialogTestStation {
    static constexpr const char* kDeviceIp = "192.168.1.20";

    CDialogTestStation() {
        m_station.registry().sAddOrUpdateDevice(sMakeDev(kDeviceIp, "OLDUID0000000000001"));
        m_station.registry().vSetListSelect(0);
        m_station.registry().vSetDevLoginState(uiAddr(kDeviceIp), kLoginAccepted);
    }

    // Leaves the device listed but selects none.
    void vUnselect() { m_station.registry().vSetListSelect(-1); }

    std::vector<CSentDatagram> vecSent() const { return m_sender.vecSent(); }

    CFakeSender m_sender;
    CFakeView m_view;
    CStation m_station{m_sender, m_view};
};

// The text field of a datagram at `offset`, `count` bytes wide, up to its first NUL.
inline std::string strField(const CSentDatagram& datagram, std::size_t offset, std::size_t count) {
    const auto first = datagram.m_bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto last = std::find(first, first + static_cast<std::ptrdiff_t>(count), 0);
    return std::string(first, last);
}

// The bytes of a datagram from `offset`, `count` of them, as text.
inline std::string strBytes(const CSentDatagram& datagram, std::size_t offset, std::size_t count) {
    return std::string(datagram.m_bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       datagram.m_bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

// The caption and text of the next message box, which is closed at once.
struct CBoxSeen {
    QString m_strTitle;
    QString m_strText;
};
inline std::shared_ptr<CBoxSeen> psWatchNextBox() {
    auto seen = std::make_shared<CBoxSeen>();
    vCloseNextModal([seen](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal); box != nullptr) {
            seen->m_strTitle = box->windowTitle();
            seen->m_strText = box->text();
        }
    });
    return seen;
}
