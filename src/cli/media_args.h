#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The arguments of the verbs that talk to a device's media channels (stream, listen,
// snapshot): the device's address first, then --stream NAME, --seconds N and a file,
// given after its flag or alone.
struct CMediaArgs {
    std::uint32_t m_uiAddr = 0;
    int m_iStreamId = 0;  // kStreamMain unless --stream says otherwise
    int m_iSeconds = 5;
    std::string m_strFile;  // empty when none was given
};

// What one verb accepts.
struct CMediaArgRules {
    std::string_view m_strVerb;
    // --stream: 0 not taken, 2 main or sub, 3 main, sub or listen.
    int m_iStreamNames = 0;
    int m_iMaxSeconds = 600;
    // The file's flag ("--record", "--out"), or empty when the file is the one
    // argument without a flag.
    std::string_view m_strFileFlag;
    // Said when the file is missing; empty when the file is optional.
    std::string_view m_strFileWanted;
};

// The arguments, or nullopt with a usage message in error.
std::optional<CMediaArgs> sParseMediaArgs(const std::vector<std::string>& args,
                                          const CMediaArgRules& rules, std::string& error);
