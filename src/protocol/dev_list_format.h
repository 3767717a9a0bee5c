#pragma once

#include <string>
#include <vector>

#include "protocol/dev_info.h"

// The device list as text for people and for programs. Every text a device sent is
// made valid UTF-8 first; nothing a device sends can break the format.

// Columns ID, UID, Version, IP, Mac Address, as the device list shows them, aligned.
std::string strDevListTable(const std::vector<CDevInfo>& devices);

// One JSON array of objects with the keys uid, version, ip, mac, wired_ip, wired_mask,
// wired_gateway, wired_dns, wired_dhcp, wired_mac, wifi_ip, wifi_mask, wifi_gateway,
// wifi_dns, wifi_dhcp, wifi_mac, sd1_mb, sd2_mb, flags, device_type, use_ethernet.
std::string strDevListJson(const std::vector<CDevInfo>& devices);

// The same fields as CSV (RFC 4180 quoting) with a header line, device text shown
// as strShownText shows it (control characters escaped). A field that a
// spreadsheet would take for a formula (=, +, -, @ first) is prefixed with a quote.
std::string strDevListCsv(const std::vector<CDevInfo>& devices);

// One text a device sent as a JSON string (quotes included) and as a CSV field, by
// the rules above.
std::string strJsonString(const std::string& raw);
std::string strCsvField(const std::string& raw);
