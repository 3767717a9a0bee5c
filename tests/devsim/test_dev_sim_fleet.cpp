#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "devsim/dev_sim_fleet.h"
#include "station_probe.h"

using namespace devsim;

namespace {

using FTweak = std::function<void(std::size_t, CSimDeviceState&, CSimBehaviour&)>;

CBytes sSearchBytes() {
    return CBytes{0xA8, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

CBytes sLogin(const std::string& password) {
    CBytes request = sRequest(0x02, 80, 1);
    request[2] = 64;
    vPutText(request, 16, "admin");
    vPutText(request, 48, password);
    return request;
}

CBytes sSetWired(const std::string& ip) {
    CBytes request = sRequest(0x10, 96);
    vPutText(request, 16, ip);
    vPutText(request, 32, "255.0.0.0");
    vPutText(request, 48, "127.0.0.1");
    vPutText(request, 64, "127.0.0.1");
    return request;
}

std::vector<int> vecTypes(const std::vector<CReceived>& received) {
    std::vector<int> types;
    for (const CReceived& datagram : received) {
        types.push_back(datagram.m_data.size() > 1 ? datagram.m_data[1] : -1);
    }
    return types;
}

std::set<std::string> setSenders(const std::vector<CReceived>& received) {
    std::set<std::string> senders;
    for (const CReceived& datagram : received) {
        senders.insert(strIpText(datagram.m_from.m_uiAddr));
    }
    return senders;
}

// Each test runs its fleet and its station probe in a namespace of its own, where
// 127.0.0.0/8 and the fixed ports belong to it alone.
class DevSimFleetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns = std::make_unique<CNetns>("kt-ds");
        m_scope = std::make_unique<CNetnsScope>(*m_ns);
        ASSERT_TRUE(m_scope->fgEntered());
        m_probe = std::make_unique<CStationProbe>();
        ASSERT_TRUE(m_probe->fgReady());
    }

    void TearDown() override {
        m_fleet.reset();
        m_probe.reset();
        m_scope.reset();
        m_ns.reset();
    }

    // Starts `count` devices from 127.0.0.2; tweak (if any) runs for each before start.
    void vStartFleet(std::size_t count, const FTweak& tweak = {}) {
        std::string error;
        CDevSimConfig config;
        config.m_addresses = *sConsecutiveAddresses("127.0.0.2", count, error);
        m_fleet = std::make_unique<CDevSimFleet>(config);
        if (tweak) {
            for (std::size_t i = 0; i < count; ++i) {
                m_fleet->vUpdateDevice(i, [&](CSimDeviceState& state, CSimBehaviour& behaviour) {
                    tweak(i, state, behaviour);
                });
            }
        }
        ASSERT_EQ(m_fleet->iStart(error), 0) << error;
    }

    std::vector<CReceived> vecSearch(std::size_t expected, int quietMs = 300) const {
        m_probe->vSearch();
        return m_probe->vecCollect(expected, quietMs, true);
    }

    std::vector<CReceived> vecAsk(const CBytes& request, const std::string& device,
                                  std::size_t expected, int quietMs = 300) const {
        m_probe->vSend(request, sDevice(device));
        return m_probe->vecCollect(expected, quietMs);
    }

    std::unique_ptr<CNetns> m_ns;
    std::unique_ptr<CNetnsScope> m_scope;
    std::unique_ptr<CStationProbe> m_probe;
    std::unique_ptr<CDevSimFleet> m_fleet;
};

}  // namespace

TEST_F(DevSimFleetTest, SearchIsAnsweredByEveryDeviceFromItsOwnAddress) {
    vStartFleet(5);
    const std::vector<CReceived> replies = vecSearch(5);
    ASSERT_EQ(replies.size(), 5U);
    std::set<std::string> uids;
    for (const CReceived& reply : replies) {
        ASSERT_EQ(reply.m_data.size(), 240U);
        EXPECT_EQ(reply.m_data[0], 0xA8);
        EXPECT_EQ(reply.m_data[1], 101);
        EXPECT_EQ(reply.m_from.m_usPort, 24218);
        EXPECT_EQ(strField(reply.m_data, 16, 16), strIpText(reply.m_from.m_uiAddr));
        uids.insert(strField(reply.m_data, 164, 32));
    }
    EXPECT_EQ(setSenders(replies), (std::set<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4",
                                                          "127.0.0.5", "127.0.0.6"}));
    EXPECT_EQ(uids.size(), 5U);
    EXPECT_EQ(uids.count(m_fleet->sDeviceState(2).m_strUid), 1U);
    // The search sent straight to a device's command port is answered there too.
    const std::vector<CReceived> direct = vecAsk(sSearchBytes(), "127.0.0.4", 1);
    ASSERT_EQ(vecTypes(direct), std::vector<int>{101});
    EXPECT_EQ(direct[0].m_from, sDevice("127.0.0.4"));
}

TEST_F(DevSimFleetTest, LoginAnswers) {
    vStartFleet(3, [](std::size_t i, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_fgRefuseLogin = i == 2;
    });
    struct CCase {
        const char* m_device;
        const char* m_password;
        std::vector<int> m_types;
    };
    const CCase cases[] = {
        {"127.0.0.2", "kavno", {180, 192}},
        {"127.0.0.2", "kavno!", {181}},
        {"127.0.0.3", "", {181}},
        {"127.0.0.4", "kavno", {181}},
    };
    for (const CCase& item : cases) {
        const std::vector<CReceived> replies = vecAsk(sLogin(item.m_password), item.m_device, 2);
        EXPECT_EQ(vecTypes(replies), item.m_types) << item.m_device << " " << item.m_password;
        if (!replies.empty() && replies[0].m_data[1] == 180) {
            const CBytes& reply = replies[0].m_data;
            EXPECT_EQ((CBytes{reply[13], reply[14], reply[15]}), (CBytes{1, 0, 0}));
            EXPECT_EQ(iLe16(reply, 16), 4);
            EXPECT_EQ(strField(reply, 24, 32), "Kestrel-Lab");
        }
    }
}

// A command changes the device; the next search shows it.
TEST_F(DevSimFleetTest, CommandsShowInTheNextSearch) {
    vStartFleet(3);
    CBytes uid = sRequest(0x13, 37);
    vPutText(uid, 16, "ZZZZ0000000000000042");
    EXPECT_EQ(vecTypes(vecAsk(uid, "127.0.0.3", 1)), std::vector<int>{115});

    const std::vector<CReceived> moved = vecAsk(sSetWired("127.0.0.50"), "127.0.0.4", 1);
    ASSERT_EQ(vecTypes(moved), std::vector<int>{111});
    EXPECT_EQ(strIpText(moved[0].m_from.m_uiAddr), "127.0.0.4");  // answered before moving

    const std::vector<CReceived> replies = vecSearch(3);
    ASSERT_EQ(replies.size(), 3U);
    EXPECT_EQ(setSenders(replies), (std::set<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.50"}));
    for (const CReceived& reply : replies) {
        const std::string sender = strIpText(reply.m_from.m_uiAddr);
        if (sender == "127.0.0.3") {
            EXPECT_EQ(strField(reply.m_data, 164, 32), "ZZZZ0000000000000042");
        }
        if (sender == "127.0.0.50") {
            EXPECT_EQ(strField(reply.m_data, 16, 16), "127.0.0.50");
        }
    }
    EXPECT_TRUE(vecAsk(sSearchBytes(), "127.0.0.4", 1, 200).empty());
    EXPECT_EQ(vecTypes(vecAsk(sSearchBytes(), "127.0.0.50", 1)), std::vector<int>{101});
    EXPECT_EQ(m_fleet->sCommandEndpoint(2), sDevice("127.0.0.50"));
}

TEST_F(DevSimFleetTest, MovesThatWouldLeaveLoopbackOrCollideAreRefused) {
    vStartFleet(2);
    const char* targets[] = {"10.0.0.5", "127.0.0.3", "127.255.255.255", "0.0.0.0"};
    for (const char* target : targets) {
        EXPECT_EQ(vecTypes(vecAsk(sSetWired(target), "127.0.0.2", 1)), std::vector<int>{112})
            << target;
    }
    EXPECT_EQ(vecTypes(vecAsk(sSearchBytes(), "127.0.0.2", 1)), std::vector<int>{101});
}

TEST_F(DevSimFleetTest, RestartSilencesTheDeviceForAMoment) {
    vStartFleet(2, [](std::size_t, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_iRestartMs = 2000;
    });
    EXPECT_EQ(vecTypes(vecAsk(sRequest(0x11, 16), "127.0.0.2", 1)), std::vector<int>{113});
    // Far inside the restart's two seconds of silence.
    EXPECT_EQ(setSenders(vecSearch(2, 150)), std::set<std::string>{"127.0.0.3"});
    bool bothAnswer = false;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !bothAnswer && std::chrono::steady_clock::now() < deadline;) {
        bothAnswer = vecSearch(2, 200).size() == 2U;
    }
    EXPECT_TRUE(bothAnswer) << "the device answers again after its restart";
    EXPECT_EQ(m_fleet->sDeviceState(0).m_uiRestarts, 1U);
}

TEST_F(DevSimFleetTest, FactoryResetRestoresPasswordAndAddress) {
    vStartFleet(1, [](std::size_t, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_iRestartMs = 0;
    });
    CBytes password = sRequest(0x36, 80);
    vPutText(password, 16, "admin");
    vPutText(password, 48, "secret");
    EXPECT_EQ(vecTypes(vecAsk(password, "127.0.0.2", 1)), std::vector<int>{182});
    EXPECT_EQ(vecTypes(vecAsk(sLogin("secret"), "127.0.0.2", 2)), (std::vector<int>{180, 192}));
    EXPECT_EQ(vecTypes(vecAsk(sSetWired("127.0.0.77"), "127.0.0.2", 1)), std::vector<int>{111});
    EXPECT_EQ(vecTypes(vecAsk(sRequest(0x12, 16, 5), "127.0.0.77", 1)), std::vector<int>{114});
    const std::vector<CReceived> replies = vecSearch(1);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(strIpText(replies[0].m_from.m_uiAddr), "127.0.0.2");
    EXPECT_EQ(vecTypes(vecAsk(sLogin("kavno"), "127.0.0.2", 2)), (std::vector<int>{180, 192}));
}

TEST_F(DevSimFleetTest, BehavioursShapeTheReplies) {
    struct CCase {
        const char* m_name;
        CSimBehaviour m_behaviour;
        std::size_t m_count;
        std::size_t m_size;
    };
    CSimBehaviour silent;
    silent.m_fgSilent = true;
    CSimBehaviour copies;
    copies.m_iCopies = 3;
    CSimBehaviour shortReply;
    shortReply.m_eMalform = EMalform::Short;
    CSimBehaviour longReply;
    longReply.m_eMalform = EMalform::Long;
    CSimBehaviour truncated;
    truncated.m_eMalform = EMalform::Truncated;
    const CCase cases[] = {
        {"silent", silent, 0, 0},       {"copies", copies, 3, 240},
        {"short", shortReply, 1, 239},  {"long", longReply, 1, 241},
        {"truncated", truncated, 1, 8}, {"plain", CSimBehaviour{}, 1, 240},
    };
    vStartFleet(1);
    for (const CCase& item : cases) {
        SCOPED_TRACE(item.m_name);
        m_fleet->vUpdateDevice(0, [&item](CSimDeviceState&, CSimBehaviour& behaviour) {
            behaviour = item.m_behaviour;
        });
        const std::vector<CReceived> replies = vecSearch(item.m_count + 1, 200);
        ASSERT_EQ(replies.size(), item.m_count);
        for (const CReceived& reply : replies) {
            EXPECT_EQ(reply.m_data.size(), item.m_size);
            EXPECT_EQ(reply.m_data, replies[0].m_data);
        }
    }
}

TEST_F(DevSimFleetTest, DelayedRepliesComeLate) {
    vStartFleet(2, [](std::size_t i, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_iDelayMs = i == 0 ? 400 : 0;
    });
    m_probe->vSearch();
    const std::vector<CReceived> early = m_probe->vecCollect(2, 250, true);
    EXPECT_EQ(setSenders(early), std::set<std::string>{"127.0.0.3"});
    const std::vector<CReceived> late = m_probe->vecCollect(1, 500, true);
    EXPECT_EQ(setSenders(late), std::set<std::string>{"127.0.0.2"});
}

TEST_F(DevSimFleetTest, LyingCountsReachTheWire) {
    vStartFleet(5, [](std::size_t, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_eMalform = EMalform::LyingCounts;
    });
    const std::vector<CReceived> login = vecAsk(sLogin("kavno"), "127.0.0.2", 2);
    ASSERT_EQ(vecTypes(login), (std::vector<int>{180, 192}));
    EXPECT_GT(20U + 36U * iLe16(login[0].m_data, 16), login[0].m_data.size());
    const std::vector<CReceived> sensors = vecAsk(sRequest(0x23, 16), "127.0.0.6", 1);
    ASSERT_EQ(vecTypes(sensors), std::vector<int>{146});
    EXPECT_GT(16U + 40U * sensors[0].m_data[4], sensors[0].m_data.size());
}

TEST_F(DevSimFleetTest, BroadcastNameReachesTheDeviceThatLearnt) {
    vStartFleet(5);
    EXPECT_EQ(vecTypes(vecAsk(sRequest(0x32, 16), "127.0.0.6", 1)), std::vector<int>{173});
    CBytes name = sRequest(0x34, 56);
    vPutText(name, 20, "Hall remote");
    m_probe->vSend(name, sDevice("127.255.255.255"));
    // The name arrives on the broadcast socket and the query on the device's own, so
    // the query may be served first: ask until the name shows, with a generous deadline.
    std::vector<CReceived> list;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < deadline;) {
        list = vecAsk(sRequest(0x23, 16), "127.0.0.6", 1);
        ASSERT_EQ(vecTypes(list), std::vector<int>{146});
        if (strField(list[0].m_data, 16 + 7 * 40, 32) == "Hall remote") {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(list[0].m_data[4], 8);
    EXPECT_EQ(strField(list[0].m_data, 16 + 7 * 40, 32), "Hall remote");
    EXPECT_TRUE(m_fleet->sDeviceState(0).m_sensors.empty());
}

TEST_F(DevSimFleetTest, TimedWorkRunsOnTheReceiveThread) {
    vStartFleet(1, [](std::size_t, CSimDeviceState&, CSimBehaviour& behaviour) {
        behaviour.m_iWifiConnectMs = 1500;
    });
    CBytes connect = sRequest(0x1D, 116);
    vPutLe32(connect, 16, 4);
    vPutText(connect, 20, "labpass123");
    vPutText(connect, 84, "Kestrel-Lab");
    EXPECT_EQ(vecTypes(vecAsk(connect, "127.0.0.2", 1)), std::vector<int>{124});
    // Far inside the second and a half the device takes to join.
    EXPECT_TRUE(vecAsk(sRequest(0x4F, 16), "127.0.0.2", 1, 50).empty());
    std::vector<CReceived> status;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         status.empty() && std::chrono::steady_clock::now() < deadline;) {
        status = vecAsk(sRequest(0x4F, 16), "127.0.0.2", 1, 200);
    }
    ASSERT_EQ(vecTypes(status), std::vector<int>{166});
    EXPECT_EQ(strField(status[0].m_data, 16, 32), "Kestrel-Lab");

    // Printing: log lines arrive until the stop request.
    const std::vector<CReceived> lines = vecAsk(sRequest(0x38, 16), "127.0.0.2", 1, 1500);
    ASSERT_EQ(vecTypes(lines), std::vector<int>{184});
    const CBytes& line = lines[0].m_data;
    EXPECT_NE(std::string(line.begin() + 16, line.end()).find("uid=KSIM"), std::string::npos);
    m_probe->vSend(sRequest(0x39, 16), sDevice("127.0.0.2"));
    // The device serves requests in order: once it answers a search sent after the
    // stop, the stop has been served, and what it printed before is already here.
    m_probe->vSend(sSearchBytes(), sDevice("127.0.0.2"));
    bool searchAnswered = false;
    while (!searchAnswered) {
        const std::vector<CReceived> before = m_probe->vecCollect(1, 5000);
        ASSERT_EQ(before.size(), 1U) << "the device answers the search";
        searchAnswered = before[0].m_data[1] == 101;
    }
    EXPECT_TRUE(m_probe->vecCollect(1, 1300).empty()) << "no line after the stop";
}

TEST_F(DevSimFleetTest, AnnouncementGoesToTheRecorderGroup) {
    vStartFleet(3);
    CSocket group = CSocket::Udp();
    ASSERT_EQ(iBind(group, CEndpoint{0, 34226}), 0);
    ASSERT_EQ(iJoinMulticast(group, iAddr("233.233.233.233"), iAddr("127.0.0.1")), 0);
    EXPECT_EQ(m_fleet->iAnnounce(1, 94), 0);
    int events = 0;
    ASSERT_EQ(iWaitOne(group, true, false, 1000, events), 1);
    CBytes datagram(100);
    CEndpoint from;
    datagram.resize(static_cast<std::size_t>(iRecvFrom(group, datagram, from)));
    ASSERT_EQ(datagram.size(), 28U);
    EXPECT_EQ(datagram[0], 0x68);
    EXPECT_EQ(iLe32(datagram, 4), 94U);
    EXPECT_GE(iLe32(datagram, 12), 12U);
    EXPECT_EQ(from, sDevice("127.0.0.3"));
    EXPECT_EQ(m_fleet->iAnnounceAll(), 3U);
}

TEST_F(DevSimFleetTest, AThousandDevicesAnswerOneSearch) {
    vStartFleet(1000);
    const std::vector<CReceived> replies = vecSearch(1000, 1000);
    EXPECT_EQ(replies.size(), 1000U);
    EXPECT_EQ(setSenders(replies).size(), 1000U);
}

// A fleet on a veth network of its own, searched from another namespace through the
// subnet's broadcast address.
TEST(DevSimFleetNetwork, AnswersOnASubnetBroadcast) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns station("kt-dss");
    CNetns devices("kt-dsd");
    vVethPair(station, "10.77.0.1/24", devices, "10.77.0.2/24");
    CDevSimConfig config;
    config.m_fgAllowAnyAddr = true;
    config.m_addresses = {*sParseSimAddress("10.77.0.2/24")};
    CDevSimFleet fleet(config);
    std::string error;
    {
        CNetnsScope scope(devices);
        ASSERT_TRUE(scope.fgEntered());
        ASSERT_EQ(fleet.iStart(error), 0) << error;
    }
    CNetnsScope scope(station);
    ASSERT_TRUE(scope.fgEntered());
    CStationProbe probe("10.77.0.1", "10.77.0.255");
    ASSERT_TRUE(probe.fgReady());
    probe.vSearch();
    const std::vector<CReceived> replies = probe.vecCollect(1, 1000, true);
    ASSERT_EQ(replies.size(), 1U);
    EXPECT_EQ(replies[0].m_from, sDevice("10.77.0.2", 24218));
    EXPECT_EQ(strField(replies[0].m_data, 32, 16), "255.255.255.0");
    fleet.vStop();
}

TEST(DevSimFleetSafety, RefusesAddressesOutsideLoopback) {
    struct CCase {
        const char* m_address;
        bool m_allowAny;
    };
    const CCase cases[] = {{"10.0.0.2/24", false},
                           {"192.168.1.10", false},
                           {"127.0.0.0/8", true},
                           {"224.0.0.5", true}};
    for (const CCase& item : cases) {
        CDevSimConfig config;
        config.m_fgAllowAnyAddr = item.m_allowAny;
        config.m_addresses = {*sParseSimAddress(item.m_address)};
        CDevSimFleet fleet(config);
        std::string error;
        EXPECT_EQ(fleet.iStart(error), -1) << item.m_address;
        EXPECT_FALSE(error.empty());
    }
}
