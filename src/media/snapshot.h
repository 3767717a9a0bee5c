#pragma once

// One picture from a device's live stream: logs in to the video channel, waits for a
// key frame, decodes it and converts it to RGB. Used by kestrel-cli snapshot and by the
// line check, which also looks at how uniform the picture is.
//
//   CSnapshotRequest request;
//   request.m_strPassword = "kavno";
//   const CSnapshot shot = sGrabKeyFrame(addrNet, request);
//   if (shot.m_eOutcome == ESnapshotOutcome::kPicture) { ... shot.m_rgbx ... }
//
// Blocking: returns within the time limit plus the stream client's bounded stop (a
// few milliseconds when the device behaves). Any thread; calls may run in parallel,
// each with its own stream client and decoder.

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "media/stream_wire.h"

struct CSnapshotRequest {
    int m_iStreamId = kStreamMain;  // kStreamMain or kStreamSub
    std::string m_strUser = "admin";
    std::string m_strPassword;
    int m_iTimeLimitMs = 5000;  // from the start to a decoded key frame
};

enum class ESnapshotOutcome : std::uint8_t {
    kPicture,      // a key frame was decoded
    kRefused,      // the device refused the stream login (m_iRefusedWith)
    kNoKeyFrame,   // no key frame arrived in time (m_iVideoPackets says whether anything did)
    kUndecodable,  // key frames arrived, none decoded in time
    kNoDecoder,    // the H.264 decoder could not be opened
    kStopped,      // stop was requested first
};

struct CSnapshot {
    ESnapshotOutcome m_eOutcome = ESnapshotOutcome::kNoKeyFrame;
    std::int32_t m_iRefusedWith = 0;
    int m_iVideoPackets = 0;  // video packets received
    int m_iKeyFrames = 0;     // key frames received
    int m_iWidth = 0;
    int m_iHeight = 0;
    // kPicture: m_iHeight rows of 4 x m_iWidth bytes, pixels R, G, B, 255.
    std::vector<std::uint8_t> m_rgbx;
    // Mean and standard deviation of the decoded luma (0 to 255): a deviation of a few
    // units means a uniform picture (a covered lens, a dead sensor).
    double m_dLumaMean = 0;
    double m_dLumaDeviation = 0;
    long m_lElapsedMs = 0;
};

// Grabs one decoded key frame from the device at addrNet (network order); stop ends the
// wait early (kStopped).
CSnapshot sGrabKeyFrame(std::uint32_t addrNet, const CSnapshotRequest& request,
                        const std::stop_token& stop = {});

// Short English text of an outcome ("picture", "login refused", ...).
const char* pszSnapshotOutcome(ESnapshotOutcome outcome);
