#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Room for one 2560 x 1440 picture in the decoded layout below.
inline constexpr std::size_t kPictureBufferBytes = 5'529'600;

// Bytes of one picture of width x height in the decoded layout.
std::size_t uiPictureBytes(int width, int height);

// H.264 decoder of the live view, over libavcodec. One access unit in, at most one
// picture out, with no frame held back (low-delay, single-threaded decoding).
//
// Decoded layout, tightly packed in the caller's picture buffer: the luma plane
// (width x height bytes), then the first chroma plane (Cr), then the second chroma
// plane (Cb), each ((width + 1) / 2) x ((height + 1) / 2) bytes.
//
// Not thread-safe: one thread decodes; construction and destruction on any thread
// while nobody decodes.
class CH264Docoder {
  public:
    // Opens the decoder; fgIsOpen() says whether that worked (a line says why not).
    CH264Docoder();
    ~CH264Docoder();
    CH264Docoder(const CH264Docoder&) = delete;
    CH264Docoder& operator=(const CH264Docoder&) = delete;

    bool fgIsOpen() const { return m_context != nullptr; }

    // Decodes one access unit (the payload of one video packet) into `picture`.
    // Returns 1 when a whole picture was written and width and height are set
    // (both > 0); 0 when the access unit gave no picture; a negative libavcodec
    // error code when decoding failed; -100 when the picture does not fit into
    // `picture` (it is refused, nothing is written); -101 when the picture is not
    // 8-bit 4:2:0. Every result but 1 writes the "decode fail" lines with `seq`.
    int iDecode(std::span<const std::uint8_t> accessUnit, std::uint32_t seq,
                std::span<std::uint8_t> picture, int& width, int& height);

    static constexpr int kErrTooLarge = -100;
    static constexpr int kErrFormat = -101;

  private:
    struct SContextFree {
        void operator()(AVCodecContext* context) const;
    };
    struct SFrameFree {
        void operator()(AVFrame* frame) const;
    };
    struct SPacketFree {
        void operator()(AVPacket* packet) const;
    };

    int iCopyPicture(std::span<std::uint8_t> picture, int& width, int& height);

    std::unique_ptr<AVCodecContext, SContextFree> m_context;
    std::unique_ptr<AVFrame, SFrameFree> m_frame;
    std::unique_ptr<AVPacket, SPacketFree> m_packet;
    // The access unit with the zeroed tail the bitstream reader may touch.
    std::vector<std::uint8_t> m_input;
};
