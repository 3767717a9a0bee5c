#include "cli/cmd_sensors.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_list_format.h"
#include "protocol/requests.h"
#include "protocol/sensor_feature.h"
#include "protocol/sensor_records.h"

namespace {

// Takes the sensor list; the page's other calls are not needed here.
class CSensorListView final : public ISensorView {
  public:
    void vSensorTestEnable() override {}
    void vSensorResult(const std::array<std::uint8_t, kSensorResultBytes>&, bool) override {}
    void vSensorLearnDone(bool, std::uint32_t) override {}
    void vSensorList(const std::vector<std::array<std::uint8_t, kSensorEntryBytes>>& raw) override {
        std::vector<CSensorEntry> entries;
        for (const auto& entry : raw) {
            if (entries.size() == kSensorTableMax) {
                break;
            }
            entries.push_back(sParseSensorEntry(entry));
        }
        m_entries.fgPut(std::move(entries));
    }
    void vOpenSensorNameDialog(const std::string&) override {}

    COneShot<std::vector<CSensorEntry>> m_entries;
};

void vPrintSensors(const std::vector<CSensorEntry>& entries, bool json, std::ostream& out) {
    if (json) {
        out << '[';
        for (std::size_t i = 0; i < entries.size(); ++i) {
            out << (i == 0 ? "\n" : ",\n") << "  {\"index\": " << entries[i].m_uiIndex
                << ", \"kind\": " << entries[i].m_uiKind
                << ", \"name\": " << strJsonString(entries[i].m_strName) << '}';
        }
        out << (entries.empty() ? "]\n" : "\n]\n");
        return;
    }
    out << "Index Kind Name\n";
    for (const CSensorEntry& entry : entries) {
        std::array<char, 16> numbers{};
        std::snprintf(numbers.data(), numbers.size(), "%-5u %-4u ", entry.m_uiIndex,
                      entry.m_uiKind);
        out << numbers.data() << strShownText(entry.m_strName) << '\n';
    }
}

}  // namespace

int iSensorsVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                 std::ostream& err) {
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    CSensorListView listView;
    const CAttachedView attached(station.sensor(), listView);
    const std::string& ip = options.m_args[0];
    const auto deadline = CliClock::now() + std::chrono::milliseconds(options.m_iTimeoutMs);
    if (!station.fgSendToDev(ip, bufBuildQuerySensors())) {
        return iSendFailed(ip, err);
    }
    int code = kCliNoAnswer;
    const std::uint8_t reply =
        view.byWaitReply({kReplySensorList, kReplySensorListFailed}, deadline);
    if (reply == kReplySensorListFailed) {
        code = kCliDeviceFailed;
    } else if (const auto entries = listView.m_entries.sWait(deadline)) {
        vPrintSensors(*entries, options.m_eFormat == EListFormat::kJson, out);
        code = kCliOk;
    }
    if (code != kCliOk) {
        view.vFlushLines(out);
    }
    return code;
}
