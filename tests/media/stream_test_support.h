#pragma once

// What the stream client tests share: a clock the test drives, a recording owner and
// a watch on the diagnostic lines.

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/ba_network.h"

// A clock whose time moves only when the test advances it; sleepers wake when their
// time has come or their stop is requested.
class CDrivenClock final : public IStreamClock {
  public:
    Clock::time_point tpNow() override {
        std::lock_guard guard(m_lock);
        return m_now;
    }
    bool fgSleepFor(std::chrono::milliseconds duration, const std::stop_token& stop) override {
        std::unique_lock guard(m_lock);
        const Clock::time_point until = m_now + duration;
        m_moved.wait(guard, stop, [&] { return m_now >= until; });
        return !stop.stop_requested();
    }
    void vAdvance(std::chrono::milliseconds step) {
        {
            std::lock_guard guard(m_lock);
            m_now += step;
        }
        m_moved.notify_all();
    }

  private:
    std::mutex m_lock;
    std::condition_variable_any m_moved;
    Clock::time_point m_now{};
};

// Moves a driven clock by one tick every 2 ms of real time (ten times as fast) while
// it lives.
class CClockDriver {
  public:
    explicit CClockDriver(CDrivenClock& clock)
        : m_thread([&clock](std::stop_token stop) {
              while (!stop.stop_requested()) {
                  clock.vAdvance(std::chrono::milliseconds(kStreamTickMs));
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          }) {}

  private:
    std::jthread m_thread;
};

// One packet as the owner received it.
struct CGotPacket {
    CMediaHead m_head;
    std::size_t m_iBytes = 0;
    int m_iStreamId = 0;
    IStreamClock::Clock::time_point m_at;
};

// Records everything the client hands over.
class CRecordingOwner final : public IStreamOwner {
  public:
    explicit CRecordingOwner(IStreamClock& clock) : m_clock(clock) {}

    void vOnStreamPacket(int streamId, std::span<const std::uint8_t> packet) override {
        {
            std::lock_guard guard(m_lock);
            m_packets.push_back(
                CGotPacket{*sParseMediaHead(packet), packet.size(), streamId, m_clock.tpNow()});
        }
        m_changed.notify_all();
    }
    void vOnStreamStarted(int streamId) override {
        {
            std::lock_guard guard(m_lock);
            m_starts.push_back(streamId);
            m_startTimes.push_back(m_clock.tpNow());
        }
        m_changed.notify_all();
    }
    void vOnManageStarted() override { ++m_iManageStarted; }
    void vOnManageEnded() override { ++m_iManageEnded; }

    // Waits (up to 20 s) until the packets received so far satisfy done.
    bool fgWaitPackets(const std::function<bool(const std::vector<CGotPacket>&)>& done) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(20), [&] { return done(m_packets); });
    }
    bool fgWaitStarts(std::size_t count) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(20),
                                  [&] { return m_starts.size() >= count; });
    }
    std::vector<CGotPacket> vecPackets() {
        std::lock_guard guard(m_lock);
        return m_packets;
    }
    std::vector<IStreamClock::Clock::time_point> vecStartTimes() {
        std::lock_guard guard(m_lock);
        return m_startTimes;
    }

    std::atomic<int> m_iManageStarted{0};
    std::atomic<int> m_iManageEnded{0};

  private:
    IStreamClock& m_clock;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<CGotPacket> m_packets;
    std::vector<int> m_starts;
    std::vector<IStreamClock::Clock::time_point> m_startTimes;
};

inline std::size_t iCountType(const std::vector<CGotPacket>& packets, std::uint32_t type) {
    std::size_t count = 0;
    for (const CGotPacket& packet : packets) {
        count += packet.m_head.m_uiType == type ? 1 : 0;
    }
    return count;
}

// Sends the diagnostic lines (standard error) to a file while it lives, so a test can
// wait for a line.
class CLogWatch {
  public:
    CLogWatch() : m_file(std::tmpfile()), m_saved(::dup(STDERR_FILENO)) {
        std::fflush(stderr);
        ::dup2(::fileno(m_file), STDERR_FILENO);
    }
    ~CLogWatch() {
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        std::fclose(m_file);
    }
    CLogWatch(const CLogWatch&) = delete;
    CLogWatch& operator=(const CLogWatch&) = delete;

    std::string strText() const {
        std::string text;
        std::array<char, 65536> chunk{};
        off_t offset = 0;
        ssize_t got = 0;
        while ((got = ::pread(::fileno(m_file), chunk.data(), chunk.size(), offset)) > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(got));
            offset += got;
        }
        return text;
    }
    // Later waits look only at what is written from now on.
    void vMark() { m_iFrom = strText().size(); }
    // Waits up to 20 s for text after the mark; true when it came (the mark then
    // moves past it).
    bool fgWaitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::size_t found = strText().find(text, m_iFrom);
            if (found != std::string::npos) {
                m_iFrom = found + text.size();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

  private:
    std::FILE* m_file;
    int m_saved;
    std::size_t m_iFrom = 0;
};
