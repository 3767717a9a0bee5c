#pragma once

// A fleet of simulated devices in one process, for tests, benchmarks, the station's
// demo mode and the kestrel-devsim program.
//
//   CDevSimConfig config;
//   config.m_addresses = *sConsecutiveAddresses("127.0.0.2", 24, error);
//   CDevSimFleet fleet(config);
//   fleet.vUpdateDevice(3, [](CSimDeviceState&, CSimBehaviour& b) { b.m_fgSilent = true; });
//   if (fleet.iStart(error) != 0) { ... }
//   ... the station searches 127.255.255.255:24218 and talks to 127.0.0.2..25:24216 ...
//   fleet.vStop();
//
// Network safety: the fleet binds only the addresses it is given, and refuses every
// address outside 127.0.0.0/8 unless m_fgAllowAnyAddr is set (for tests that run it in
// a network namespace of their own).
//
// Thread rules: every member may be called from any thread; calls wait for the
// receive thread to finish the datagram it is handling.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devsim/fleet_core.h"
#include "devsim/sim_device.h"
#include "net/socket_layer.h"

namespace devsim {

class CUdpService;
class CStreamService;
class CUpgradeService;
class CHornService;

// Message type of the announcement that asks the recorder group for a login.
inline constexpr std::uint32_t kAnnounceLogin = 93;

struct CDevSimConfig {
    // One device per entry, in this order (device index = position).
    std::vector<CSimAddress> m_addresses;
    // Allows addresses outside 127.0.0.0/8 (only inside a network namespace!).
    bool m_fgAllowAnyAddr = false;
    // Password of every device; also its default configuration's "default_pwd".
    std::string m_strPassword = "kavno";
    // Behaviour every device starts with.
    CSimBehaviour m_behaviour;
    // Receive buffer asked for each network's search socket.
    int m_iSearchBufferBytes = 4 << 20;
};

// `count` addresses from `first` ("A.B.C.D" or "A.B.C.D/P"; P defaults to 8 inside
// 127.0.0.0/8, else 24), one after another, all on first's network. nullopt with the
// reason in error when first is not an address or the run leaves the network.
std::optional<std::vector<CSimAddress>> sConsecutiveAddresses(const std::string& first,
                                                              std::size_t count,
                                                              std::string& error);
// Parses "A.B.C.D" or "A.B.C.D/P" with the same default prefix.
std::optional<CSimAddress> sParseSimAddress(const std::string& text);

class CDevSimFleet {
  public:
    // Builds every device in its default state (sMakeDefaultState); nothing is bound yet.
    explicit CDevSimFleet(CDevSimConfig config);
    ~CDevSimFleet();
    CDevSimFleet(const CDevSimFleet&) = delete;
    CDevSimFleet& operator=(const CDevSimFleet&) = delete;

    // Checks the addresses, raises the process's open-file limit if the fleet needs
    // more descriptors, binds every socket and starts the receive thread. The state
    // the devices have now is the one a factory reset returns to. 0, or -1 with the
    // reason in error (nothing stays bound then).
    int iStart(std::string& error);
    // Stops the receive thread and closes every socket. Safe to call twice.
    void vStop();

    std::size_t iDeviceCount() const { return m_iCount; }
    // Copies of one device's state and behaviour (index below iDeviceCount()).
    CSimDeviceState sDeviceState(std::size_t index) const;
    CSimBehaviour sBehaviour(std::size_t index) const;
    // Changes a device under the fleet's lock. The addresses in the state are what
    // the device reports; where it listens moves only through the set-network
    // requests and the factory reset.
    void vUpdateDevice(std::size_t index,
                       const std::function<void(CSimDeviceState&, CSimBehaviour&)>& change);
    // Where the device takes commands now (its address, port 24216); the address it
    // was configured with before start.
    CEndpoint sCommandEndpoint(std::size_t index) const;
    // Multicasts the device's announcement (start byte 0x68) to 233.233.233.233:34226
    // from its own address. 0, or a negative error number (also when not started).
    int iAnnounce(std::size_t index, std::uint32_t messageType = kAnnounceLogin);
    // Announces every device; the number that went out.
    std::size_t iAnnounceAll(std::uint32_t messageType = kAnnounceLogin);

  private:
    int iCheckAddresses(std::string& error) const;

    std::size_t m_iCount = 0;
    mutable CSimFleetCore m_core;
    std::unique_ptr<CUdpService> m_udp;
    std::unique_ptr<CStreamService> m_stream;
    std::unique_ptr<CUpgradeService> m_upgrade;
    std::unique_ptr<CHornService> m_horn;
};

}  // namespace devsim
