// Seeds for the fuzz targets from the simulator's real replies: a small fleet in this
// process answers every request the station sends, and each reply is written into the
// corpus folder of every target that parses it, so that each target starts from what
// devices really say and reaches its parser's branches.
//
//   kestrel-seed-harvest CORPUS_DIR
//
// Binds the station's ports on 127.0.0.1: run it only inside a network namespace of
// your own (scripts/harvest-fuzz-seeds does).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/sim_media.h"
#include "devsim/sim_upgrade_wire.h"
#include "devsim/sim_wire.h"
#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "protocol/sensor_records.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct CRequest {
    const char* m_pszName;
    Bytes m_bytes;
    std::uint16_t m_usPort;
};

std::uint32_t uiAddr(const char* text) {
    std::uint32_t addrNet = 0;
    fgParseIp(text, addrNet);
    return addrNet;
}

void vWrite(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(folder);
    std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Every datagram to every target that parses it; returns the targets written.
int iFile(const std::filesystem::path& corpus, const std::string& name, const Bytes& reply) {
    vWrite(corpus / "lan_info", name, reply);
    int written = 1;
    if (reply.size() < kCmdHeaderBytes) {
        return written;
    }
    const std::uint8_t type = reply[kCmdOffCode];
    const Bytes payload(reply.begin() + kCmdHeaderBytes, reply.end());
    if (type == kReplyDiscovery) {
        vWrite(corpus / "dev_info", name, reply);
        ++written;
    } else if (type == kReplyLoginOk || type == kReplyLoginRefused) {
        vWrite(corpus / "login_answer", name, reply);
        ++written;
    } else if (type == kReplyAbility) {
        vWrite(corpus / "dev_ability", name, reply);
        ++written;
    } else if (type == kReplyConfigText) {
        vWrite(corpus / "config_text", name, payload);
        ++written;
    } else if (type == kReplySensorList || type == kCmdSensorTest) {
        // A list's entries and a test's result record, as the records' parser reads them.
        vWrite(corpus / "sensor_records", name, payload);
        ++written;
    }
    return written;
}

// What the simulator sends outside the command datagrams: its announcements, its
// answers to a transfer (a read size byte first, as that target wants) and its video.
int iFileOtherSeeds(const std::filesystem::path& corpus) {
    vWrite(corpus / "ipc_to_nvr", "sim_announce_login",
           devsim::sBuildAnnouncement(devsim::kAnnounceLogin, uiAddr("127.0.0.2")));
    const auto answers = [](std::uint8_t readSize, std::string_view text) {
        Bytes bytes(1 + text.size());
        bytes[0] = readSize;
        std::copy(text.begin(), text.end(), bytes.begin() + 1);
        return bytes;
    };
    vWrite(corpus / "upg_answers", "sim_ok", answers(31, devsim::kRecvFileOk));
    vWrite(corpus / "upg_answers", "sim_failed", answers(3, devsim::kRecvFileFailed));
    vWrite(corpus / "upg_answers", "sim_ok_twice",
           answers(4, std::string(devsim::kRecvFileOk) + std::string(devsim::kRecvFileOk)));
    int written = 4;
    // A picture buffer of exactly 160 x 96 RGBX pixels, in units of 16 bytes.
    constexpr int kWidth = 160;
    constexpr int kHeight = 96;
    constexpr int kUnits = kWidth * kHeight * 4 / 16;
    const std::vector<devsim::CSimAccessUnit>& video = devsim::vecVideoLoop(kWidth, kHeight);
    for (std::size_t i = 0; i < video.size() && i < 2; ++i) {
        Bytes bytes{static_cast<std::uint8_t>(kUnits >> 8),
                    static_cast<std::uint8_t>(kUnits & 0xFF)};
        bytes.insert(bytes.end(), video[i].m_bytes.begin(), video[i].m_bytes.end());
        vWrite(corpus / "h264_docoder", video[i].m_fgKey ? "sim_key_frame" : "sim_frame", bytes);
        ++written;
    }
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel-seed-harvest CORPUS_DIR\n");
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    std::string error;
    devsim::CDevSimConfig config;
    const auto addresses = devsim::sConsecutiveAddresses("127.0.0.2", 3, error);
    if (!addresses) {
        std::fprintf(stderr, "kestrel-seed-harvest: %s\n", error.c_str());
        return 1;
    }
    config.m_addresses = *addresses;
    devsim::CDevSimFleet fleet(config);
    // Three kinds of answer: a plain camera, one that refuses the password, one with
    // sensors learnt and Wi-Fi networks around.
    fleet.vUpdateDevice(1, [](devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
        behaviour.m_fgRefuseLogin = true;
    });
    if (fleet.iStart(error) != 0) {
        std::fprintf(stderr, "kestrel-seed-harvest: %s\n", error.c_str());
        return 1;
    }
    CSocket command = CSocket::Udp();
    CSocket search = CSocket::Udp();
    if (iBind(command, CEndpoint{uiAddr("127.0.0.1"), kPortCommand}) != 0 ||
        iBind(search, CEndpoint{uiAddr("127.0.0.1"), kPortSearchSrc}) != 0 ||
        iSetBroadcast(search, true) != 0) {
        std::fprintf(stderr, "kestrel-seed-harvest: cannot bind the station's ports\n");
        return 1;
    }
    const std::vector<CRequest> requests{
        {"login", bufBuildLogin(kDefaultDevPassword, ELoginOrigin::kLoginCheck), kPortCommand},
        {"learn", bufBuildLearnSensor(ESensorLearn::kWarning), kPortCommand},
        {"sensors", bufBuildQuerySensors(), kPortCommand},
        {"sensor_test", bufBuildSensorTest(1, 0), kPortCommand},
        {"config_text", bufBuildGetConfigText(), kPortSearch},
        {"video_params", bufBuildGetVideoParam(), kPortCommand},
        {"motor_timer", bufBuildGetMotorTimer(), kPortCommand},
        {"motor_pos", bufBuildGetMotorPos(), kPortCommand},
        {"flip", bufBuildGetFlip(), kPortCommand},
        {"day_night", bufBuildGetDayNight(), kPortCommand},
        {"wifi_status", bufBuildWifiStatus(), kPortCommand},
        {"key_funcs", bufBuildGetKeyFuncs(), kPortCommand},
        {"start_log", bufBuildStartLog(), kPortCommand},
        {"stop_log", bufBuildStopLog(), kPortCommand},
        {"format_sd", bufBuildFormatSd(), kPortCommand},
        {"set_uid", bufBuildSetUid("KSIM000000000009SEED"), kPortCommand},
    };
    int files = 0;
    std::vector<std::uint8_t> buffer(4096);
    const auto collect = [&](const CSocket& socket, const std::string& name) {
        for (int n = 0;; ++n) {
            int events = 0;
            if (iWaitOne(socket, true, false, 300, events) <= 0) {
                return;
            }
            CEndpoint from{};
            const int got = iRecvFrom(socket, buffer, from);
            if (got <= 0) {
                return;
            }
            // A datagram longer than the buffer was cut: its length is not what was read.
            if (static_cast<std::size_t>(got) > buffer.size()) {
                continue;
            }
            const Bytes reply(buffer.begin(), buffer.begin() + got);
            const std::string code =
                reply.size() > kCmdOffCode ? std::to_string(reply[kCmdOffCode]) : "short";
            files += iFile(corpus, "sim_" + name + "_" + code + "_" + std::to_string(n), reply);
        }
    };
    iSendTo(search, bufBuildSearch(), CEndpoint{uiAddr("127.255.255.255"), kPortSearch});
    collect(search, "search");
    for (std::size_t device = 0; device < fleet.iDeviceCount(); ++device) {
        const CEndpoint target = fleet.sCommandEndpoint(device);
        for (const CRequest& request : requests) {
            iSendTo(command, request.m_bytes, CEndpoint{target.m_uiAddr, request.m_usPort});
            collect(command, std::string(request.m_pszName) + "_dev" + std::to_string(device));
        }
    }
    files += iFileOtherSeeds(corpus);
    std::printf("kestrel-seed-harvest: %d seed files\n", files);
    fleet.vStop();
    return files > 0 ? 0 : 1;
}
