#pragma once

// Helpers of the transport tests: running code inside a test namespace from a thread,
// device-side sockets, and a receiver that records what the transport hands on.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "support/netns.h"

// Runs body on a thread that has entered ns. Sockets created there belong to ns and
// can be used afterwards from any thread, so one test process drives the station and
// the devices of several namespaces. Exceptions of body are rethrown here.
inline void vInNetns(const CNetns& ns, const std::function<void()>& body) {
    std::exception_ptr error;
    std::thread worker([&] {
        const std::string path = "/var/run/netns/" + ns.name();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        if (!entered) {
            error = std::make_exception_ptr(std::runtime_error("cannot enter " + ns.name()));
            return;
        }
        try {
            body();
        } catch (...) {
            error = std::current_exception();
        }
    });
    worker.join();
    if (error) {
        std::rethrow_exception(error);
    }
}

// A UDP socket of ns bound to addr:port; throws when it cannot be bound.
inline CSocket sBoundUdp(const CNetns& ns, const std::string& addr, std::uint16_t port) {
    CSocket socket;
    vInNetns(ns, [&] {
        socket = CSocket::Udp();
        std::uint32_t addrNet = 0;
        if (!fgParseIp(addr, addrNet) || iBind(socket, CEndpoint{addrNet, port}) != 0) {
            throw std::runtime_error("cannot bind " + addr + ":" + std::to_string(port));
        }
    });
    return socket;
}

using Clock = std::chrono::steady_clock;

inline long iElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// How often part occurs in text (the lines of a captured log).
inline std::size_t iCount(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline std::uint32_t iIp(const std::string& text) {
    std::uint32_t addrNet = 0;
    if (!fgParseIp(text, addrNet)) {
        throw std::invalid_argument(text);
    }
    return addrNet;
}

inline CEndpoint sEndpoint(const std::string& addr, std::uint16_t port) {
    return CEndpoint{iIp(addr), port};
}

struct CReceived {
    std::vector<std::uint8_t> m_data;
    CEndpoint m_from;
};

// Waits up to timeoutMs for one datagram on socket.
inline std::optional<CReceived> sRecvOne(const CSocket& socket, int timeoutMs = 2000) {
    int events = 0;
    if (iWaitOne(socket, true, false, timeoutMs, events) <= 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(65536);
    CReceived received;
    const int length = iRecvFrom(socket, buffer, received.m_from);
    if (length < 0) {
        return std::nullopt;
    }
    buffer.resize(static_cast<std::size_t>(length));
    received.m_data = std::move(buffer);
    return received;
}

// Records every datagram and announcement the transport hands on.
class CRecorder final : public ILanReceiver {
  public:
    struct CItem {
        bool m_isAnnouncement = false;
        std::vector<std::uint8_t> m_data;
        CEndpoint m_from;
    };

    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override {
        vAdd(false, data, from);
    }
    void vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) override {
        vAdd(true, data, from);
    }

    // Waits up to timeoutMs until at least count items arrived; returns all items.
    std::vector<CItem> vecWaitFor(std::size_t count, int timeoutMs = 2000) {
        std::unique_lock lock(m_lock);
        m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_items.size() >= count; });
        return m_items;
    }

  private:
    void vAdd(bool isAnnouncement, std::span<const std::uint8_t> data, const CEndpoint& from) {
        {
            const std::lock_guard lock(m_lock);
            m_items.push_back(CItem{isAnnouncement, {data.begin(), data.end()}, from});
        }
        m_arrived.notify_all();
    }

    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<CItem> m_items;
};
