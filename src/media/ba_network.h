#pragma once

// The client of a device's live stream service. For one device at a time it keeps up
// to two TCP connections (port 20554), one per channel: the video channel (stream 0,
// the main stream, or stream 1, the sub stream) and the listen channel (stream 3,
// audio only). Per channel it opens the device's stream server (a UDP datagram to
// port 24218), logs in, asks for the stream, sends a heartbeat every second, cuts the
// byte stream into media packets and hands each to its owner. A watchdog connects
// again when packets stop for three to four seconds. It neither decodes nor stores.
//
// Threads per channel: a manage thread for the channel's life (connect phase: five
// attempts 20 ms apart, then one about every 2 s; watch phase: once a second the
// stream switch, the watchdog and the alive counter), and per connection a receive
// thread and a heartbeat thread. Bounded stops: 5,000 ms for the manage thread,
// 3,000 ms for the others (the receive thread is woken by shutting the connection
// down, so a stop takes milliseconds).
//
// When the device closes the connection, the receive thread ends at once (its line
// says "peer closed"): polling a closed socket would only spin. The watchdog then
// connects again at its next second, as for a thread that ended on a bad packet, and
// keeps asking every second while the connect fails (each attempt waits 500 ms), so a
// device that answers again is streaming within two seconds.
//
// A head whose magic is wrong, or whose payload could not fit the channel's receive
// buffer (913,408 bytes for video, 1,024 for listen), ends the receive thread without
// reading past the buffer; the watchdog reconnects ("stream exit,re-req").

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

#include "app/worker.h"
#include "media/stream_clock.h"
#include "media/stream_wire.h"
#include "net/socket_layer.h"

// What the owner of a channel is told. Each call must return quickly.
class IStreamOwner {
  public:
    virtual ~IStreamOwner() = default;
    // Receive thread: a delivered packet (video frame, audio frame, login reply,
    // authentication reply), head included, so its size is payload + 40. streamId is
    // the one the receive thread started with. packet points into the receive buffer
    // and is valid only during the call.
    virtual void vOnStreamPacket(int streamId, std::span<const std::uint8_t> packet) = 0;
    // Manage thread: after every successful connect, with the current stream id.
    virtual void vOnStreamStarted(int streamId) = 0;
    // Manage thread of the video channel, when it starts and when it ends.
    virtual void vOnManageStarted() {}
    virtual void vOnManageEnded() {}
};

// The credentials block: user name in bytes 0 to 31, password in 32 to 63.
using StreamCredentials = std::array<std::uint8_t, 2 * kStreamTextField>;
// Builds the block; each text cut to 31 bytes and NUL-terminated.
StreamCredentials sMakeStreamCredentials(std::string_view user, std::string_view password);

enum class EStreamChannel { kVideo = 0, kListen = 1 };

// Timing of the threads, in 20 ms ticks of the clock.
inline constexpr int kStreamTickMs = 20;
inline constexpr int kTicksPerSecond = 50;
inline constexpr int kConnectRetryTicks = 100;
inline constexpr int kQuickConnects = 5;
inline constexpr int kManageStopWaitMs = 5000;
inline constexpr int kWorkerStopWaitMs = 3000;
// Value of the alive counter after each media packet; it falls by one a second.
inline constexpr int kAliveFull = 3;

// Sends the open-stream-server datagram (command 22, 16 bytes) to addrNet:24218 from
// a fresh unbound UDP socket, closed right after the send. 0; -1 no socket ("create
// socket fail"); -2 short send ("send fail").
int iBaNetwork_OpenStreamServer(std::uint32_t addrNet);

// Thread rules: StartStream, StopStream and the destructor are for one controlling
// thread (the owner's); the queries may be called from any thread.
class CBaNetwork {
  public:
    // clock outlives the client.
    explicit CBaNetwork(IStreamClock& clock);
    // Stops the listen channel, then the video channel.
    ~CBaNetwork();
    CBaNetwork(const CBaNetwork&) = delete;
    CBaNetwork& operator=(const CBaNetwork&) = delete;

    // Starts stream 0, 1 (video channel) or 3 (listen channel) of the device at
    // addrNet (network order) for owner, which outlives the channel. When the channel
    // plays for that address already, only the stream id changes (the manage thread
    // switches within a second); for another address the channel is stopped and
    // started again. 0 started or already playing; -1 another stream id; -2 no thread.
    int BaNetwork_StartStream(int streamId, IStreamOwner& owner,
                              const StreamCredentials& credentials, std::uint32_t addrNet);
    // Stops the channel's manage thread (which stops the other two and closes the
    // connection), within 5,000 ms plus the other threads' own bounded stops.
    void BaNetwork_StopStream(EStreamChannel channel);

    // True while the channel's manage thread runs.
    bool fgPlaying(EStreamChannel channel) const;
    // The stream id the channel wants now.
    int iStreamId(EStreamChannel channel) const;

  private:
    struct CChannel {
        EStreamChannel m_eChannel = EStreamChannel::kVideo;
        EStreamMode m_eMode = EStreamMode::kVideo;
        // Replaced only by the manage thread while the other two are stopped.
        CSocket m_socket;
        // Requests come from three threads; each leaves in one piece.
        std::mutex m_sendLock;
        IStreamOwner* m_pOwner = nullptr;
        std::array<char, kStreamTextField> m_user{};
        std::array<char, kStreamTextField> m_password{};
        std::atomic<bool> m_fgPlaying{false};
        std::atomic<std::uint32_t> m_uiAddrNet{0};
        std::atomic<int> m_iStreamId{0};
        int m_iAlive = 0;  // guarded by m_aliveLock
        CWorker m_heartbeat;
        CWorker m_receive;
        CWorker m_manage;
    };

    CChannel& sChannel(EStreamChannel channel);
    const CChannel& sChannel(EStreamChannel channel) const;

    void ManageProc(CChannel& channel, const std::stop_token& stop);
    void StreamProc(CChannel& channel, int startStreamId, const std::stop_token& stop);
    void HeartbeatProc(CChannel& channel, const std::stop_token& stop);
    // Connect: stops the old connection's threads, opens the server, connects,
    // logs in, asks for the stream and starts the receive and heartbeat threads.
    // 0; -1 no thread; -2 connect failed. stop cuts the pause after the login short.
    int BaNetwork_StartStreamHandle(CChannel& channel, const std::stop_token& stop);
    // Stops the receive and heartbeat threads and closes the socket.
    void vStopConnection(CChannel& channel);
    void BaNetwork_Login(CChannel& channel);
    void BaNetwork_SendGetStreamCmd(CChannel& channel, int streamId);
    void BaNetwork_SwitchVideoStreamID(CChannel& channel, int streamId);
    // Sends one request on the channel's socket; false (and the "send fail" line) when
    // it did not all leave.
    bool fgSendRequest(CChannel& channel, std::span<const std::uint8_t> request, const char* who);
    void vSetAlive(CChannel& channel, int value);
    // Reads the alive counter and lowers it by one when above 0; the value read.
    int iTakeAlive(CChannel& channel);

    IStreamClock& m_clock;
    std::mutex m_aliveLock;
    CChannel m_video;
    CChannel m_listen;
};
