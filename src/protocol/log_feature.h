#pragma once

// The device log: the text a device prints while printing is kept alive, and the
// results of starting and stopping it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "app/worker.h"
#include "protocol/reply_router.h"

class CStation;

// The log page. Called on the receive thread; returns at once.
class ILogView {
  public:
    virtual ~ILogView() = default;
    // One text the device printed, as it came (UTF-8, no line break added).
    virtual void vShowLogText(const std::string& text) = 0;
};

// Printing: a device prints its log to the station only while the station repeats
// its start request. Once started, a worker thread sends the keep-printing request
// every second to the device selected at that moment (when its login is known to be
// accepted; a device whose login is still unknown gets a login request and is skipped
// that second), with the result line "Send start print log command".
class CLogFeature final : public IReplyHandler {
  public:
    // Log texts of this length or longer are not shown.
    static constexpr std::uint16_t kLogTextMaxBytes = 1024;
    static constexpr std::chrono::milliseconds kKeepAlivePeriod{1000};
    // How long stopping waits for the keep-alive thread before saying so in a line.
    static constexpr int kKeepAliveStopWaitMs = 1000;

    explicit CLogFeature(CStation& station);

    void vSetView(ILogView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

    // Operator's thread. Starts printing on the device at ipText / addrNet (the caller
    // has run the login check): the start request, its result line, the worker.
    void vStartPrinting(std::uint32_t addrNet, const std::string& ipText);
    // Stops the worker (at once: it waits on the stop request, not in a sleep), sends
    // the stop request to the device printing was started on and writes the result
    // line for the selected device. Nothing happens when printing is off.
    void vStopPrinting();
    bool fgPrinting() const;

  private:
    void vKeepAlive(const std::stop_token& stop);
    void vSendKeepAlive();

    CStation& m_station;
    CViewSlot<ILogView> m_view;

    mutable std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::uint32_t m_uiPrintAddr = 0;  // network byte order; 0: not printing
    std::string m_strPrintIp;
    // Last: destroyed first, which stops and joins the worker before the members it
    // uses go. Closing thus tells no device to stop printing.
    CWorker m_worker;
};
