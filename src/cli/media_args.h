#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "media/stream_recorder.h"
#include "media/stream_session.h"

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

// The end of a stream or listen run, after its counts were printed: the refusal when no
// media was kept, the stall line, a recording's cut (recording may be null: none); the
// exit code (0; 3 refused; 4 nothing came or mostly stalled; 1 the recording failed).
int iStreamRunEnd(const CStreamStats& stats, bool mediaKept, int secondsAsked,
                  const std::string& file, const CRecordingEnd* recording, std::ostream& out,
                  std::ostream& err);
