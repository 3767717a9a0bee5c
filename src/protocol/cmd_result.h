#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/dev_info.h"

// The code of the "file name err" line (a file whose name cannot be sent).
inline constexpr int kResultFileNameErr = 4134;

// How a result reads in the result pane.
enum class EResultForm {
    kAddrText,        // "<address> <text>"
    kText,            // "<text>"
    kAddrTextValue,   // "<address> <text> <value>"
    kUidAddrText,     // "uid:<UID> ip:<address> <text>"
    kDevUidAddrText,  // "dev uid:<UID> ip:<address> <text>"
};

// What a reply or a request led to, for one device: the station reports it, the
// window's result pane and the CLI each show it their own way. Texts that came from
// a device (UID, value) are kept as received.
struct CCmdResult {
    EResultForm m_eForm = EResultForm::kAddrText;
    std::uint32_t m_uiAddr = 0;  // the device, network byte order; 0: no device
    std::string m_strAddr;       // the device's address text
    std::string m_strUid;
    std::string m_strKey;  // the message, a translation key
    std::string m_strValue;
    int m_iCode = 0;  // result code (a reply type or one derived from it); 0: none
    bool operator==(const CCmdResult&) const = default;
};

// "<address> <text>" for a device at addrNet.
CCmdResult sAddrResult(std::uint32_t addrNet, std::string key, int code = 0);
// "<text>" alone.
CCmdResult sTextResult(std::string key, int code = 0);

// The result of a code for a device, as the dispatcher reports it: empty when the
// code has no line. wifiConnected picks the text of code 166.
std::optional<CCmdResult> sResultOfCode(int code, const CDevInfo& devInfo, bool wifiConnected);

// The pane's line of a result: the message translated and placed in its form,
// without the leading line break.
std::string strFormatResult(const CCmdResult& result);
