// The virtual link and adapter registration, an unmodified master bringing a simulated chain
// up through them, and the simulator program's command lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "ethercat/stack/ethercat.h"
#include "model/processdata.h"
#include "sim/cia402_drive.h"
#include "sim/commands.h"
#include "sim/virtual_link.h"
#include "sim_master.h"

using namespace simtest;
using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> brdFrame() {
    Frame f;
    f.add(Command::BRD, 0, ec::kRegType, zeros(2));
    return f.bytes();
}

TEST(VirtualLink, RepliesWaitForTheReceiver) {
    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(2));
    auto link = sim::makeVirtualLink(chain);
    std::vector<uint8_t> buf(1514);
    EXPECT_EQ(link->receive(buf, 100us), 0) << "nothing sent, nothing comes";

    const auto frame = brdFrame();
    ASSERT_TRUE(link->send(frame));
    const int n = link->receive(buf, 1000us);
    ASSERT_EQ(n, static_cast<int>(frame.size()));
    EXPECT_EQ(buf[6], 0x03);
    EXPECT_EQ(sim::rd16(&buf[16 + 10 + 2]), 2) << "WKC of two slaves";

    // A buffer shorter than the frame gets its beginning.
    ASSERT_TRUE(link->send(frame));
    std::vector<uint8_t> small(10);
    EXPECT_EQ(link->receive(small, 1000us), 10);
}

TEST(VirtualLink, LostFramesNeverArriveAndTheQueueIsBounded) {
    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(1));
    auto link = sim::makeVirtualLink(chain);
    std::vector<uint8_t> buf(1514);
    chain->setFrameLoss(1.0, 3);
    EXPECT_TRUE(link->send(brdFrame()));
    EXPECT_EQ(link->receive(buf, 100us), 0);

    chain->setFrameLoss(0.0, 3);
    for (int i = 0; i < 100; ++i)
        link->send(brdFrame());
    int received = 0;
    while (link->receive(buf, 0us) > 0)
        ++received;
    EXPECT_GT(received, 0);
    EXPECT_LE(received, 64);
}

TEST(VirtualLink, RegisteredAdapterKeepsItsChainAcrossOpens) {
    auto chain = sim::registerSimulatedAdapter(2);
    const auto adapters = ec::listAdapters();
    const auto it = std::find_if(adapters.begin(), adapters.end(),
                                 [](const ec::AdapterInfo& a) { return a.name == "sim:2"; });
    ASSERT_NE(it, adapters.end());
    EXPECT_EQ(it->desc, "Simulated drive chain (2 drives)");

    std::vector<uint8_t> buf(1514);
    {
        auto link = ec::openLink("sim:2");
        ASSERT_TRUE(link);
        Frame f;
        f.add(Command::APWR, 0, ec::kRegStationAddress, le16(0x1001));
        link->send(f.bytes());
        ASSERT_GT(link->receive(buf, 1000us), 0);
    }
    EXPECT_EQ(chain->readRegisters(1, ec::kRegStationAddress, 2), le16(0x1001));
    auto again = ec::openLink("sim:2");
    ASSERT_TRUE(again);
    again->send(brdFrame());
    EXPECT_GT(again->receive(buf, 1000us), 0);
    ec::unregisterVirtualAdapter("sim:2");
}

// The master stack, unchanged, against the simulated chain: scan, EEPROM, mapping, DC, states,
// cyclic process data, a lost drive and its recovery.
TEST(MasterOnSimulator, BringUpToOperationalWithProcessData) {
    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(3));
    ecx_contextt* ctx = &ecx_context;
    ASSERT_GT(ecx_init_link(ctx, sim::makeVirtualLink(chain)), 0);
    ASSERT_EQ(ec_config_init(0), 3);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(ec_slave[i].eep_man, 0x00000B7Au);
        EXPECT_EQ(ec_slave[i].eep_id, 0x514A3330u);
        EXPECT_STREQ(ec_slave[i].name, "QJ30");
        EXPECT_TRUE(ec_slave[i].hasdc);
    }
    static uint8_t iomap[1024];
    EXPECT_EQ(ec_config_map(iomap), 150);
    EXPECT_EQ(ec_slave[1].Obytes, 18u);
    EXPECT_EQ(ec_slave[1].Ibytes, 32u);
    ec_slave[0].state = EC_STATE_PRE_OP;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_PRE_OP, 2000000), EC_STATE_PRE_OP);
    EXPECT_TRUE(ec_configdc());
    EXPECT_EQ(ec_slave[3].pdelay, 2 * 120);

    ec_send_processdata();
    ec_receive_processdata(2000);
    ec_slave[0].state = EC_STATE_SAFE_OP;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_SAFE_OP, 2000000), EC_STATE_SAFE_OP);
    ec_slave[0].state = EC_STATE_OPERATIONAL;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_OPERATIONAL, 2000000), EC_STATE_OPERATIONAL);
    for (int i = 1; i <= 3; ++i)
        ec_dcsync0(static_cast<uint16_t>(i), true, 2000000, 0);

    int wkc = 0;
    for (int c = 0; c < 3; ++c) {
        for (int i = 1; i <= 3; ++i)
            ec_slave[i].outputs[kOutMode] = 9;
        ec_send_processdata();
        wkc = ec_receive_processdata(2000);
    }
    EXPECT_EQ(wkc, 9);
    for (int i = 1; i <= 3; ++i) {
        const auto v = decodeInputImage(ec_slave[i].inputs);
        EXPECT_EQ(+v.statusWord, 0x0250);
        EXPECT_EQ(+v.modeDisplay, 9);
    }

    // Drive 3 loses its cable and comes back freshly powered; the master recovers it.
    chain->pullDrive(3);
    ec_send_processdata();
    EXPECT_EQ(ec_receive_processdata(2000), 6);
    chain->plugDrive(3);
    EXPECT_GT(ec_recover_slave(3, 2000), 0);
    EXPECT_GT(ec_reconfig_slave(3, 2000), 0);
    ec_slave[3].state = EC_STATE_OPERATIONAL;
    ec_writestate(3);
    EXPECT_EQ(ec_statecheck(3, EC_STATE_OPERATIONAL, 2000000), EC_STATE_OPERATIONAL);
    ec_send_processdata();
    EXPECT_EQ(ec_receive_processdata(2000), 9);

    ec_slave[0].state = EC_STATE_INIT;
    ec_writestate(0);
    EXPECT_EQ(ec_statecheck(0, EC_STATE_INIT, 2000000), EC_STATE_INIT);
    ec_close();
}

// --- command lines of the simulator program --------------------------------------------------

TEST(Commands, EachCommandActsAndAnswersOneLine) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    sim::CommandInterpreter cmd(chain);
    EXPECT_EQ(cmd.execute("pull 2"), "pulled 2");
    EXPECT_EQ(chain.reachable(), 1u);
    EXPECT_EQ(cmd.execute("plug 2"), "plugged 2");
    EXPECT_EQ(chain.reachable(), 3u);
    EXPECT_EQ(cmd.execute("remove 3"), "removed 3");
    EXPECT_EQ(chain.reachable(), 2u);
    EXPECT_EQ(cmd.execute("restore 3"), "restored 3");
    EXPECT_EQ(cmd.execute("refuse 3 8 0x0011"), "refuse 3 8 0x0011");
    EXPECT_EQ(cmd.execute("accept 3 8"), "accept 3 8");
    EXPECT_EQ(cmd.execute("loss 0.01 7"), "loss 0.01 seed 7");
    EXPECT_EQ(cmd.execute("loss 0.5 2 return"), "loss 0.5 seed 2 return");
    EXPECT_EQ(cmd.execute("loss 0 1"), "loss 0 seed 1");
    EXPECT_EQ(cmd.execute("state 1"), "state 1 0x01 code 0x0000");

    bringUp(chain, 3, ec::kAlStateSafeOp);
    EXPECT_EQ(cmd.execute("safeop-error 1 0x001B"), "safeop-error 1 0x001b");
    EXPECT_EQ(chain.alState(1), ec::kAlStateSafeOp | ec::kAlStateError);
    EXPECT_EQ(cmd.execute("state 1"), "state 1 0x14 code 0x001b");
    EXPECT_EQ(cmd.execute("fault 2 0x10"), "fault 2 0x10");
    EXPECT_EQ(chain.drive(2)->state(), sim::Cia402State::FaultReactionActive);
    EXPECT_EQ(cmd.execute("stats").rfind("frames ", 0), 0u);
    EXPECT_EQ(cmd.execute("   "), "");
    EXPECT_FALSE(cmd.quitRequested());
    EXPECT_EQ(cmd.execute("quit"), "bye");
    EXPECT_TRUE(cmd.quitRequested());
}

TEST(Commands, MailboxCommandsActOnTheDrive) {
    sim::ChainConfig cfg = sim::ChainConfig::drives(1);
    cfg.slaves.insert(cfg.slaves.begin(), sim::SlaveConfig::coupler());
    sim::Chain chain(cfg);
    sim::CommandInterpreter cmd(chain);
    EXPECT_EQ(cmd.execute("param 2 0"), "param 2 0 bytes 25 31 value 12581");
    EXPECT_EQ(cmd.execute("param 2 36"), "param 2 36 bytes 30 33 4a 51 value 1363817264");
    EXPECT_EQ(cmd.execute("firmware 2"), "firmware 2 none");
    EXPECT_EQ(cmd.execute("misbehave 2 garbage"), "misbehave 2 garbage");
    EXPECT_EQ(cmd.execute("misbehave 2 none"), "misbehave 2 none");
    EXPECT_EQ(cmd.execute("drop 2 3"), "drop 2 3");
    EXPECT_EQ(cmd.execute("duplicate 2"), "duplicate 2");
    EXPECT_EQ(cmd.execute("drop 2 0"), "drop 2 0");

    assignStations(chain, 2);
    writeMailboxSms(chain, station(2));
    requestState(chain, station(2), ec::kAlStatePreOp);
    EXPECT_EQ(cmd.execute("emergency 2 0x2310 0x01"), "emergency 2 0x2310");
    const Reply r = fprd(chain, station(2), 0x1080, 0x80);
    ASSERT_EQ(r.wkc, 1);
    EXPECT_EQ(r.data[5] & 0x0F, ec::kMbxTypeCoE);
    EXPECT_EQ(r.u16(8), 0x2310);
    EXPECT_EQ(cmd.execute("power-cycle 2"), "power-cycled 2");
    EXPECT_EQ(chain.alState(2), ec::kAlStateInit);

    for (const char* line : {"param 1 0", "firmware 1", "emergency 1 1", "misbehave 1 none",
                             "drop 1 1", "duplicate 1"})
        EXPECT_EQ(cmd.execute(line), "error: slave 1 is not a drive") << line;
    for (const char* line : {"param 2 37", "param 2", "emergency 2 0x10000", "emergency 2 1 256",
                             "misbehave 2 rude", "drop 2", "power-cycle 3", "firmware"})
        EXPECT_EQ(cmd.execute(line).rfind("error: usage", 0), 0u) << line;
}

TEST(Commands, BadInputIsRefusedWithAnError) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    cfg.slaves.push_back(sim::SlaveConfig::drive(1));
    sim::Chain chain(cfg);
    sim::CommandInterpreter cmd(chain);
    for (const char* line :
         {"pull", "pull 0", "pull 3", "pull x", "pull -1", "plug 2 3", "safeop-error 1",
          "safeop-error 1 0x10000", "refuse 1 8", "refuse 1 16 1", "loss 2 1", "loss 0.5",
          "loss abc 1", "fault 2", "frobnicate"}) {
        EXPECT_EQ(cmd.execute(line).rfind("error: ", 0), 0u) << line;
    }
    EXPECT_EQ(cmd.execute("fault 1 1"), "error: slave 1 is not a drive");
    EXPECT_EQ(chain.reachable(), 2u);
}

}  // namespace
