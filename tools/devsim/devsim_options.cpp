#include "devsim/devsim_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <tuple>

#include "devsim/sim_addr.h"
#include "devsim/sim_bench_faults.h"

namespace devsim {

namespace {

constexpr int kDelayMaxMs = 60000;
constexpr int kCopiesMax = 10;
constexpr std::size_t kUpgVersionMax = 31;  // the version field of the search answer

// Whole text as a decimal number in [low, high].
std::optional<long long> sParseNumber(const std::string& text, long long low, long long high) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, rc] = std::from_chars(text.data(), end, value);
    if (text.empty() || rc != std::errc{} || stop != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> sParseMs(const std::string& text) {
    const auto value = sParseNumber(text, 0, kDelayMaxMs);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

int iParseTweak(const std::string& text, CDeviceTweak& tweak, std::string& error) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        error = "--behave needs INDEX:KIND[=VALUE], got \"" + text + "\"";
        return -1;
    }
    const std::string index = text.substr(0, colon);
    if (index != "all") {
        const auto number = sParseNumber(index, 0, static_cast<long long>(kFleetMax) - 1);
        if (!number) {
            error = "--behave: device index must be a number or \"all\", got \"" + index + "\"";
            return -1;
        }
        tweak.m_index = static_cast<std::size_t>(*number);
    }
    const std::string rest = text.substr(colon + 1);
    const std::size_t equals = rest.find('=');
    tweak.m_strKind = rest.substr(0, equals);
    tweak.m_strValue = equals == std::string::npos ? std::string() : rest.substr(equals + 1);
    // Try it on a scratch device so that a bad kind or value is a usage error now.
    CSimDeviceState state;
    CSimBehaviour behaviour;
    return iApplyTweak(tweak, state, behaviour, error);
}

// The live stream kinds that take a number.
int iApplyStreamTweak(const std::string& kind, const std::string& value,
                      CSimStreamBehaviour& stream, std::string& error) {
    constexpr long long kCountMax = 1'000'000'000;
    const std::map<std::string, std::tuple<int*, long long, long long>> kinds{
        {"stream-login", {&stream.m_iLoginResult, -128, 127}},
        {"stream-serve", {&stream.m_iServeStream, 0, 1}},
        {"stream-stall", {&stream.m_iStallAfter, 0, kCountMax}},
        {"stream-close", {&stream.m_iCloseAfter, 0, kCountMax}},
        {"stream-bad-magic", {&stream.m_iBadMagicAfter, 0, kCountMax}},
        {"stream-oversize", {&stream.m_iOversizeAfter, 0, kCountMax}},
        {"stream-merge", {&stream.m_iMergePackets, 1, 16}},
        {"stream-pace", {&stream.m_iPaceFactor, 1, 100}},
    };
    const auto found = kinds.find(kind);
    if (found == kinds.end()) {
        error = "--behave: unknown kind \"" + kind + "\"";
        return -1;
    }
    const auto [field, low, high] = found->second;
    const auto number = sParseNumber(value, low, high);
    if (!number) {
        error = "--behave " + kind + ": needs a number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return -1;
    }
    *field = static_cast<int>(*number);
    return 0;
}

// The firmware transfer behaviour named by text; false for an unknown name.
bool fgApplyUpgradeBehaviour(const std::string& text, CSimBehaviour& behaviour) {
    static const std::map<std::string, EUpgMode, std::less<>> modes{
        {"listen", EUpgMode::kListen},
        {"connect-back", EUpgMode::kConnectBack},
        {"refuse", EUpgMode::kRefuse}};
    static const std::map<std::string, EUpgFault, std::less<>> faults{
        {"fail", EUpgFault::kAnswerFailed},
        {"close", EUpgFault::kCloseMidway},
        {"stall", EUpgFault::kStall},
        {"double-answer", EUpgFault::kDoubleAnswer},
        {"split-answer", EUpgFault::kSplitAnswer}};
    if (const auto mode = modes.find(text); mode != modes.end()) {
        behaviour.m_eUpgMode = mode->second;
        return true;
    }
    if (const auto fault = faults.find(text); fault != faults.end()) {
        behaviour.m_eUpgFault = fault->second;
        return true;
    }
    return false;
}

// "refuse", "drop" or "drop:BYTES"; false for anything else.
bool fgApplyHornBehaviour(const std::string& text, CSimHornBehaviour& horn) {
    constexpr std::size_t kDefaultDropBytes = 4096;
    constexpr long long kDropBytesMax = 1LL << 30;
    if (text == "refuse") {
        horn.m_eFault = EHornFault::kRefuse;
        return true;
    }
    std::size_t dropBytes = kDefaultDropBytes;
    if (text.starts_with("drop:")) {
        const auto bytes = sParseNumber(text.substr(5), 1, kDropBytesMax);
        if (!bytes) {
            return false;
        }
        dropBytes = static_cast<std::size_t>(*bytes);
    } else if (text != "drop") {
        return false;
    }
    horn.m_eFault = EHornFault::kDropAfter;
    horn.m_iDropAfterBytes = dropBytes;
    return true;
}

}  // namespace

int iApplyTweak(const CDeviceTweak& tweak, CSimDeviceState& state, CSimBehaviour& behaviour,
                std::string& error) {
    const std::string& kind = tweak.m_strKind;
    const std::string& value = tweak.m_strValue;
    auto bad = [&error, &kind](const std::string& why) {
        error = "--behave " + kind + ": " + why;
        return -1;
    };
    if (kind == "silent") {
        behaviour.m_fgSilent = true;
    } else if (kind == "refuse-login") {
        behaviour.m_fgRefuseLogin = true;
    } else if (kind == "upgrade") {
        if (!fgApplyUpgradeBehaviour(value, behaviour)) {
            return bad(
                "wants listen, connect-back, refuse, fail, close, stall, double-answer "
                "or split-answer");
        }
    } else if (kind == "upgrade-restart-ms") {
        const std::optional<int> ms = sParseMs(value);
        if (!ms) {
            return bad("needs milliseconds from 0 to " + std::to_string(kDelayMaxMs));
        }
        behaviour.m_iUpgRestartMs = *ms;
    } else if (kind == "upgrade-version") {
        if (value.empty() || value.size() > kUpgVersionMax) {
            return bad("needs 1 to " + std::to_string(kUpgVersionMax) + " characters");
        }
        behaviour.m_strUpgVersion = value;
    } else if (kind == "lower-uid") {
        std::transform(
            state.m_strUid.begin(), state.m_strUid.end(), state.m_strUid.begin(),
            [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    } else if (kind == "over-wifi") {
        vAnswerOverWifi(state);
    } else if (kind == "learn-fails") {
        behaviour.m_fgLearnFails = true;
    } else if (kind == "learn-ms") {
        const std::optional<int> ms = sParseMs(value);
        if (!ms) {
            return bad("needs milliseconds from 0 to " + std::to_string(kDelayMaxMs));
        }
        behaviour.m_iLearnMs = *ms;
    } else if (kind == "delay" || kind == "restart-ms" || kind == "wifi-ms") {
        const std::optional<int> ms = sParseMs(value);
        if (!ms) {
            return bad("needs milliseconds from 0 to " + std::to_string(kDelayMaxMs));
        }
        (kind == "delay"
             ? behaviour.m_iDelayMs
             : (kind == "restart-ms" ? behaviour.m_iRestartMs : behaviour.m_iWifiConnectMs)) = *ms;
    } else if (kind == "copies") {
        const auto copies = sParseNumber(value, 1, kCopiesMax);
        if (!copies) {
            return bad("needs a number from 1 to " + std::to_string(kCopiesMax));
        }
        behaviour.m_iCopies = static_cast<int>(*copies);
    } else if (kind == "malformed") {
        const std::optional<EMalform> malform = sMalformFromText(value);
        if (!malform) {
            return bad("needs short, truncated, long, lying or none");
        }
        behaviour.m_eMalform = *malform;
    } else if (kind == "uid") {
        if (value.size() > 32) {
            return bad("a UID field holds at most 32 characters");
        }
        state.m_strUid = value;
    } else if (kind == "password") {
        if (value.size() > 31) {
            return bad("a password holds at most 31 characters");
        }
        state.m_strPassword = value;
    } else if (kind == "horn") {
        if (!fgApplyHornBehaviour(value, behaviour.m_horn)) {
            return bad("wants refuse, drop or drop:BYTES");
        }
    } else if (kind == "stream-split") {
        behaviour.m_stream.m_fgSplitHeads = true;
    } else if (kind.starts_with("stream-")) {
        return iApplyStreamTweak(kind, value, behaviour.m_stream, error);
    } else if (const int fault = iApplyBenchFault(kind, value, state, behaviour, error);
               fault <= 0) {
        return fault;
    } else {
        error = "--behave: unknown kind \"" + kind + "\"";
        return -1;
    }
    return 0;
}

int iParseOptions(const std::vector<std::string>& args, CDevSimOptions& options,
                  std::string& error) {
    std::optional<std::size_t> fleetCount;
    std::string base = "127.0.0.2";
    std::vector<CSimAddress> extra;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            options.m_fgHelp = true;
            return 0;
        }
        if (arg == "--allow-any-addr") {
            options.m_config.m_fgAllowAnyAddr = true;
        } else if (arg == "--announce") {
            options.m_fgAnnounce = true;
        } else if (arg == "--list") {
            options.m_fgList = true;
        } else if (arg == "--fleet") {
            if (!value(text)) {
                return -1;
            }
            const auto count = sParseNumber(text, 1, static_cast<long long>(kFleetMax));
            if (!count) {
                error = "--fleet needs a number from 1 to " + std::to_string(kFleetMax);
                return -1;
            }
            fleetCount = static_cast<std::size_t>(*count);
        } else if (arg == "--base") {
            if (!value(base)) {
                return -1;
            }
        } else if (arg == "--addr") {
            if (!value(text)) {
                return -1;
            }
            const std::optional<CSimAddress> address = sParseSimAddress(text);
            if (!address) {
                error = "--addr needs A.B.C.D or A.B.C.D/P, got \"" + text + "\"";
                return -1;
            }
            extra.push_back(*address);
        } else if (arg == "--password") {
            if (!value(text)) {
                return -1;
            }
            if (text.size() > 31) {
                error = "--password holds at most 31 characters";
                return -1;
            }
            options.m_config.m_strPassword = text;
        } else if (arg == "--announce-type") {
            if (!value(text)) {
                return -1;
            }
            const auto type = sParseNumber(text, 0, 0xFFFFFFFFLL);
            if (!type) {
                error = "--announce-type needs a number";
                return -1;
            }
            options.m_uiAnnounceType = static_cast<std::uint32_t>(*type);
        } else if (arg == "--behave") {
            if (!value(text)) {
                return -1;
            }
            CDeviceTweak tweak;
            if (iParseTweak(text, tweak, error) != 0) {
                return -1;
            }
            options.m_tweaks.push_back(tweak);
        } else {
            error = "unknown option \"" + arg + "\"";
            return -1;
        }
    }
    std::vector<CSimAddress>& addresses = options.m_config.m_addresses;
    if (fleetCount) {
        const auto run = sConsecutiveAddresses(base, *fleetCount, error);
        if (!run) {
            return -1;
        }
        addresses = *run;
    }
    addresses.insert(addresses.end(), extra.begin(), extra.end());
    if (addresses.empty()) {
        error = "no devices: give --fleet N or --addr ADDR";
        return -1;
    }
    for (const CSimAddress& address : addresses) {
        if (!options.m_config.m_fgAllowAnyAddr && !fgIsLoopback(address.m_uiAddrNet)) {
            error = "refusing " + strIpText(address.m_uiAddrNet) +
                    ": outside 127.0.0.0/8 (--allow-any-addr, only inside a network namespace)";
            return -1;
        }
    }
    if (addresses.size() > kFleetMax) {
        error = "at most " + std::to_string(kFleetMax) + " devices";
        return -1;
    }
    for (const CDeviceTweak& tweak : options.m_tweaks) {
        if (tweak.m_index && *tweak.m_index >= addresses.size()) {
            error = "--behave: there is no device " + std::to_string(*tweak.m_index);
            return -1;
        }
    }
    return 0;
}

std::string strUsage() {
    return R"(Usage: kestrel-devsim [options]
Simulated cameras and gateways that answer the station's UDP protocol.

Devices:
  --fleet N              N devices on consecutive addresses from --base (1 to 5000)
  --base ADDR[/P]        first address of the fleet (default 127.0.0.2)
  --addr ADDR[/P]        one more device at ADDR (repeatable); P is the prefix length
                         of its network (default 8 inside 127.0.0.0/8, else 24)
  --allow-any-addr       allow addresses outside 127.0.0.0/8 -- ONLY inside a network
                         namespace of your own, never on a real network
  --password TEXT        password of every device (default "kavno")

Behaviour (INDEX is a device number counted from 0, or "all"; repeatable):
  --behave INDEX:silent            answer nothing
  --behave INDEX:delay=MS          answer MS milliseconds late
  --behave INDEX:copies=N          send every reply N times (1 to 10)
  --behave INDEX:malformed=KIND    spoil every reply: short, truncated, long, lying
  --behave INDEX:refuse-login      refuse every login
  --behave INDEX:restart-ms=MS     silence after a restart or reset (default 3000)
  --behave INDEX:wifi-ms=MS        time to join a Wi-Fi network (default 1000)
  --behave INDEX:learn-ms=MS       time until a sensor is learnt (default 0: at once)
  --behave INDEX:learn-fails       learning ends without a new sensor
  --behave INDEX:uid=TEXT          report this UID (any length up to 32)
  --behave INDEX:lower-uid         report the UID in lower case
  --behave INDEX:password=TEXT     this device's password
  --behave INDEX:over-wifi         report its address as the Wi-Fi address
  --behave INDEX:upgrade=KIND      firmware transfer: listen (on TCP 24215, the default),
                                   connect-back (to the station's TCP 24214), refuse;
                                   fail (answer RECVFILE FAILED), close (halfway), stall
                                   (stop reading), double-answer, split-answer
  --behave INDEX:upgrade-restart-ms=MS  after a confirmed transfer, restart: silent for MS
  --behave INDEX:upgrade-version=TEXT   after a confirmed transfer, report this version

Horn receiver (TCP 24222):
  --behave INDEX:horn=refuse       never open the receiver: every connection is refused
  --behave INDEX:horn=drop[:BYTES] close a connection after BYTES (default 4096)

Live stream (TCP 20554; N counts the media packets sent on one connection):
  --behave INDEX:stream-login=R    answer every stream login with result R (-5, -2)
  --behave INDEX:stream-serve=S    send video stream S (0 or 1) whatever is asked
  --behave INDEX:stream-stall=N    send no media after N packets (heartbeats answered)
  --behave INDEX:stream-close=N    close the connection after N packets
  --behave INDEX:stream-bad-magic=N  spoil the magic of packet N+1
  --behave INDEX:stream-oversize=N   packet N+1 is too big for the client's buffer
  --behave INDEX:stream-split      send every head in three pieces
  --behave INDEX:stream-merge=K    send K media packets at once (1 to 16)
  --behave INDEX:stream-pace=F     send media F times as fast (1 to 100)

)" + strBenchFaultUsage() +
           R"(Announcements:
  --announce             every device announces itself once when ready
  --announce-type N      message type of the announcements (default 93)

Other:
  --list                 print "devsim: device I ADDR UID" for each device first
  --help                 this text

The search is taken on each network's broadcast address, port 24218; commands on
each device's address, ports 24216 and 24218. When every device answers, the line
"devsim: N devices ready" is printed. SIGUSR1 makes every device announce itself;
SIGINT or SIGTERM stops the program. Exit status: 0 stopped, 1 could not start,
2 usage error.
)";
}

}  // namespace devsim
