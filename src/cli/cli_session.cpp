#include "cli/cli_session.h"

#include <algorithm>
#include <thread>

#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "protocol/cmd_header.h"
#include "protocol/search_rounds.h"

namespace {

constexpr auto kDrainPeriod = std::chrono::milliseconds(20);

}  // namespace

void CCliView::vOnResult(const CCmdResult& result) {
    if (result.m_uiAddr == 0 || result.m_uiAddr != m_uiDevice) {
        return;
    }
    const std::string line = strShownText(strFormatResult(result), ELineBreaks::kKeep);
    std::lock_guard guard(m_lock);
    m_codes.insert(result.m_iCode);
    for (std::string& shown : m_limiter.vecOnLine(result.m_strAddr, line, CliClock::now())) {
        m_lines.push_back(std::move(shown));
    }
}

void CCliView::vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) {
    if (data.size() < 2 || from.m_uiAddr != m_uiDevice) {
        return;
    }
    {
        std::lock_guard guard(m_lock);
        m_replies.emplace_back(data[kCmdOffCode],
                               data.size() > kCmdOffParam ? data[kCmdOffParam] : 0);
    }
    m_replied.notify_all();
}

std::uint8_t CCliView::byWaitReply(const std::set<std::uint8_t>& types,
                                   CliClock::time_point deadline, std::uint8_t* param) {
    std::unique_lock guard(m_lock);
    std::uint8_t found = 0;
    m_replied.wait_until(guard, deadline, [&] {
        while (!m_replies.empty()) {
            const auto [type, status] = m_replies.front();
            m_replies.pop_front();
            if (types.contains(type)) {
                found = type;
                if (param != nullptr) {
                    *param = status;
                }
                return true;
            }
        }
        return false;
    });
    return found;
}

void CCliView::vFlushLines(std::ostream& out) {
    std::lock_guard guard(m_lock);
    for (const std::string& line : m_lines) {
        out << line << '\n';
    }
    for (const std::string& line : m_limiter.vecFlush()) {
        out << line << '\n';
    }
    m_lines.clear();
    m_codes.clear();
}

bool CCliView::fgHasResult(int code) {
    std::lock_guard guard(m_lock);
    return m_codes.contains(code);
}

void vSearchUntil(CStation& station, CliClock::time_point deadline,
                  const std::function<bool()>& stopWhen, const std::function<bool()>& wantMore) {
    CDiscoveryFeature& discovery = station.discovery();
    discovery.vRefresh();
    CSearchRounds rounds(CliClock::now());
    while (true) {
        discovery.iDrainDiscoveryQueue();
        const CliClock::time_point now = CliClock::now();
        if (stopWhen() || now >= deadline) {
            break;
        }
        const auto found = static_cast<std::size_t>(station.registry().iRowCount());
        if (rounds.fgBroadcastDue(now, found, wantMore && wantMore())) {
            discovery.vSearch();
        }
        std::this_thread::sleep_for(kDrainPeriod);
    }
    while (discovery.iDrainDiscoveryQueue() > 0) {
    }
}

CBenchComparison sSearchUntilExpected(CStation& station, const CExpectedBench& expected,
                                      std::chrono::milliseconds timeout) {
    CBenchComparison comparison;
    const auto complete = [&station, &expected, &comparison] {
        comparison = sCompareBench(expected, vecFoundDevices(station.registry().vecActiveView()));
        return comparison.fgComplete();
    };
    vSearchUntil(station, CliClock::now() + std::max(timeout, kExpectSearchMin), complete,
                 [&comparison] { return !comparison.fgComplete(); });
    complete();
    return comparison;
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

int iSendFailed(const std::string& ip, std::ostream& err) {
    err << "kestrel-cli: the request could not be sent to " << ip << '\n';
    return kCliSetupFailed;
}

int iOpenDevice(const CCliOptions& options, CStation& station, CCliView& view, std::ostream& out,
                std::ostream& err, std::uint8_t* loginReply) {
    const auto timeout = std::chrono::milliseconds(options.m_iTimeoutMs);
    const std::string& ip = options.m_args[0];
    std::uint32_t addr = 0;
    fgParseIp(ip, addr);
    view.vSetDevice(addr);

    vSearchUntil(station, CliClock::now() + timeout,
                 [&station, addr] { return iRowOf(station, addr) >= 0; });
    const int row = iRowOf(station, addr);
    if (row < 0) {
        err << "kestrel-cli: no device answered the search at " << ip << '\n';
        return kCliNoAnswer;
    }
    station.sSelectRow(row);
    const std::uint8_t reply =
        view.byWaitReply({kReplyLoginOk, kReplyLoginRefused}, CliClock::now() + timeout);
    if (loginReply != nullptr) {
        *loginReply = reply;
        return kCliOk;
    }
    if (station.fgSelectDevIsLogin()) {
        return kCliOk;
    }
    view.vFlushLines(out);
    CDevInfo devInfo;
    const bool refused =
        station.registry().fgGetCurrDevInfo(devInfo) && devInfo.m_iLoginState == kLoginRefused;
    if (refused) {
        err << "kestrel-cli: " << ip << " refused the password\n";
    }
    return refused ? kCliDeviceFailed : kCliNoAnswer;
}
