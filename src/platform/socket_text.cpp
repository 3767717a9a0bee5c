// The system-independent part of the socket layer: error meanings and address text.
#include <array>
#include <charconv>
#include <cstdio>

#include "platform/socket.h"

ESockErr eSockErr(int rc) {
    if (rc >= 0) {
        return ESockErr::None;
    }
    if (rc < iSockErrRc(ESockErr::Other)) {
        return ESockErr::Other;
    }
    return static_cast<ESockErr>(-rc);
}

bool fgSockRetry(int rc) {
    const ESockErr error = eSockErr(rc);
    return error == ESockErr::WouldBlock || error == ESockErr::Interrupted;
}

const char* pszSockErrText(ESockErr error) {
    switch (error) {
        case ESockErr::None:
            return "no error";
        case ESockErr::WouldBlock:
            return "would block";
        case ESockErr::InProgress:
            return "in progress";
        case ESockErr::Interrupted:
            return "interrupted";
        case ESockErr::TimedOut:
            return "timed out";
        case ESockErr::Refused:
            return "refused";
        case ESockErr::Reset:
            return "reset by peer";
        case ESockErr::AddrInUse:
            return "address in use";
        case ESockErr::AddrNotAvailable:
            return "address not available";
        case ESockErr::AlreadyConnecting:
            return "already connecting";
        case ESockErr::NotConnected:
            return "not connected";
        case ESockErr::Unreachable:
            return "unreachable";
        case ESockErr::Access:
            return "permission denied";
        case ESockErr::Other:
            break;
    }
    return "socket error";
}

std::string strIpText(std::uint32_t addrNet) {
    const std::uint32_t host = iHostFromNet(addrNet);
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%u.%u.%u.%u", (host >> 24) & 0xFFU,
                  (host >> 16) & 0xFFU, (host >> 8) & 0xFFU, host & 0xFFU);
    return text.data();
}

bool fgParseIp(const std::string& text, std::uint32_t& addrNet) {
    std::uint32_t host = 0;
    const char* cursor = text.data();
    const char* const end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (cursor == end || *cursor != '.') {
                return false;
            }
            ++cursor;
        }
        const char* const digitsStart = cursor;
        while (cursor != end && *cursor >= '0' && *cursor <= '9' && cursor - digitsStart < 4) {
            ++cursor;
        }
        unsigned value = 0;
        const auto digits = cursor - digitsStart;
        // A leading zero is refused as the system parsers refuse it (it reads as octal
        // elsewhere).
        if (digits == 0 || digits > 3 || (digits > 1 && *digitsStart == '0')) {
            return false;
        }
        std::from_chars(digitsStart, cursor, value);
        if (value > 255) {
            return false;
        }
        host = (host << 8) | value;
    }
    if (cursor != end) {
        return false;
    }
    addrNet = iNetFromHost(host);
    return true;
}
