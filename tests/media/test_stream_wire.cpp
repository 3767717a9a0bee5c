#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/stream_wire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bufPacket(std::uint32_t type, std::uint8_t streamId, std::uint32_t sequence,
                std::size_t payloadBytes) {
    CMediaHead head;
    head.m_uiMagic = kStreamMagic;
    head.m_uiType = type;
    head.m_uiPayloadBytes = static_cast<std::uint32_t>(payloadBytes);
    head.m_ucStreamId = streamId;
    head.m_uiSequence = sequence;
    const auto headBytes = bufBuildMediaHead(head);
    Bytes packet(headBytes.begin(), headBytes.end());
    for (std::size_t i = 0; i < payloadBytes; ++i) {
        packet.push_back(static_cast<std::uint8_t>(sequence + i));
    }
    return packet;
}

// Feeds the stream in chunks of the given sizes (cycled) and collects the packets.
std::vector<Bytes> vecCut(const Bytes& stream, const std::vector<std::size_t>& chunks,
                          std::size_t capacity, ECut* last = nullptr) {
    CMediaPacketCutter cutter(capacity);
    std::vector<Bytes> packets;
    std::size_t offset = 0;
    for (std::size_t i = 0; offset < stream.size(); ++i) {
        const std::size_t room = cutter.spanFree().size();
        const std::size_t take =
            std::min({chunks[i % chunks.size()], room, stream.size() - offset});
        std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(offset), take,
                    cutter.spanFree().begin());
        cutter.vCommit(take);
        offset += take;
        std::span<const std::uint8_t> packet;
        CCutResult cut = cutter.sNext(packet);
        for (; cut.m_eCut == ECut::kPacket; cut = cutter.sNext(packet)) {
            packets.emplace_back(packet.begin(), packet.end());
        }
        if (last != nullptr) {
            *last = cut.m_eCut;
        }
        if (cut.m_eCut != ECut::kNeedMore) {
            break;
        }
        cutter.vCompact();
    }
    return packets;
}

TEST(StreamWire, RequestsAreLaidOutByteForByte) {
    const auto login = bufBuildStreamLogin("admin", "0123456789abcdef0123456789abcdefXYZ");
    EXPECT_EQ(Bytes(login.begin(), login.begin() + 8),
              (Bytes{0x07, 0x74, 0x07, 0x71, 0x04, 0x00, 0x01, 0x00}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&login[20])), "admin");
    // A password longer than its field is cut to 31 bytes and stays terminated.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&login[52])),
              "0123456789abcdef0123456789abcde");
    EXPECT_EQ(login[83], 0);

    struct CRow {
        StreamRequest m_request;
        Bytes m_expectedHead;  // bytes 0 to 13
    };
    const std::vector<CRow> rows{
        {bufBuildGetStream(1, EStreamMode::kVideo),
         {0x07, 0x74, 0x07, 0x71, 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 1}},
        {bufBuildGetStream(3, EStreamMode::kListen),
         {0x07, 0x74, 0x07, 0x71, 0x12, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 3}},
        {bufBuildSwitchStream(1),
         {0x07, 0x74, 0x07, 0x71, 0x08, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 1}},
        {bufBuildStreamHeartbeat(),
         {0x07, 0x74, 0x07, 0x71, 0x06, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0}},
    };
    for (const CRow& row : rows) {
        EXPECT_EQ(Bytes(row.m_request.begin(), row.m_request.begin() + 14), row.m_expectedHead);
        EXPECT_EQ(Bytes(row.m_request.begin() + 14, row.m_request.end()), Bytes(6, 0));
    }
}

TEST(StreamWire, HeadFieldsAtTheirOffsets) {
    Bytes bytes(40, 0);
    const Bytes front{0x07, 0x74, 0x07, 0x71, 0x01, 0x00, 0x01, 0x00, 0xFB,
                      0xFF, 0xFF, 0xFF, 0x10, 0x27, 0x00, 0x00, 0xEE, 0x01};
    std::copy(front.begin(), front.end(), bytes.begin());
    bytes[22] = 0x60;
    bytes[23] = 1;
    bytes[32] = 0x2A;
    bytes[35] = 0x01;
    const CMediaHead head = *sParseMediaHead(bytes);
    EXPECT_EQ(head.m_uiMagic, kStreamMagic);
    EXPECT_EQ(head.m_uiType, kPktVideoFrame);
    EXPECT_EQ(head.m_iResult, -5);
    EXPECT_EQ(head.m_uiPayloadBytes, 10000U);
    EXPECT_EQ(head.m_ucStreamId, 1);
    EXPECT_EQ(head.m_ucCodec, kCodecH264);
    EXPECT_EQ(head.m_ucKeyFrame, 1);
    EXPECT_EQ(head.m_uiSequence, 0x0100002AU);
    const auto rebuilt = bufBuildMediaHead(head);
    bytes[16] = 0;  // not interpreted, so not rebuilt
    EXPECT_EQ(Bytes(rebuilt.begin(), rebuilt.end()), bytes);
    EXPECT_FALSE(sParseMediaHead(std::span(bytes).first(39)));
}

TEST(StreamWire, VideoFrameFilterKeepsOtherStreamsAndDropsTheWrongVideoStream) {
    struct CRow {
        std::uint8_t m_headId;
        int m_wanted;
        bool m_kept;
    };
    for (const CRow& row : {CRow{0, 0, true}, CRow{1, 1, true}, CRow{0, 1, false},
                            CRow{1, 0, false}, CRow{2, 1, true}, CRow{255, 0, true}}) {
        EXPECT_EQ(fgAcceptVideoFrame(row.m_headId, row.m_wanted), row.m_kept)
            << int{row.m_headId} << " wanted " << row.m_wanted;
    }
}

// Three packets (one without payload) cut the same whatever the reads look like:
// one split at every offset, and reads of every size from 1 byte to all at once.
TEST(StreamWire, CutterFindsEveryPacketWhateverTheReads) {
    Bytes stream;
    std::vector<Bytes> sent{bufPacket(kPktVideoFrame, 0, 7, 300),
                            bufPacket(kPktLoginReply, 0, 0, 0),
                            bufPacket(kPktAudioFrame, 3, 8, 64)};
    for (const Bytes& packet : sent) {
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    for (std::size_t split = 1; split < stream.size(); ++split) {
        EXPECT_EQ(vecCut(stream, {split, stream.size()}, 1024), sent) << "split at " << split;
    }
    for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        EXPECT_EQ(vecCut(stream, {chunk}, 1024), sent) << "reads of " << chunk;
    }
    // A packet that fills the buffer exactly still fits.
    const Bytes full = bufPacket(kPktAudioFrame, 3, 1, 1024 - 40);
    EXPECT_EQ(vecCut(full, {100}, 1024), std::vector<Bytes>{full});
}

TEST(StreamWire, CutterReportsBadMagicAndPayloadsThatCannotFit) {
    struct CRow {
        const char* m_name;
        Bytes m_stream;
        ECut m_expected;
        std::size_t m_packetsBefore;
    };
    Bytes badMagic = bufPacket(kPktVideoFrame, 0, 2, 10);
    badMagic[0] = 0x08;
    Bytes afterGood = bufPacket(kPktVideoFrame, 0, 1, 10);
    afterGood.insert(afterGood.end(), badMagic.begin(), badMagic.end());
    Bytes oversize = bufPacket(kPktAudioFrame, 3, 0, 0);
    oversize[12] = 0xE1;  // 993 bytes, where the buffer holds 984 after the head
    oversize[13] = 0x03;
    Bytes oneTooMany = bufPacket(kPktAudioFrame, 3, 0, 0);
    oneTooMany[12] = 0xD9;  // 985: one byte more than the buffer holds
    oneTooMany[13] = 0x03;
    Bytes wrapping = bufPacket(kPktVideoFrame, 0, 0, 0);
    std::fill_n(wrapping.begin() + 12, 4, 0xFF);  // 40 + length would wrap in 32 bits
    const std::vector<CRow> rows{
        {"bad magic first", badMagic, ECut::kBadMagic, 0},
        {"bad magic after a packet", afterGood, ECut::kBadMagic, 1},
        {"oversize", oversize, ECut::kOverflow, 0},
        {"one byte too many", oneTooMany, ECut::kOverflow, 0},
        {"wrapping length", wrapping, ECut::kOverflow, 0},
    };
    for (const CRow& row : rows) {
        ECut last = ECut::kNeedMore;
        const auto packets = vecCut(row.m_stream, {7}, 1024, &last);
        EXPECT_EQ(last, row.m_expected) << row.m_name;
        EXPECT_EQ(packets.size(), row.m_packetsBefore) << row.m_name;
    }
    const CCutResult cut = sCutPacket(wrapping, kVideoRecvBufferBytes);
    EXPECT_EQ(cut.m_uiPayloadBytes, 0xFFFFFFFFU);
}

}  // namespace
