// The stream client on one 1080p30 main stream of a simulated camera: sixty seconds of
// stream, sent ten times as fast (six seconds of wall time). Prints the packets lost,
// the client's CPU time per second of stream, and the packet cutter's throughput
// against a plain memcpy of the same bytes, both measured in this run.
//
// The camera runs in a child process (so the CPU time measured here is the client's
// alone) on 127.88.0.2, loopback only.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/sim_media.h"
#include "media/ba_network.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStreamSeconds = 60;
constexpr int kPace = 10;
constexpr std::size_t kFrames = static_cast<std::size_t>(kStreamSeconds) * devsim::kSimFps;
constexpr const char* kCamera = "127.88.0.2/24";

double fCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The camera: starts the fleet, says "ready", serves until the parent closes its end,
// then reports what it sent and dropped.
[[noreturn]] void vRunCamera(int commandFd, int reportFd) {
    devsim::vecVideoLoop(1920, 1080);
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses(kCamera, 1, error);
    devsim::CDevSimFleet fleet(config);
    fleet.vUpdateDevice(0, [](devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
        behaviour.m_stream.m_iPaceFactor = kPace;
    });
    std::string line = fleet.iStart(error) == 0 ? "ready\n" : "fail " + error + "\n";
    (void)::write(reportFd, line.data(), line.size());
    char byte = 0;
    while (::read(commandFd, &byte, 1) > 0) {
    }
    const devsim::CSimStreamLog log = fleet.sDeviceState(0).m_stream;
    fleet.vStop();
    line =
        std::to_string(log.m_ulMediaPackets) + " " + std::to_string(log.m_ulDroppedPackets) + "\n";
    (void)::write(reportFd, line.data(), line.size());
    ::_exit(0);
}

class CCounter final : public IStreamOwner {
  public:
    void vOnStreamPacket(int, std::span<const std::uint8_t> packet) override {
        const CMediaHead head = *sParseMediaHead(packet);
        if (head.m_uiType != kPktVideoFrame) {
            return;
        }
        std::lock_guard guard(m_lock);
        if (m_lastSequence && head.m_uiSequence != *m_lastSequence + 1) {
            m_iLost += head.m_uiSequence - *m_lastSequence - 1;
        }
        m_lastSequence = head.m_uiSequence;
        m_ulBytes += packet.size();
        if (++m_iFrames >= kFrames) {
            m_done.notify_all();
        }
    }
    void vOnStreamStarted(int) override { ++m_iConnects; }

    bool fgWait(Clock::time_point deadline) {
        std::unique_lock guard(m_lock);
        return m_done.wait_until(guard, deadline, [this] { return m_iFrames >= kFrames; });
    }

    std::mutex m_lock;
    std::condition_variable m_done;
    std::size_t m_iFrames = 0;
    std::size_t m_iLost = 0;
    std::uint64_t m_ulBytes = 0;
    std::optional<std::uint32_t> m_lastSequence;
    std::atomic<int> m_iConnects{0};
};

// A minute of 1080p at 4 Mbit/s as the camera would send it: a 100 KB key frame every
// second, P-frames of about 13 KB in between.
std::vector<std::uint8_t> bufSyntheticMinute() {
    std::vector<std::uint8_t> stream;
    for (std::size_t frame = 0; frame < kFrames; ++frame) {
        const bool key = frame % devsim::kSimFps == 0;
        const std::size_t payload = key ? 100'000 : 13'000 + (frame * 7919) % 2000;
        CMediaHead head;
        head.m_uiMagic = kStreamMagic;
        head.m_uiType = kPktVideoFrame;
        head.m_uiPayloadBytes = static_cast<std::uint32_t>(payload);
        head.m_ucCodec = kCodecH264;
        head.m_ucKeyFrame = key ? 1 : 0;
        head.m_uiSequence = static_cast<std::uint32_t>(frame);
        const auto bytes = bufBuildMediaHead(head);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
        stream.resize(stream.size() + payload, static_cast<std::uint8_t>(frame));
    }
    return stream;
}

// Feeds the stream in reads of readBytes; returns the seconds taken and the packets.
std::pair<double, std::size_t> sTimeCutter(const std::vector<std::uint8_t>& stream,
                                           std::size_t readBytes) {
    CMediaPacketCutter cutter(kVideoRecvBufferBytes);
    std::size_t packets = 0;
    const auto start = Clock::now();
    for (std::size_t offset = 0; offset < stream.size();) {
        const std::span<std::uint8_t> free = cutter.spanFree();
        const std::size_t take = std::min({readBytes, free.size(), stream.size() - offset});
        std::memcpy(free.data(), stream.data() + offset, take);
        cutter.vCommit(take);
        offset += take;
        std::span<const std::uint8_t> packet;
        while (cutter.sNext(packet).m_eCut == ECut::kPacket) {
            ++packets;
        }
        cutter.vCompact();
    }
    return {std::chrono::duration<double>(Clock::now() - start).count(), packets};
}

// The same bytes copied in the same reads into a buffer of the same size; check
// receives a byte of the buffer, so the copies cannot be left out.
double fTimeMemcpy(const std::vector<std::uint8_t>& stream, std::size_t readBytes,
                   unsigned& check) {
    std::vector<std::uint8_t> buffer(kVideoRecvBufferBytes);
    const auto start = Clock::now();
    std::size_t at = 0;
    for (std::size_t offset = 0; offset < stream.size();) {
        const std::size_t take = std::min({readBytes, buffer.size() - at, stream.size() - offset});
        std::memcpy(buffer.data() + at, stream.data() + offset, take);
        offset += take;
        at = (at + take) % buffer.size();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    check += buffer[at / 2];
    return seconds;
}

}  // namespace

int main() {
    int commandPipe[2];
    int reportPipe[2];
    if (::pipe(commandPipe) != 0 || ::pipe(reportPipe) != 0) {
        std::perror("pipe");
        return 1;
    }
    const pid_t camera = ::fork();
    if (camera == 0) {
        ::close(commandPipe[1]);
        ::close(reportPipe[0]);
        vRunCamera(commandPipe[0], reportPipe[1]);
    }
    ::close(commandPipe[0]);
    ::close(reportPipe[1]);
    char report[256] = {};
    if (::read(reportPipe[0], report, sizeof report - 1) <= 0 ||
        std::strncmp(report, "ready", 5) != 0) {
        std::fprintf(stderr, "the simulated camera did not start: %s\n", report);
        return 1;
    }

    std::uint32_t cameraAddr = 0;
    fgParseIp("127.88.0.2", cameraAddr);
    CSteadyStreamClock clock;
    CCounter counter;
    const double cpuBefore = fCpuSeconds();
    const auto started = Clock::now();
    bool complete = false;
    {
        CBaNetwork client(clock);
        client.BaNetwork_StartStream(kStreamMain, counter, sMakeStreamCredentials("admin", "kavno"),
                                     cameraAddr);
        complete = counter.fgWait(started + std::chrono::seconds(3 * kStreamSeconds / kPace + 30));
    }
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const double cpuSeconds = fCpuSeconds() - cpuBefore;

    ::close(commandPipe[1]);
    std::memset(report, 0, sizeof report);
    (void)::read(reportPipe[0], report, sizeof report - 1);
    int status = 0;
    ::waitpid(camera, &status, 0);
    unsigned long long sent = 0;
    unsigned long long dropped = 0;
    std::sscanf(report, "%llu %llu", &sent, &dropped);

    std::printf("stream: %zu of %zu frames of 1080p30 (%d s of stream) in %.1f s wall time%s\n",
                counter.m_iFrames, kFrames, kStreamSeconds, wallSeconds,
                complete ? "" : " -- INCOMPLETE");
    std::printf("packets lost: %zu sequence gaps, %llu of %llu dropped by the camera (goal 0)\n",
                counter.m_iLost, dropped, sent);
    std::printf("reconnects: %d\n", counter.m_iConnects.load() - 1);
    std::printf("client CPU: %.2f ms per second of stream (%.3f s for %d s; %.1f MB received)\n",
                1000.0 * cpuSeconds / kStreamSeconds, cpuSeconds, kStreamSeconds,
                static_cast<double>(counter.m_ulBytes) / 1e6);

    const std::vector<std::uint8_t> minute = bufSyntheticMinute();
    constexpr std::size_t kReadBytes = 64 * 1024;
    double cutterSeconds = 1e9;
    double memcpySeconds = 1e9;
    std::size_t packets = 0;
    unsigned check = 0;
    for (int round = 0; round < 5; ++round) {
        const auto [seconds, cut] = sTimeCutter(minute, kReadBytes);
        cutterSeconds = std::min(cutterSeconds, seconds);
        packets = cut;
        memcpySeconds = std::min(memcpySeconds, fTimeMemcpy(minute, kReadBytes, check));
    }
    const double megabytes = static_cast<double>(minute.size()) / 1e6;
    std::printf(
        "cutter: %.0f MB/s (%zu packets), memcpy of the same reads: %.0f MB/s, "
        "cutter / memcpy time: %.2f (check %u)\n",
        megabytes / cutterSeconds, packets, megabytes / memcpySeconds,
        cutterSeconds / memcpySeconds, check);
    return complete && counter.m_iLost == 0 && dropped == 0 ? 0 : 1;
}
