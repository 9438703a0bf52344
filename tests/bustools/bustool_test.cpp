// zentrio-bus against an in-process simulated chain: what a script sees (output, exit codes) and
// what the drives see (objects written, firmware received).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "bustool.h"
#include "sim/virtual_link.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result tool(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = bustool::run(args, out, err);
    return {code, out.str(), err.str()};
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class BusTool : public ::testing::Test {
protected:
    // One chain for the program: registered once, reused by every run (as drives keep their
    // state between runs of the tool on a real bus).
    static void SetUpTestSuite() { chain = sim::registerSimulatedAdapter(3); }
    static inline std::shared_ptr<sim::Chain> chain;
};

TEST_F(BusTool, ListsSlavesAndStatesAsTextAndJson) {
    const Result json = tool({"slaves", "--interface", "sim:3", "--json"});
    ASSERT_EQ(json.code, bustool::kExitOk) << json.err;
    EXPECT_EQ(json.out.rfind("{\"slaves\": [{\"position\": 1, ", 0), 0u) << json.out;
    EXPECT_EQ(count(json.out, "\"position\": "), 3u);
    EXPECT_EQ(count(json.out, "\"state\": \"PREOP\""), 3u);
    EXPECT_EQ(count(json.out, "\"vendor\": 2938,"), 3u);  // 0x00000B7A

    const Result text = tool({"slaves", "-i", "sim:3"});
    ASSERT_EQ(text.code, 0);
    EXPECT_EQ(count(text.out, "\n"), 3u);
    EXPECT_NE(text.out.find("position 3  address 0x1003  state PREOP  vendor 0x00000b7a"),
              std::string::npos)
        << text.out;

    const Result op = tool({"state", "OP", "--interface", "sim:3"});
    ASSERT_EQ(op.code, 0) << op.err;
    EXPECT_EQ(count(op.out, "state OP "), 3u) << op.out;
    EXPECT_EQ(chain->alState(2) & 0x0F, 0x08);
}

TEST_F(BusTool, SdoTransfersReachTheDriveAndAbortsExitWithTheirCode) {
    // Parameter 7 of drive 2 is 0x6101:8; a float written is what the drive holds.
    const Result down =
        tool({"sdo-download", "2", "0x6101", "8", "12.5", "--type", "f32", "--interface", "sim:3"});
    ASSERT_EQ(down.code, 0) << down.err;
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x48, 0x41};
    EXPECT_EQ(chain->parameter(2, 7), expected);
    const Result up =
        tool({"sdo-upload", "2", "0x6101", "8", "--type", "f32", "--interface", "sim:3", "--json"});
    ASSERT_EQ(up.code, 0) << up.err;
    EXPECT_NE(up.out.find("\"size\": 4, \"value\": 12.5}"), std::string::npos) << up.out;

    const Result device =
        tool({"sdo-upload", "1", "0x1000", "0", "--type", "u16", "--interface", "sim:3"});
    EXPECT_EQ(device.code, bustool::kExitFailed);  // a 4-byte object is no u16
    const Result missing = tool({"sdo-upload", "1", "0x2fff", "0", "--interface", "sim:3"});
    EXPECT_EQ(missing.code, bustool::kExitAbort);
    EXPECT_NE(missing.err.find("0x06020000"), std::string::npos) << missing.err;
    const Result range =
        tool({"sdo-download", "1", "0x6101", "8", "300", "--type", "u8", "--interface", "sim:3"});
    EXPECT_EQ(range.code, bustool::kExitUsage);
}

TEST_F(BusTool, ReadsSiiAndPdosAndDiagnostics) {
    const fs::path sii = fs::temp_directory_path() / ("zentrio-sii-" + std::to_string(getpid()));
    const Result r = tool({"sii-read", "1", "--out", sii.string(), "--interface", "sim:3"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::ifstream file(sii, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), {});
    fs::remove(sii);
    ASSERT_GE(image.size(), 0x80u * 2);
    EXPECT_EQ(image[0x10], 0x7A);  // vendor id at word 8
    EXPECT_EQ(image[0x11], 0x0B);

    const Result pdos = tool({"pdos", "1", "--interface", "sim:3"});
    ASSERT_EQ(pdos.code, 0) << pdos.err;
    EXPECT_NE(pdos.out.find("direction rx  pdo 0x1600  index 0x6040  sub 0x00  bits 16"),
              std::string::npos)
        << pdos.out;
    EXPECT_NE(pdos.out.find("direction tx  pdo 0x1a00  index 0x6041  sub 0x00  bits 16"),
              std::string::npos);
}

// Faults on the wire show in the counters of the port that saw them, on the slave that owns it;
// diag reads them without a scan, which would clear them.
TEST_F(BusTool, DiagnosticsShowEachFaultOnTheRightSlaveAndPort) {
    ASSERT_EQ(tool({"state", "PREOP", "--interface", "sim:3"}).code, 0);  // scan: counters clear
    auto diag = [] {
        const Result r = tool({"diag", "--interface", "sim:3"});
        EXPECT_EQ(r.code, 0) << r.err;
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    };
    auto has = [](const std::string& line, const std::string& what) {
        return line.find(what) != std::string::npos;
    };
    auto clean = diag();
    ASSERT_EQ(clean.size(), 3u);
    for (const auto& line : clean) {
        EXPECT_TRUE(
            has(line, "port0_invalid_frames 0  port0_rx_errors 0  port0_forwarded_errors 0"))
            << line;
    }

    // Corrupted on the cable into drive 2: drive 2 takes it invalid on port 0, drive 3 sees it
    // marked; the frame counting the slaves for diag is sent again.
    chain->corruptNextFrame(2);
    auto out = diag();
    EXPECT_TRUE(has(out[0], "port0_invalid_frames 0  ")) << out[0];
    EXPECT_TRUE(has(out[1], "port0_invalid_frames 1  ")) << out[1];
    EXPECT_TRUE(has(out[2], "port0_forwarded_errors 1  ")) << out[2];
    EXPECT_TRUE(has(out[2], "port0_invalid_frames 0  ")) << out[2];

    // On the way back over the cable between drives 2 and 3: drive 2 takes it on port 1, drive 1
    // forwards it marked.
    chain->corruptNextFrame(3, sim::LossPoint::Return);
    out = diag();
    EXPECT_TRUE(has(out[1], "port1_invalid_frames 1  ")) << out[1];
    EXPECT_TRUE(has(out[0], "port1_forwarded_errors 1  ")) << out[0];

    // Frames lost on the cable into drive 3 (seeded): only drive 3 counts them, on port 0.
    chain->setFrameLoss(0.3, 7, sim::LossPoint::Outbound, 3);
    for (int i = 0; i < 5; ++i) {
        diag();
    }
    chain->setFrameLoss(0.0, 7);
    out = diag();
    EXPECT_TRUE(std::regex_search(out[2], std::regex("port0_invalid_frames [1-9]"))) << out[2];
    EXPECT_TRUE(has(out[1], "port0_invalid_frames 1  ")) << out[1];  // the corruption before

    // Drive 3's cable pulled: drive 2 counts a lost link on port 1, and only two slaves answer.
    chain->pullDrive(3);
    out = diag();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(has(out[1], "port1_lost_links 1")) << out[1];
    EXPECT_TRUE(has(out[0], "port1_lost_links 0")) << out[0];
    chain->plugDrive(3);
}

TEST_F(BusTool, FirmwareArrivesByteForByte) {
    const fs::path image =
        fs::temp_directory_path() / ("zentrio-fw-" + std::to_string(getpid()) + ".bin");
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const Result r = tool({"foe-write", "3", image.string(), "--interface", "sim:3", "--json"});
    fs::remove(image);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto received = chain->firmware(3);
    ASSERT_TRUE(received.has_value());
    EXPECT_TRUE(received->complete);
    EXPECT_EQ(received->name, image.filename().string());
    EXPECT_EQ(received->bytes, bytes);
}

TEST_F(BusTool, ExitCodesAScriptCanTell) {
    EXPECT_EQ(tool({}).code, bustool::kExitUsage);
    EXPECT_EQ(tool({"--help"}).code, bustool::kExitOk);
    const Result help = tool({"sdo-upload", "--help"});
    EXPECT_EQ(help.code, bustool::kExitOk);
    EXPECT_NE(help.out.find("sdo-upload SLAVE INDEX SUB"), std::string::npos);
    EXPECT_EQ(tool({"frobnicate", "--interface", "sim:3"}).code, bustool::kExitUsage);
    EXPECT_EQ(tool({"slaves"}).code, bustool::kExitUsage);  // no interface
    EXPECT_EQ(tool({"pdos", "--interface", "sim:3"}).code, bustool::kExitUsage);
    EXPECT_EQ(tool({"slaves", "--interface", "no-such-adapter0"}).code, bustool::kExitNoBus);
    EXPECT_EQ(tool({"pdos", "4", "--interface", "sim:3"}).code, bustool::kExitUsage);
    EXPECT_EQ(tool({"state", "RUN", "--interface", "sim:3"}).code, bustool::kExitUsage);
}

}  // namespace
