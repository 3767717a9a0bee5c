#pragma once

// One recording of a live stream channel, for every front end: an H.264 recording
// begins with the first key frame and holds the device's Annex B access units one
// after the other; a sound recording holds AMR frames behind the "#!AMR\n" head, or
// decoded 8 kHz 16-bit mono samples as a WAV file or as raw PCM.
//
// The file grows under its own name while the recording runs (a live recording can be
// watched). A write that fails (a full disk, a lost folder) cuts the recording: what
// was written before stays, ends on a whole frame (a WAV head counts exactly the
// samples kept) and is closed as a normal recording; the end says "cut" with the
// error. A recording that ends without a single frame leaves no file at all.
//
// Threads: the vAdd calls come from a stream's receive thread (or the audio thread)
// and only copy into a bounded queue; a writer thread of the recorder writes. sClose
// and the destructor from the owner's thread; sClose waits for the queue to be written.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/file_util.h"
#include "app/worker.h"
#include "media/amr_decoder.h"

enum class ERecordFormat : std::uint8_t {
    kH264,  // video payloads from the first key frame
    kAmr,   // "#!AMR\n", then the audio payloads' whole frames
    kWav,   // 44-byte head, then the samples (AMR frames are decoded by the writer)
    kPcm,   // the samples alone (the same)
};

// How a recording ended.
struct CRecordingEnd {
    std::string m_strPath;        // the recording's name
    bool m_fgKept = false;        // a file with at least one frame is at m_strPath
    long m_lFrames = 0;           // whole frames in the file (20 ms frames for sound)
    std::uint64_t m_ulBytes = 0;  // bytes of the file, head included
    std::string m_strError;       // empty unless the recording was cut
    bool fgCut() const { return !m_strError.empty(); }
};

// "recording cut after N frames / N bytes: <error>".
std::string strRecordingCutLine(const CRecordingEnd& end);

class CStreamRecorder {
  public:
    // Pending bytes the writer may lag behind; beyond that the recording is cut.
    static constexpr std::size_t kPendingMaxBytes = 16U << 20;
    // Called once on the writer thread after the first frame reached the file; it
    // only posts (a result line) and returns.
    using FnFirstFrame = std::function<void(const std::string& path)>;
    // Called once on the writer thread when a write failed, with what the file keeps
    // (final: nothing is written after a cut); it only posts and returns.
    using FnCut = std::function<void(const CRecordingEnd& end)>;

    CStreamRecorder(std::string path, ERecordFormat format, FnFirstFrame onFirstFrame = {},
                    FnCut onCut = {});
    ~CStreamRecorder();
    CStreamRecorder(const CStreamRecorder&) = delete;
    CStreamRecorder& operator=(const CStreamRecorder&) = delete;

    // Creates the file and starts the writer; false with the reason in error when the
    // file cannot be created or the writer cannot start.
    bool fgOpen(std::string& error);

    // One video frame (kH264); frames before the first key frame are left out.
    void vAddVideo(bool keyFrame, std::span<const std::uint8_t> payload);
    // One audio payload of whole AMR frames (kAmr as they are; kWav, kPcm decoded).
    void vAddAmr(std::span<const std::uint8_t> payload);
    // Video resumes only at the next key frame (after a pause of the recording).
    void vWaitForKeyFrame() { m_fgKeySeen = false; }
    // Decoded samples (kWav, kPcm).
    void vAddSamples(std::span<const std::int16_t> samples);

    // Writes what is queued, finishes the file and says how it ended. Later calls
    // return the same end.
    CRecordingEnd sClose();

    const std::string& strPath() const { return m_strPath; }

  private:
    struct CItem {
        std::vector<std::uint8_t> m_bytes;
        long m_lFrames = 0;
        bool m_fgAmr = false;  // AMR frames for a sample recording: decoded first
    };

    void vPost(std::vector<std::uint8_t> bytes, long frames, bool amr = false);
    // Samples of the item's AMR frames, little-endian; empty when none decoded.
    std::vector<std::uint8_t> bufDecodeAmr(const std::vector<std::uint8_t>& frames);
    void vWriterProc(const std::stop_token& stop);
    // Writes one item; false (and the error kept) when the file took less.
    bool fgWrite(const CItem& item);
    void vCut(const std::string& error);
    void vFinishFile();

    const std::string m_strPath;
    const ERecordFormat m_eFormat;
    FnFirstFrame m_fnFirstFrame;
    FnCut m_fnCut;

    std::mutex m_lock;  // guards the queue, the error and the end; never held to write
    std::condition_variable_any m_queued;
    std::deque<CItem> m_queue;
    std::size_t m_iPendingBytes = 0;
    std::string m_strError;
    bool m_fgClosed = false;
    CRecordingEnd m_end;

    std::atomic<bool> m_fgAccepting{false};
    std::atomic<bool> m_fgKeySeen{false};
    // The writer thread's own: the file and what it holds.
    FilePtr m_file;
    std::unique_ptr<CAmrDecoder> m_amrDecoder;
    std::uint64_t m_ulCommitted = 0;
    long m_lFrames = 0;
    CWorker m_writer;
};

// The 44-byte head of a WAV file of 16-bit mono samples holding dataBytes of samples.
std::vector<std::uint8_t> bufWavHead(std::uint32_t dataBytes, std::uint32_t samplesPerSecond);
