#include "media/stream_recorder.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/dbg_print.h"
#include "media/amr_decoder.h"

namespace {

constexpr std::string_view kAmrFileHead = "#!AMR\n";
constexpr std::uint32_t kWavHeadBytes = 44;
constexpr std::uint32_t kWavFormatChunkBytes = 16;
constexpr std::uint16_t kWavFormatPcm = 1;
constexpr std::uint16_t kWavChannels = 1;
constexpr std::uint16_t kWavBytesPerSample = 2;
constexpr int kWriterStopWaitMs = 5000;

void vPutText(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

void vPutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::string strErrno(int error) {
    return error != 0 ? std::string(std::strerror(error)) : std::string("write failed");
}

}  // namespace

std::vector<std::uint8_t> bufWavHead(std::uint32_t dataBytes, std::uint32_t samplesPerSecond) {
    std::vector<std::uint8_t> out;
    out.reserve(kWavHeadBytes);
    vPutText(out, "RIFF");
    vPutLe(out, kWavHeadBytes - 8 + dataBytes, 4);
    vPutText(out, "WAVE");
    vPutText(out, "fmt ");
    vPutLe(out, kWavFormatChunkBytes, 4);
    vPutLe(out, kWavFormatPcm, 2);
    vPutLe(out, kWavChannels, 2);
    vPutLe(out, samplesPerSecond, 4);
    vPutLe(out, samplesPerSecond * kWavChannels * kWavBytesPerSample, 4);
    vPutLe(out, kWavChannels * kWavBytesPerSample, 2);
    vPutLe(out, 8 * kWavBytesPerSample, 2);
    vPutText(out, "data");
    vPutLe(out, dataBytes, 4);
    return out;
}

std::string strRecordingCutLine(const CRecordingEnd& end) {
    return "recording cut after " + std::to_string(end.m_lFrames) + " frames / " +
           std::to_string(end.m_ulBytes) + " bytes: " + end.m_strError;
}

CStreamRecorder::CStreamRecorder(std::string path, ERecordFormat format, FnFirstFrame onFirstFrame,
                                 FnCut onCut)
    : m_strPath(std::move(path)),
      m_eFormat(format),
      m_fnFirstFrame(std::move(onFirstFrame)),
      m_fnCut(std::move(onCut)) {
    m_end.m_strPath = m_strPath;
}

CStreamRecorder::~CStreamRecorder() {
    sClose();
}

bool CStreamRecorder::fgOpen(std::string& error) {
    m_file.reset(std::fopen(m_strPath.c_str(), "wb"));
    if (m_file == nullptr) {
        error = "cannot write " + m_strPath + ": " + strErrno(errno);
        return false;
    }
    std::vector<std::uint8_t> head;
    if (m_eFormat == ERecordFormat::kAmr) {
        vPutText(head, kAmrFileHead);
    } else if (m_eFormat == ERecordFormat::kWav) {
        head = bufWavHead(0, kPcmSamplesPerSecond);
    }
    if (!head.empty() && (std::fwrite(head.data(), 1, head.size(), m_file.get()) != head.size() ||
                          std::fflush(m_file.get()) != 0)) {
        error = "cannot write " + m_strPath + ": " + strErrno(errno);
        m_file.reset();
        std::error_code ignored;
        std::filesystem::remove(m_strPath, ignored);
        return false;
    }
    m_ulCommitted = head.size();
    if (auto started =
            m_writer.sStart("rec-writer", [this](std::stop_token stop) { vWriterProc(stop); });
        !started) {
        error = "cannot start the recording's writer: " + started.error().m_strReason;
        m_file.reset();
        std::error_code ignored;
        std::filesystem::remove(m_strPath, ignored);
        return false;
    }
    m_fgAccepting = true;
    return true;
}

void CStreamRecorder::vAddVideo(bool keyFrame, std::span<const std::uint8_t> payload) {
    if (!m_fgAccepting || m_eFormat != ERecordFormat::kH264 || payload.empty()) {
        return;
    }
    // A decoder can begin only at a key frame: what comes before it is no picture.
    if (!m_fgKeySeen) {
        if (!keyFrame) {
            return;
        }
        m_fgKeySeen = true;
    }
    vPost(std::vector<std::uint8_t>(payload.begin(), payload.end()), 1);
}

void CStreamRecorder::vAddAmr(std::span<const std::uint8_t> payload) {
    const std::size_t frames = payload.size() / kAmrFrameBytes;
    if (!m_fgAccepting || m_eFormat == ERecordFormat::kH264 || frames == 0) {
        return;
    }
    const auto whole = payload.first(frames * kAmrFrameBytes);
    vPost(std::vector<std::uint8_t>(whole.begin(), whole.end()), static_cast<long>(frames),
          m_eFormat != ERecordFormat::kAmr);
}

void CStreamRecorder::vAddSamples(std::span<const std::int16_t> samples) {
    if (!m_fgAccepting || (m_eFormat != ERecordFormat::kWav && m_eFormat != ERecordFormat::kPcm) ||
        samples.empty()) {
        return;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t sample : samples) {
        vPutLe(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    vPost(std::move(bytes), static_cast<long>(samples.size() / kAmrFrameSamples));
}

void CStreamRecorder::vPost(std::vector<std::uint8_t> bytes, long frames, bool amr) {
    {
        std::lock_guard guard(m_lock);
        if (m_fgClosed || !m_strError.empty()) {
            return;
        }
        if (m_iPendingBytes + bytes.size() > kPendingMaxBytes) {
            // The writer is this far behind: the disk does not keep up.
            m_strError = "the disk did not keep up with the stream";
            m_fgAccepting = false;
            return;
        }
        m_iPendingBytes += bytes.size();
        m_queue.push_back(CItem{std::move(bytes), frames, amr});
    }
    m_queued.notify_one();
}

void CStreamRecorder::vCut(const std::string& error) {
    std::lock_guard guard(m_lock);
    if (m_strError.empty()) {
        m_strError = error;
    }
    m_fgAccepting = false;
}

std::vector<std::uint8_t> CStreamRecorder::bufDecodeAmr(const std::vector<std::uint8_t>& frames) {
    if (m_amrDecoder == nullptr) {
        m_amrDecoder = std::make_unique<CAmrDecoder>();
    }
    std::vector<std::uint8_t> bytes;
    std::array<std::int16_t, kAmrFrameSamples> samples{};
    const std::span<const std::uint8_t> all(frames);
    for (std::size_t at = 0; at + kAmrFrameBytes <= all.size(); at += kAmrFrameBytes) {
        if (!m_amrDecoder->fgDecode(all.subspan(at).first<kAmrFrameBytes>(), samples)) {
            break;
        }
        for (const std::int16_t sample : samples) {
            vPutLe(bytes, static_cast<std::uint16_t>(sample), 2);
        }
    }
    return bytes;
}

bool CStreamRecorder::fgWrite(const CItem& item) {
    const std::vector<std::uint8_t> decoded =
        item.m_fgAmr ? bufDecodeAmr(item.m_bytes) : std::vector<std::uint8_t>();
    const std::vector<std::uint8_t>& bytes = item.m_fgAmr ? decoded : item.m_bytes;
    if (bytes.empty()) {
        return true;
    }
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), m_file.get());
    if (written != bytes.size() || std::fflush(m_file.get()) != 0) {
        const int error = errno;
        vDbgPrint("camkit:err:%s, %d=>write %s: %s\r\n", "CStreamRecorder::fgWrite", __LINE__,
                  m_strPath.c_str(), strErrno(error).c_str());
        vCut(strErrno(error));
        if (m_fnCut) {
            CRecordingEnd end;
            end.m_strPath = m_strPath;
            end.m_lFrames = m_lFrames;
            end.m_ulBytes = m_lFrames > 0 ? m_ulCommitted : 0;
            end.m_fgKept = m_lFrames > 0;
            end.m_strError = strErrno(error);
            m_fnCut(end);
        }
        return false;
    }
    const bool first = m_lFrames == 0;
    m_ulCommitted += bytes.size();
    m_lFrames += item.m_lFrames;
    if (first && m_fnFirstFrame) {
        m_fnFirstFrame(m_strPath);
    }
    return true;
}

void CStreamRecorder::vWriterProc(const std::stop_token& stop) {
    bool writing = true;
    while (true) {
        std::deque<CItem> batch;
        {
            std::unique_lock guard(m_lock);
            m_queued.wait(guard, stop, [this] { return !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            batch.swap(m_queue);
            m_iPendingBytes = 0;
        }
        for (const CItem& item : batch) {
            writing = writing && fgWrite(item);
        }
    }
}

void CStreamRecorder::vFinishFile() {
    std::error_code ec;
    bool cut = false;
    {
        std::lock_guard guard(m_lock);
        cut = !m_strError.empty();
    }
    // A failed write may leave a piece of a frame behind: the file ends on the last
    // whole one instead.
    if (std::fclose(m_file.release()) != 0 && !cut) {
        vCut(strErrno(errno));
        cut = true;
    }
    if (cut) {
        std::filesystem::resize_file(m_strPath, m_ulCommitted, ec);
    }
    if (m_eFormat == ERecordFormat::kWav && m_lFrames > 0) {
        const std::uint64_t dataBytes = m_ulCommitted - kWavHeadBytes;
        const std::vector<std::uint8_t> head =
            bufWavHead(static_cast<std::uint32_t>(std::min<std::uint64_t>(
                           dataBytes, std::numeric_limits<std::uint32_t>::max() - kWavHeadBytes)),
                       kPcmSamplesPerSecond);
        // The head's blocks exist already: rewriting them needs no new room on the disk.
        const FilePtr file(std::fopen(m_strPath.c_str(), "r+b"));
        if (file == nullptr ||
            std::fwrite(head.data(), 1, head.size(), file.get()) != head.size() ||
            std::fflush(file.get()) != 0) {
            vCut("the WAV head could not be completed: " + strErrno(errno));
        }
    }
    m_end.m_lFrames = m_lFrames;
    m_end.m_ulBytes = m_lFrames > 0 ? m_ulCommitted : 0;
    if (m_lFrames == 0) {
        std::filesystem::remove(m_strPath, ec);
        return;
    }
    m_end.m_fgKept = true;
}

CRecordingEnd CStreamRecorder::sClose() {
    {
        std::lock_guard guard(m_lock);
        if (m_fgClosed) {
            return m_end;
        }
        m_fgClosed = true;
    }
    m_fgAccepting = false;
    if (m_file != nullptr) {
        // The writer empties the queue before it notices the stop.
        m_writer.vStop(kWriterStopWaitMs);
        vFinishFile();
    }
    std::lock_guard guard(m_lock);
    m_end.m_strError = m_strError;
    return m_end;
}
