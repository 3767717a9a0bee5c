// How many of a burst of 1,000 discovery-sized replies (240 bytes) the transport's
// receive thread hands on, with the system's default receive buffer and with the
// raised one. Runs in a private network namespace on its loopback, so the fixed ports
// never collide with anything; needs root (prints why and exits 0 otherwise).

#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "net/my_socket.h"

namespace {

constexpr int kBurstDatagrams = 1000;
constexpr std::size_t kReplyBytes = 240;

class CCounter final : public ILanReceiver {
  public:
    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint&) override {
        // Stands for the dispatcher's hand-over: one copy of the reply.
        m_lastCopy.assign(data.begin(), data.end());
        m_count.fetch_add(1, std::memory_order_relaxed);
    }
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}
    int iCount() const { return m_count.load(std::memory_order_relaxed); }

  private:
    std::vector<std::uint8_t> m_lastCopy;
    std::atomic<int> m_count{0};
};

// Sends the burst to the search socket and returns how many were handed on.
int iDeliveredWith(int recvBufferBytes) {
    CCounter counter;
    CMySocket transport;
    transport.vSetRecvBufferBytes(recvBufferBytes);
    if (!transport.Init(counter, std::vector{*sParseBindAddr("127.0.0.1/8")})) {
        std::fprintf(stderr, "transport did not open on 127.0.0.1\n");
        std::exit(1);
    }
    CSocket device = CSocket::Udp();
    if (iBind(device, CEndpoint{iIpv4Net(127, 0, 0, 2), kPortSearch}) != 0) {
        std::fprintf(stderr, "cannot bind the device socket\n");
        std::exit(1);
    }
    const std::vector<std::uint8_t> reply(kReplyBytes, 0x5A);
    const CEndpoint station{iIpv4Net(127, 0, 0, 1), kPortSearchSrc};
    for (int i = 0; i < kBurstDatagrams; ++i) {
        (void)iSendTo(device, reply, station);
    }
    // Done when nothing more arrives for 300 ms.
    int seen = -1;
    while (seen != counter.iCount()) {
        seen = counter.iCount();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    transport.UnInit();
    return seen;
}

}  // namespace

int main() {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::printf("net_burst: skipped, needs root to make its own network namespace\n");
        return 0;
    }
    constexpr int kRounds = 5;
    int defaultTotal = 0;
    int raisedTotal = 0;
    for (int round = 0; round < kRounds; ++round) {
        defaultTotal += iDeliveredWith(0);
        raisedTotal += iDeliveredWith(CMySocket::kDefaultRecvBufferBytes);
    }
    const double defaultMean = static_cast<double>(defaultTotal) / kRounds;
    const double raisedMean = static_cast<double>(raisedTotal) / kRounds;
    std::printf("burst of %d x %zu-byte datagrams, mean of %d rounds\n", kBurstDatagrams,
                kReplyBytes, kRounds);
    std::printf("  default receive buffer: %.1f delivered\n", defaultMean);
    std::printf("  raised receive buffer (%d bytes asked): %.1f delivered\n",
                CMySocket::kDefaultRecvBufferBytes, raisedMean);
    std::printf("  ratio raised/default: %.2f\n", defaultMean > 0 ? raisedMean / defaultMean : 0.0);
    return 0;
}
