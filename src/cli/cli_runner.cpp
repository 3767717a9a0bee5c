#include "cli/cli_runner.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "app/text_conv.h"
#include "cli/cmd_horn.h"
#include "cli/cmd_qr.h"
#include "cli/cmd_stream.h"
#include "cli/cmd_upgrade.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_list_format.h"
#include "protocol/lan_station.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDrainPeriod = std::chrono::milliseconds(20);
constexpr auto kSecondSearchDelay = std::chrono::milliseconds(100);
constexpr auto kWifiPollPeriod = std::chrono::milliseconds(4000);

// Collects what the station reports about one device: its results and the reply
// types it sent. Everything from other addresses is dropped at once, so a flood from
// elsewhere neither shows in the output nor piles up in memory.
class CCliView final : public IStationView, public ILanReceiver {
  public:
    // The device whose results and replies are kept (0: none).
    void vSetDevice(std::uint32_t addrNet) { m_uiDevice = addrNet; }

    void vOnResult(const CCmdResult& result) override {
        if (result.m_uiAddr == 0 || result.m_uiAddr != m_uiDevice) {
            return;
        }
        std::lock_guard guard(m_lock);
        m_results.push_back(result);
    }

    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override {
        if (data.size() < 2 || from.m_uiAddr != m_uiDevice) {
            return;
        }
        {
            std::lock_guard guard(m_lock);
            m_replies.push_back({data[kCmdOffCode], from.m_uiAddr});
        }
        m_replied.notify_all();
    }
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}

    // Waits for a reply of one of the types from the device; the type, or 0 on time-out.
    std::uint8_t byWaitReply(const std::set<std::uint8_t>& types, Clock::time_point deadline) {
        std::unique_lock guard(m_lock);
        std::uint8_t found = 0;
        m_replied.wait_until(guard, deadline, [&] {
            while (!m_replies.empty()) {
                const CReplySeen reply = m_replies.front();
                m_replies.pop_front();
                if (types.contains(reply.m_byType)) {
                    found = reply.m_byType;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // Prints the device's result lines gathered so far, one per line, as valid UTF-8
    // (what a device sent may be anything).
    void vFlushLines(std::ostream& out) {
        std::lock_guard guard(m_lock);
        for (const CCmdResult& result : m_results) {
            out << strSanitizeUtf8(strFormatResult(result)) << '\n';
        }
        m_results.clear();
    }

  private:
    struct CReplySeen {
        std::uint8_t m_byType;
        std::uint32_t m_uiFrom;
    };
    std::atomic<std::uint32_t> m_uiDevice{0};
    std::mutex m_lock;
    std::condition_variable m_replied;
    std::vector<CCmdResult> m_results;
    std::deque<CReplySeen> m_replies;
};

// Searches (twice, as the window does) and turns replies into records until the
// deadline, or until stopWhen holds.
template <typename Predicate>
void vSearchUntil(CStation& station, Clock::time_point deadline, Predicate stopWhen) {
    CDiscoveryFeature& discovery = station.discovery();
    discovery.vRefresh();
    const Clock::time_point secondSearch = Clock::now() + kSecondSearchDelay;
    bool searchedTwice = false;
    while (true) {
        discovery.iDrainDiscoveryQueue();
        if (stopWhen() || Clock::now() >= deadline) {
            break;
        }
        if (!searchedTwice && Clock::now() >= secondSearch) {
            discovery.vSearch();
            searchedTwice = true;
        }
        std::this_thread::sleep_for(kDrainPeriod);
    }
    while (discovery.iDrainDiscoveryQueue() > 0) {
    }
}

int iRowOf(const CStation& station, std::uint32_t addrNet) {
    const std::vector<CDevInfo> rows = station.registry().vecActiveView();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].m_uiIpAddr == addrNet) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

struct CExpect {
    std::set<std::uint8_t> m_ok;
    std::set<std::uint8_t> m_failed;
};

// A request that never left: said at once instead of waiting out the time-out.
int iSendFailed(const std::string& ip, std::ostream& err) {
    err << "kestrel-cli: the request could not be sent to " << ip << '\n';
    return kCliSetupFailed;
}

int iSearchCommand(const CCliOptions& options, CStation& station, std::ostream& out) {
    vSearchUntil(station, Clock::now() + std::chrono::milliseconds(options.m_iTimeoutMs),
                 [] { return false; });
    station.registry().iSortByUid(0);
    const std::vector<CDevInfo> devices = station.registry().vecActiveView();
    switch (options.m_eFormat) {
        case EListFormat::kJson:
            out << strDevListJson(devices);
            break;
        case EListFormat::kCsv:
            out << strDevListCsv(devices);
            break;
        case EListFormat::kTable:
            out << strDevListTable(devices);
            break;
    }
    return kCliOk;
}

int iDeviceCommand(const CCliOptions& options, CStation& station, CCliView& view, std::ostream& out,
                   std::ostream& err) {
    const auto timeout = std::chrono::milliseconds(options.m_iTimeoutMs);
    const std::string& ip = options.m_args[0];
    std::uint32_t addr = 0;
    fgParseIp(ip, addr);
    view.vSetDevice(addr);

    vSearchUntil(station, Clock::now() + timeout,
                 [&station, addr] { return iRowOf(station, addr) >= 0; });
    const int row = iRowOf(station, addr);
    if (row < 0) {
        err << "kestrel-cli: no device answered the search at " << ip << '\n';
        return kCliNoAnswer;
    }
    // Selecting the row sends the login request, as a click in the list does; its
    // answer settles the login check that every command runs first.
    station.sSelectRow(row);
    const std::uint8_t loginReply =
        view.byWaitReply({kReplyLoginOk, kReplyLoginRefused}, Clock::now() + timeout);

    const std::string& command = options.m_strCommand;
    if (command == "login") {
        view.vFlushLines(out);
        return loginReply == kReplyLoginOk ? kCliOk
               : loginReply == 0           ? kCliNoAnswer
                                           : kCliDeviceFailed;
    }
    if (!station.fgSelectDevIsLogin()) {
        view.vFlushLines(out);
        CDevInfo devInfo;
        const bool refused =
            station.registry().fgGetCurrDevInfo(devInfo) && devInfo.m_iLoginState == kLoginRefused;
        if (refused) {
            err << "kestrel-cli: " << ip << " refused the password\n";
        }
        return refused ? kCliDeviceFailed : kCliNoAnswer;
    }

    CExpect expect;
    const auto deadline = Clock::now() + timeout;
    bool sent = false;
    if (command == "restart") {
        sent = station.fgSendToDev(ip, bufBuildRestart());
        expect = {{kReplyRestart}, {}};
    } else if (command == "reset") {
        sent = station.fgSendToDev(ip, bufBuildFactoryReset(EResetOrigin::kPlain));
        expect = {{kReplyFactoryReset}, {}};
    } else if (command == "format-sd") {
        sent = station.devCmd().fgFormatSd();
        // A device without an SD card answers with the "dev no sd card" reply.
        expect = {{kReplyFormatSdOk}, {kReplyMakeUpgradeFile3}};
    } else if (command == "set-uid") {
        sent = station.devCmd().fgSetUid(options.m_args[1]);
        expect = {{kReplySetUidOk}, {kReplySetUidFailed}};
    } else if (command == "set-password") {
        sent = station.devCmd().fgModifyPassword(options.m_args[1]);
        expect = {{kReplyPasswordOk}, {kReplyPasswordFailed}};
    } else if (command == "set-net") {
        const bool wired = options.m_args[1] == "wired";
        const CNetSettings settings{options.m_args[2], options.m_args[3], options.m_args[4],
                                    options.m_args[5], options.m_args[6] == "dhcp"};
        sent = station.fgSendToDev(
            ip, bufBuildSetNetwork(wired ? ENetBlock::kWired : ENetBlock::kWifi, settings));
        expect = wired ? CExpect{{kReplyWiredNetOk}, {kReplyWiredNetFailed}}
                       : CExpect{{kReplyWifiNetOk}, {kReplyWifiNetFailed}};
    } else if (command == "wifi-connect") {
        CLoginFeature& login = station.login();
        if (!login.fgConnectWifi(options.m_args[1],
                                 static_cast<std::uint32_t>(std::stoul(options.m_args[3])),
                                 options.m_args[2])) {
            return iSendFailed(ip, err);
        }
        // Polls the status every 4 s as the window does, until a result arrives.
        const std::set<std::uint8_t> results{kReplyWifiStatus, kReplyWifiJoinOk,
                                             kReplyWifiJoinFailed};
        std::uint8_t reply = 0;
        while (reply == 0) {
            reply = view.byWaitReply(results, Clock::now() + kWifiPollPeriod);
            if (reply == 0 && !login.fgWifiPollTick()) {
                reply = view.byWaitReply(results, Clock::now() + timeout);
                break;
            }
        }
        view.vFlushLines(out);
        if (reply == 0) {
            return kCliNoAnswer;
        }
        const bool joined =
            reply == kReplyWifiJoinOk || (reply == kReplyWifiStatus && login.fgWifiConnected());
        return joined ? kCliOk : kCliDeviceFailed;
    }
    if (!sent) {
        view.vFlushLines(out);
        return iSendFailed(ip, err);
    }

    std::set<std::uint8_t> all = expect.m_ok;
    all.insert(expect.m_failed.begin(), expect.m_failed.end());
    const std::uint8_t reply = view.byWaitReply(all, deadline);
    view.vFlushLines(out);
    if (reply == 0) {
        return kCliNoAnswer;
    }
    return expect.m_ok.contains(reply) ? kCliOk : kCliDeviceFailed;
}

}  // namespace

int iRunCli(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    if (options.m_strCommand == "qr") {
        return iRunQrCommand(options.m_args[0], options.m_args[1], out, err);
    }
    if (options.m_strCommand == "stream") {
        return iStreamCommand(options, out, err);
    }
    CCliView view;
    CLanStation lan(view);
    if (!lan.fgStart(options.m_binds, &view)) {
        const auto fault = lan.transport().sInitFault();
        err << "kestrel-cli: cannot open the station's sockets"
            << (fault ? " on " + strIpText(fault->m_uiAddr) : std::string()) << '\n';
        return kCliSetupFailed;
    }
    lan.station().vSetPassword(options.m_strPassword);
    if (options.m_strCommand == "horn") {
        return iHornCommand(options, lan.transport(), out, err);
    }
    if (options.m_strCommand == "upgrade") {
        const auto searchAll = [&options, &lan] {
            vSearchUntil(lan.station(),
                         Clock::now() + std::chrono::milliseconds(options.m_iTimeoutMs),
                         [] { return false; });
            std::vector<std::string> addresses;
            for (const CDevInfo& device : lan.station().registry().vecActiveView()) {
                addresses.push_back(strIpText(device.m_uiIpAddr));
            }
            return addresses;
        };
        return iUpgradeCommand(options, lan, searchAll, out, err);
    }
    const int code = options.m_strCommand == "search"
                         ? iSearchCommand(options, lan.station(), out)
                         : iDeviceCommand(options, lan.station(), view, out, err);
    return code;
}
