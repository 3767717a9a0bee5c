#include "protocol/dev_list_format.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

#include "app/shown_text.h"
#include "app/text_conv.h"

namespace {

struct CField {
    const char* m_pszKey;
    bool m_fgNumber;
    std::function<std::string(const CDevInfo&)> m_get;
};

const std::vector<CField>& vecFields() {
    static const std::vector<CField> fields{
        {"uid", false, [](const CDevInfo& d) { return d.m_strUid; }},
        {"version", false, [](const CDevInfo& d) { return d.m_strVersion; }},
        {"ip", false, [](const CDevInfo& d) { return d.m_strIp; }},
        {"mac", false, [](const CDevInfo& d) { return strShownMac(d); }},
        {"wired_ip", false, [](const CDevInfo& d) { return d.m_strEthIp; }},
        {"wired_mask", false, [](const CDevInfo& d) { return d.m_strEthMask; }},
        {"wired_gateway", false, [](const CDevInfo& d) { return d.m_strEthGateway; }},
        {"wired_dns", false, [](const CDevInfo& d) { return d.m_strEthDns; }},
        {"wired_dhcp", true, [](const CDevInfo& d) { return std::to_string(d.m_uiEthDhcp); }},
        {"wired_mac", false, [](const CDevInfo& d) { return d.m_strEthMac; }},
        {"wifi_ip", false, [](const CDevInfo& d) { return d.m_strWifiIp; }},
        {"wifi_mask", false, [](const CDevInfo& d) { return d.m_strWifiMask; }},
        {"wifi_gateway", false, [](const CDevInfo& d) { return d.m_strWifiGateway; }},
        {"wifi_dns", false, [](const CDevInfo& d) { return d.m_strWifiDns; }},
        {"wifi_dhcp", true, [](const CDevInfo& d) { return std::to_string(d.m_iWifiDhcp); }},
        {"wifi_mac", false, [](const CDevInfo& d) { return d.m_strWifiMac; }},
        {"sd1_mb", true, [](const CDevInfo& d) { return std::to_string(d.m_uiSdFigure1); }},
        {"sd2_mb", true, [](const CDevInfo& d) { return std::to_string(d.m_uiSdFigure2); }},
        {"flags", true, [](const CDevInfo& d) { return std::to_string(d.m_uiDevFlags); }},
        {"device_type", false,
         [](const CDevInfo& d) {
             return std::string(fgDevIsCamera(d.m_uiDevFlags) ? "camera" : "gateway");
         }},
        {"use_ethernet", true, [](const CDevInfo& d) { return std::to_string(d.m_iUseEth); }},
    };
    return fields;
}

void vAppendJsonEscape(std::string& out, unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", value);
    out += escaped;
}

}  // namespace

std::string strJsonString(const std::string& raw) {
    const std::string text = strSanitizeUtf8(raw);
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const auto next = static_cast<unsigned char>(i + 1 < text.size() ? text[i + 1] : 0);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            vAppendJsonEscape(out, byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // A C1 control (U+0080-U+009F): the same value, escaped.
            vAppendJsonEscape(out, next);
            ++i;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string strCsvField(const std::string& raw) {
    std::string text = strShownText(raw);
    if (!text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos) {
        text.insert(text.begin(), '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string strDevListTable(const std::vector<CDevInfo>& devices) {
    const std::array<std::string, 5> headers{"ID", "UID", "Version", "IP", "Mac Address"};
    std::vector<std::array<std::string, 5>> rows;
    rows.reserve(devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
        const CDevInfo& d = devices[i];
        rows.push_back({std::to_string(i + 1), strShownText(d.m_strUid),
                        strShownText(d.m_strVersion), d.m_strIp, strShownText(strShownMac(d))});
    }
    std::array<size_t, 5> widths{};
    for (size_t c = 0; c < headers.size(); ++c) {
        widths[c] = headers[c].size();
        for (const auto& row : rows) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    const auto line = [&widths](const std::array<std::string, 5>& cells) {
        std::string text;
        for (size_t c = 0; c < cells.size(); ++c) {
            text += cells[c];
            if (c + 1 < cells.size()) {
                text.append(widths[c] - cells[c].size() + 2, ' ');
            }
        }
        return text + "\n";
    };
    std::string table = line(headers);
    for (const auto& row : rows) {
        table += line(row);
    }
    return table;
}

std::string strDevListJson(const std::vector<CDevInfo>& devices) {
    std::string json = "[";
    for (size_t i = 0; i < devices.size(); ++i) {
        json += i == 0 ? "\n  {" : ",\n  {";
        const auto& fields = vecFields();
        for (size_t f = 0; f < fields.size(); ++f) {
            const std::string value = fields[f].m_get(devices[i]);
            json += f == 0 ? "\"" : ", \"";
            json += fields[f].m_pszKey;
            json += "\": ";
            json += fields[f].m_fgNumber ? value : strJsonString(value);
        }
        json += "}";
    }
    return json + (devices.empty() ? "]\n" : "\n]\n");
}

std::string strDevListCsv(const std::vector<CDevInfo>& devices) {
    std::string csv;
    const auto& fields = vecFields();
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f != 0) {
            csv += ',';
        }
        csv += fields[f].m_pszKey;
    }
    csv += "\r\n";
    for (const CDevInfo& device : devices) {
        for (size_t f = 0; f < fields.size(); ++f) {
            if (f != 0) {
                csv += ',';
            }
            csv += strCsvField(fields[f].m_get(device));
        }
        csv += "\r\n";
    }
    return csv;
}
