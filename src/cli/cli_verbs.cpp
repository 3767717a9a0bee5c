#include "cli/cli_verbs.h"

#include <algorithm>
#include <charconv>

#include "cli/cli_runner.h"
#include "cli/cmd_check.h"
#include "cli/cmd_config.h"
#include "cli/cmd_config_set.h"
#include "cli/cmd_history.h"
#include "cli/cmd_key.h"
#include "cli/cmd_listen.h"
#include "cli/cmd_log.h"
#include "cli/cmd_motor.h"
#include "cli/cmd_qr.h"
#include "cli/cmd_sensors.h"
#include "cli/cmd_snapshot.h"
#include "cli/cmd_stream.h"
#include "cli/cmd_upgrade.h"
#include "cli/cmd_video_params.h"
#include "protocol/requests.h"

namespace {

int iQrVerb(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    return iRunQrCommand(options.m_args[0], options.m_args[1], out, err);
}

std::string strCheckSetNet(const std::vector<std::string>& args) {
    if (args[1] != "wired" && args[1] != "wifi") {
        return "set-net wants wired or wifi, not '" + args[1] + "'";
    }
    if (args[6] != "dhcp" && args[6] != "static") {
        return "set-net wants dhcp or static, not '" + args[6] + "'";
    }
    return {};
}

// The station's own rule: a UID is written only when it has all its characters.
std::string strCheckSetUid(const std::vector<std::string>& args) {
    return args[1].size() == kUidChars ? std::string() : "Length is not equal to 20";
}

std::string strCheckWifiConnect(const std::vector<std::string>& args) {
    const std::string& text = args[3];
    int encryption = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), encryption);
    if (error != std::errc() || end != text.data() + text.size() || encryption < 0) {
        return "ENC must be the encryption number, not '" + text + "'";
    }
    return {};
}

std::string strCheckUpgrade(const std::vector<std::string>& args) {
    std::string error;
    return sParseUpgradeArgs(args, error) ? std::string() : error;
}

// clang-format off
const CCliVerb kVerbs[] = {
    {"search", EVerbArgs::kOwn, 0,
     "  search [--expect N|FILE]  list the devices that answer a search; with --expect,\n"
     "                            compare them with the bench (exit 3 incomplete)\n",
     nullptr, &iSearchVerb},
    {"login", EVerbArgs::kFixedDevice, 1,
     "  login IP                  check the password (exit 0 accepted, 3 refused, 4 no answer)\n",
     nullptr, &iDeviceVerb},
    {"restart", EVerbArgs::kFixedDevice, 1,
     "  restart IP                restart the device\n",
     nullptr, &iDeviceVerb},
    {"reset", EVerbArgs::kFixedDevice, 1,
     "  reset IP                  restore the device's factory settings\n",
     nullptr, &iDeviceVerb},
    {"format-sd", EVerbArgs::kFixedDevice, 1,
     "  format-sd IP              format the device's SD card\n",
     nullptr, &iDeviceVerb},
    {"set-uid", EVerbArgs::kFixedDevice, 2,
     "  set-uid IP UID            write the device's UID (20 characters)\n",
     &strCheckSetUid, &iDeviceVerb},
    {"set-password", EVerbArgs::kFixedDevice, 2,
     "  set-password IP NEWPW     change the device's password\n",
     nullptr, &iDeviceVerb},
    {"set-net", EVerbArgs::kFixedDevice, 7,
     "  set-net IP wired|wifi ADDR MASK GATEWAY DNS dhcp|static\n",
     &strCheckSetNet, &iDeviceVerb},
    {"wifi-connect", EVerbArgs::kFixedDevice, 4,
     "  wifi-connect IP SSID PASSWORD ENC\n",
     &strCheckWifiConnect, &iDeviceVerb},
    {"qr", EVerbArgs::kFixed, 2,
     "  qr UID FILE               the UID as a QR code picture (BMP, or PNG for .png)\n",
     nullptr, &iQrVerb},
    {"stream", EVerbArgs::kDevice, 0,
     "  stream IP [--stream main|sub|listen] [--seconds N] [--record FILE]\n"
     "                            receive the live stream (exit 0 media, 3 login refused, 4 none)\n",
     nullptr, &iStreamCommand},
    {"video-params", EVerbArgs::kDevice, 0,
     "  video-params IP [--main RES,FPS,BITRATE,STANDARD] [--sub ...]\n"
     "                            read (or write, then read back) the video parameters\n",
     nullptr, &iVideoParamsVerb},
    {"motor", EVerbArgs::kDevice, 0,
     "  motor IP position|timer [H V]|zero|left|right|up|down STEPS|stop-h|stop-v\n"
     "                            read, set or move the pan/tilt motors\n",
     nullptr, &iMotorVerb},
    {"listen", EVerbArgs::kDevice, 0,
     "  listen IP [--seconds N] --out FILE.wav\n"
     "                            record the device's sound as a WAV file (exit 0 sound,\n"
     "                            3 login refused, 4 none)\n",
     nullptr, &iListenCommand},
    {"snapshot", EVerbArgs::kDevice, 0,
     "  snapshot IP [--stream main|sub] [--seconds N] FILE.png\n"
     "                            one decoded key frame as a PNG picture (exit 0 written,\n"
     "                            3 refused or undecodable, 4 no key frame)\n",
     nullptr, &iSnapshotCommand},
    {"horn", EVerbArgs::kDevice, 0,
     "  horn IP [FILE]            push FILE (default Audio.bin) to the device's horn\n"
     "                            (exit 0 sent, 3 connection lost, 4 not reached)\n",
     nullptr, &iHornVerb},
    {"check", EVerbArgs::kOwn, 0,
     "  check [--expect N|FILE] [--version V] [--steps login,uid,version,sd,wifi,video,\n"
     "        audio,horn] [--parallel K] [--stream main|sub] [--horn-file FILE]\n"
     "        [--limit SECONDS] --report DIR [IP...]\n"
     "                            the line check of every device found (or listed)\n"
     "                            (exit 0 all passed, 3 any failed or bench incomplete)\n",
     nullptr, &iCheckCommand},
    {"upgrade", EVerbArgs::kOwn, 0,
     "  upgrade FILE... --to IP... | --all [--expect N|FILE]\n"
     "        [--type uboot|env|kernel|rootfs|config|app|others]\n"
     "        [--wave N] [--stop-after K] [--expect-version V [--verify-timeout S]]\n"
     "                            send up to 8 firmware files, N devices at a time,\n"
     "                            none after K failures; check the version the device\n"
     "                            comes back with (exit 0 all confirmed, 2 a file is\n"
     "                            unfit, 3 any failed or bench incomplete, 4 none reached)\n",
     &strCheckUpgrade, &iUpgradeVerb},
    {"config", EVerbArgs::kFixedDevice, 1,
     "  config IP                 print the device's configuration text\n",
     nullptr, &iConfigVerb},
    {"config-set", EVerbArgs::kDevice, 0,
     "  config-set IP... KEY=VALUE  write one configuration item to each device\n"
     "                            (exit 0 all agreed, 3 any refused, 4 none answered)\n",
     nullptr, &iConfigSetVerb},
    {"sensors", EVerbArgs::kFixedDevice, 1,
     "  sensors IP                the device's sensors (index, kind, name; --json)\n",
     nullptr, &iSensorsVerb},
    {"log", EVerbArgs::kDevice, 0,
     "  log IP [--seconds N]      print the device's log for N seconds (default 10)\n",
     nullptr, &iLogVerb},
    {"key", EVerbArgs::kDevice, 0,
     "  key IP CODE [PARAM...]    send a control command with parameter bytes\n",
     nullptr, &iKeyVerb},
    {"history", EVerbArgs::kOwn, 0,
     "  history [UID|MAC|IP] [--since DATE] [--kind KIND] [--limit N] [--json|--csv]\n"
     "                            the recorded jobs of a device (no key: of the bench),\n"
     "                            newest first\n",
     nullptr, &iHistoryCommand},
};
// clang-format on

}  // namespace

std::span<const CCliVerb> spanCliVerbs() {
    return kVerbs;
}

const CCliVerb* psFindCliVerb(std::string_view name) {
    const auto found = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                    [name](const CCliVerb& verb) { return verb.m_name == name; });
    return found == std::end(kVerbs) ? nullptr : &*found;
}
