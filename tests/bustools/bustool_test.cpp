// zentrio-bus on an in-process chain: what a script sees and what the drives receive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

#include "bustool.h"
#include "scope/recording.h"
#include "sim/virtual_link.h"

namespace {

namespace fs = std::filesystem;
using namespace bustool;

struct Result {
    int code;
    std::string out, err;
};

// Runs the tool with `args`, on the simulated chain unless `bus` is empty.
Result tool(std::vector<std::string> args, const char* bus = "sim:3") {
    if (*bus != '\0')
        args.insert(args.end(), {"--interface", bus});
    std::ostringstream out, err;
    const int code = run(args, out, err);
    return {code, out.str(), err.str()};
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
bool has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}
#define EXPECT_HAS(text, what) EXPECT_TRUE(has(text, what)) << (text)
std::string ok(const std::vector<std::string>& args, const char* bus = "sim:3") {
    const Result r = tool(args, bus);
    EXPECT_EQ(r.code, kExitOk) << args[0] << ": " << r.err;
    return r.out;
}

class BusTool : public ::testing::Test {
protected:
    // One chain for the program, kept between runs as a real bus keeps its drives' state.
    static void SetUpTestSuite() { chain = sim::registerSimulatedAdapter(3); }
    static inline std::shared_ptr<sim::Chain> chain;
};

TEST_F(BusTool, ListsSlavesAndStatesAsTextAndJson) {
    const std::string json = ok({"slaves", "--json"});
    EXPECT_EQ(json.rfind("{\"slaves\": [{\"position\": 1, ", 0), 0u) << json;
    EXPECT_EQ(std::tuple(count(json, "\"position\": "), count(json, "\"state\": \"INIT\""),
                         count(json, "\"vendor\": 2938,")),  // 0x00000B7A
              std::tuple(3u, 3u, 3u));

    const Result text = tool({"slaves", "-i", "sim:3"}, "");
    EXPECT_EQ(std::tuple(text.code, count(text.out, "\n")), std::tuple(0, 3u)) << text.err;
    EXPECT_HAS(text.out, "position 3  address 0x1003  state INIT  vendor 0x00000b7a");
    EXPECT_EQ(count(ok({"state", "OP"}), "state OP "), 3u);  // as read back from the bus
}

TEST_F(BusTool, SdoAndFirmwareReachTheDriveAndSiiAndPdosReadBack) {
    // Parameter 7 of drive 2 is 0x6101:8; a float written is what the drive holds.
    ok({"sdo-download", "2", "0x6101", "8", "12.5", "--type", "f32"});
    EXPECT_EQ(chain->parameter(2, 7), (std::vector<uint8_t>{0x00, 0x00, 0x48, 0x41}));
    EXPECT_HAS(ok({"sdo-upload", "2", "0x6101", "8", "--json"}),  // REAL32 by SDO information
               "\"size\": 4, \"value\": 12.5}");
    const Result missing = tool({"sdo-upload", "1", "0x2fff", "0"});
    EXPECT_TRUE(missing.code == kExitAbort && has(missing.err, "0x06020000")) << missing.err;

    const fs::path sii = fs::temp_directory_path() / ("zentrio-sii-" + std::to_string(getpid()));
    ok({"sii-read", "1", "--out", sii.string()});
    std::ifstream file(sii, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), {});
    fs::remove(sii);
    ASSERT_GE(image.size(), 0x80u * 2);
    EXPECT_EQ(image[0x10] | image[0x11] << 8, 0x0B7A);  // vendor id at word 8

    const std::string pdos = ok({"pdos", "1"});
    EXPECT_HAS(pdos, "direction rx  pdo 0x1600  index 0x6040  sub 0x00  bits 16");
    EXPECT_HAS(pdos, "direction tx  pdo 0x1a00  index 0x6041  sub 0x00  bits 16");

    // The file arrives at the drive under its name (packets of every size: tests/bus).
    const fs::path firmware =
        fs::temp_directory_path() / ("zentrio-fw-" + std::to_string(getpid()) + ".bin");
    const std::string bytes = std::string(1500, 'x') + '\0' + "end";
    std::ofstream(firmware, std::ios::binary) << bytes;
    ok({"foe-write", "3", firmware.string(), "--json"});
    fs::remove(firmware);
    const auto received = chain->firmware(3).value();
    EXPECT_EQ(std::tuple(received.complete, received.name,
                         std::string(received.bytes.begin(), received.bytes.end())),
              std::tuple(true, firmware.filename().string(), bytes));
}

// Wire faults show on the port and slave that saw them; diag reads them without a (clearing) scan.
TEST_F(BusTool, DiagnosticsShowEachFaultOnTheRightSlaveAndPort) {
    ASSERT_EQ(tool({"state", "PREOP"}).code, 0);  // a scan: counters clear
    auto diag = [] {
        std::vector<std::string> lines;
        std::istringstream in(ok({"diag"}));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    };
    auto out = diag();
    ASSERT_EQ(out.size(), 3u);
    for (const auto& line : out)
        EXPECT_HAS(line, "port0_invalid_frames 0  port0_rx_errors 0  port0_forwarded_errors 0");

    // Back between drives 2 and 3 (outbound: tests/diagnostics): 2 takes it on port 1, 1 forwards.
    chain->corruptNextFrame(3, sim::LossPoint::Return);
    out = diag();
    EXPECT_HAS(out[1], "port1_invalid_frames 1  ");
    EXPECT_HAS(out[0], "port1_forwarded_errors 1  ");

    // Frames lost on the cable into drive 3 (seeded): only drive 3 counts them, on port 0.
    chain->setFrameLoss(0.3, 7, sim::LossPoint::Outbound, 3);
    for (int i = 0; i < 5; ++i)
        tool({"diag"});
    chain->setFrameLoss(0.0, 7);
    out = diag();
    EXPECT_TRUE(std::regex_search(out[2], std::regex("port0_invalid_frames [1-9]"))) << out[2];
    EXPECT_HAS(out[1], "port0_invalid_frames 0  ");

    // Drive 3's cable pulled: drive 2 counts a lost link on port 1, and only two slaves answer.
    chain->pullDrive(3);
    out = diag();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_HAS(out[1], "port1_lost_links 1");
    EXPECT_HAS(out[0], "port1_lost_links 0");
    chain->plugDrive(3);
}

TEST_F(BusTool, ExitCodesAScriptCanTell) {
    const std::string nowhere = "/nonexistent-dir/x";
    // Arguments are checked before the bus is opened: a usage error sends no frame (`frames`).
    // clang-format off
    const std::tuple<std::vector<std::string>, const char*, int, bool, const char*> runs[] = {
        {{}, "", kExitUsage, false, ""}, {{"--help"}, "", kExitOk, false, ""},
        {{"frobnicate"}, "sim:3", kExitUsage, false, ""}, {{"slaves"}, "", kExitUsage, false, ""},
        {{"pdos"}, "sim:3", kExitUsage, false, ""}, {{"pdos", "4"}, "sim:3", kExitUsage, true, "no slave 4"},
        {{"state", "op"}, "sim:3", kExitUsage, false, "unknown state 'op'"},
        {{"state", "BOOT"}, "sim:3", kExitUsage, false, "one slave at a time"},
        {{"sdo-upload", "1", "0x6041", "0x100"}, "sim:3", kExitUsage, false, "subindex '0x100' is out of range 0..255"},
        {{"sdo-upload", "0", "0x6041", "0"}, "sim:3", kExitUsage, false, "slave '0'"},
        {{"sdo-upload", "1", "0x6041", "0", "--type", "u17"}, "sim:3", kExitUsage, false, "--type 'u17'"},
        {{"sdo-download", "1", "0x6101", "8", "300", "--type", "u8"}, "sim:3", kExitUsage, false, "'300' is no u8"},
        {{"sdo-download", "2", "0x6101", "8", "1e39", "--type", "f32"}, "sim:3", kExitUsage, false, "'1e39' is no f32"},
        {{"capture", "x.pcapng"}, "sim:3", kExitUsage, false, "--seconds"},
        {{"capture", "x", "--seconds", "1", "--capture", "y"}, "sim:3", kExitUsage, false, "--capture"},
        {{"foe-write", "1", nowhere}, "sim:3", kExitFailed, false, "No such file or directory"},
        {{"slaves"}, "no-such-adapter0", kExitNoBus, false, ""},
        {{"sii-read", "1", "--out", nowhere}, "sim:3", kExitFailed, true, "No such file or directory"},
        {{"capture", nowhere, "--seconds", "0.1"}, "sim:3", kExitFailed, true, "No such file"},
        {{"sdo-upload", "1", "0x1000", "0", "--type", "u16"}, "sim:3", kExitFailed, true, "not a u16"},
        {{"record", "x"}, "sim:3", kExitUsage, false, "--channel DRIVE:SIGNAL"},
        {{"record", "x", "--channel", "0:speed"}, "sim:3", kExitUsage, false, "'0:speed' is no"},
        {{"record", "x", "--channel", "0:position:0"}, "sim:3", kExitUsage, false, "'0:position:0'"},
        {{"record", "x", "--channel", "0:position", "--trigger", "rising", "--level", "1"}, "sim:3", kExitUsage, false, "--trigger-channel N"},
        {{"record", "x", "--channel", "0:position", "--trigger-channel", "1"}, "sim:3", kExitUsage, false, "--trigger-channel '1'"},
        {{"record", "x", "--channel", "0:position", "--trigger", "fault"}, "sim:3", kExitUsage, false, "status_word"},
        {{"record", "x", "--channel", "0:position", "--trigger", "edge"}, "sim:3", kExitUsage, false, "'edge'"},
        {{"record", "x", "--channel", "0:position", "--length", "0.05"}, "sim:3", kExitUsage, false, "--length"},
        {{"record", "x", "--channel", "0:position", "--pretrigger", "95"}, "sim:3", kExitUsage, false, "--pretrigger"},
        {{"record", nowhere, "--channel", "0:position"}, "sim:3", kExitFailed, false, "no directory"},
        {{"record", "x", "--channel", "3:position", "--length", "0.1"}, "sim:3", kExitUsage, true, "no drive 3"}};
    // clang-format on
    for (const auto& [args, bus, code, frames, message] : runs) {
        const uint64_t before = chain->framesSeen();
        const Result r = tool(args, bus);
        EXPECT_EQ(std::tuple(r.code, chain->framesSeen() != before), std::tuple(code, frames))
            << (args.empty() ? "" : args[0]) << " " << r.err;
        EXPECT_HAS(r.err, message);
    }
    const Result help = tool({"sdo-upload", "--help"}, "");
    EXPECT_TRUE(help.code == kExitOk && has(help.out, "sdo-upload SLAVE INDEX SUB")) << help.out;

    // A bus that never reaches OP is no capture; lost frames are no diagnostics.
    chain->refuseState(2, 0x04, 0x001D);
    const fs::path pcap = fs::temp_directory_path() / ("zentrio-c-" + std::to_string(getpid()));
    EXPECT_EQ(tool({"capture", pcap.string(), "--seconds", "0.05"}).code, kExitFailed);
    chain->acceptState(2, 0x04);
    fs::remove(pcap);
    auto cfg = sim::ChainConfig::drives(19);  // diag's reads take more than one frame
    cfg.slaves.insert(cfg.slaves.begin(), sim::SlaveConfig::coupler());
    auto big = sim::registerSimulatedAdapter(cfg);
    const Result dc = tool({"diag"}, "sim:20");  // the first drive is the reference
    EXPECT_TRUE(dc.code == kExitOk && has(dc.out, "ns no DC\nposition 2 ") &&
                has(dc.out, "ns reference\nposition 3 "))
        << dc.out;
    big->setFrameLoss(0.95, 11);
    int failed = 0;
    for (int i = 0; i < 40 && failed == 0; ++i) {  // until a frame of the batch is lost
        const Result d = tool({"diag"}, "sim:20");
        EXPECT_TRUE(d.code == kExitOk ? !has(d.out, "NONE") : d.code > kExitUsage) << d.out;
        failed += d.code == kExitTimeout;
    }
    EXPECT_GT(failed, 0);
}

// record writes the file the Scope window opens, or nothing when its trigger never comes.
TEST_F(BusTool, RecordWritesAScopeFileOrNothingWithoutTrigger) {
    const std::string file =
        (fs::temp_directory_path() / ("zentrio-rec-" + std::to_string(getpid()))).string();
    ok({"record", file, "--channel", "0:position", "--channel", "2:status_word:2", "--length",
        "0.2"});
    const auto rec = scope::Recording::load(file);
    fs::remove(file);
    ASSERT_TRUE(rec.has_value());
    EXPECT_NEAR(static_cast<double>(rec->size()), 100, 1);
    EXPECT_EQ(rec->triggerIndex(), std::optional<size_t>(10));  // 10 % before the trigger
    ASSERT_EQ(rec->channelCount(), 2);
    EXPECT_EQ(std::tuple(scope::signalName(rec->channels()[0].signal), rec->channels()[1].drive,
                         scope::signalName(rec->channels()[1].signal), rec->channels()[1].scale),
              std::tuple(std::string("position"), 2, std::string("status_word"), 2.0));
    for (size_t i = 0; i < rec->size(); ++i)  // every cycle's status word came from the drive
        ASSERT_GT(rec->value(1, i), 0.0f) << i;

    // Drive 2's (slave 3) fault fires the trigger; its error word has it from then, drive 0's not.
    std::thread fault([&] {
        for (int i = 0; i < 5000 && (chain->alState(3) & 0x0F) != 0x08; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        chain->injectFault(3, 0x4);
    });
    const Result fired = tool({"record", file, "--channel", "2:status_word", "--channel",
                               "2:error_word", "--channel", "0:error_word", "--trigger", "fault",
                               "--length", "0.2", "--timeout", "3"});
    fault.join();
    const auto faulted = scope::Recording::load(file);
    fs::remove(file);
    ASSERT_TRUE(fired.code == kExitOk && faulted.has_value()) << fired.err;
    ASSERT_EQ(faulted->triggerIndex(), std::optional<size_t>(10));
    EXPECT_EQ(std::tuple(faulted->value(1, 9), faulted->value(1, 10), faulted->value(1, 99)),
              std::tuple(0.0f, 4.0f, 4.0f));
    EXPECT_EQ(*std::max_element(faulted->column(2).begin(), faulted->column(2).end()), 0.0f);
    chain->powerCycle(3);

    const Result never =
        tool({"record", file, "--channel", "0:position", "--trigger", "rising", "--trigger-channel",
              "0", "--level", "1e6", "--length", "0.1", "--timeout", "0.3"});
    EXPECT_TRUE(never.code == kExitTimeout && !fs::exists(file)) << never.err;
    EXPECT_EQ(chain->alState(1) & 0x0F, 0x02);  // left in PRE-OP
}

// Reading commands on a running chain leave every slave as it was; state acts on one slave.
TEST_F(BusTool, ReadingKeepsARunningChainAndStateActsOnTheNamedSlave) {
    auto config = sim::ChainConfig::drives(2);
    for (auto& slave : config.slaves)
        slave.smWatchdogTicks = 0;  // OP stays while no master exchanges process data
    auto line = sim::registerSimulatedAdapter(config);
    auto states = [&] { return std::tuple(line->alState(1), line->alState(2)); };
    ok({"state", "PREOP"}, "sim:2");
    ok({"state", "OP", "--slave", "2"}, "sim:2");
    ASSERT_EQ(states(), std::tuple(0x02, 0x08));
    // Reads, then drive 1 to BOOT by way of INIT and back (drive 1's state); drive 2 stays in OP.
    // clang-format off
    const std::pair<std::vector<std::string>, int> runs[] = {{{"slaves"}, 0x02}, {{"states"}, 0x02},
        {{"pdos", "2"}, 0x02}, {{"diag"}, 0x02}, {{"sdo-upload", "2", "0x6041", "0"}, 0x02},
        {{"sii-read", "2"}, 0x02}, {{"state", "BOOT", "--slave", "1"}, 0x03},
        {{"state", "PREOP", "--slave", "1"}, 0x02}};
    // clang-format on
    for (const auto& [args, drive1] : runs) {
        ok(args, "sim:2");
        EXPECT_EQ(states(), std::tuple(drive1, 0x08)) << args[0];
    }
}

}  // namespace
