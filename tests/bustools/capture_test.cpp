// Bus captures: what the master sends and receives, written as pcapng and read back by tshark.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "capture.h"
#include "ethercat.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

namespace {

namespace fs = std::filesystem;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) {
            out.append(buf, n);
        }
        ::pclose(p);
    }
    return out;
}

// Per frame of the file, as tshark dissects it: "protocols|source address|malformed".
std::vector<std::string> dissect(const fs::path& file) {
    std::istringstream lines(run("tshark -r '" + file.string() +
                                 "' -T fields -E separator='|' -e frame.protocols -e eth.src "
                                 "-e _ws.malformed 2>/dev/null"));
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);) {
        frames.push_back(line);
    }
    return frames;
}

fs::path tempFile(const std::string& name) {
    return fs::temp_directory_path() /
           (name + "-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".pcapng");
}

TEST(Capture, BusTrafficOpensInTsharkAsEthercatWithTheMastersAddress) {
    ASSERT_EQ(std::system("command -v tshark > /dev/null"), 0) << "tshark is needed";
    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(2));
    ec::OwnedContext master;
    const fs::path file = tempFile("bus");
    EXPECT_EQ(ecx_capture_start(master.get(), file.c_str()), 0);  // no link yet
    ASSERT_GT(ecx_init_link(master.get(), sim::makeVirtualLink(chain)), 0);
    ASSERT_GT(ecx_capture_start(master.get(), file.c_str()), 0);

    ASSERT_EQ(ecx_config_init(master.get(), FALSE), 2);
    std::vector<uint8_t> iomap(4096);
    ASSERT_GT(ecx_config_map_sized(master.get(), iomap.data(), iomap.size()), 0);
    uint32_t deviceType = 0;
    int size = sizeof deviceType;
    ASSERT_GT(ecx_SDOread(master.get(), 1, 0x1000, 0, false, &size, &deviceType, EC_TIMEOUTRXM), 0);
    for (int i = 0; i < 20; ++i) {
        ecx_send_processdata(master.get());
        ecx_receive_processdata(master.get(), 100000);
    }
    ec::CaptureStats stats;
    ASSERT_GT(ecx_capture_stop(master.get(), &stats), 0);
    EXPECT_EQ(ecx_capture_stop(master.get(), &stats), 0);  // nothing runs any more
    EXPECT_EQ(stats.dropped, 0u);
    ecx_close(master.get());

    const auto frames = dissect(file);
    ASSERT_EQ(frames.size(), stats.written);
    // Requests and replies alike: scan, mapping, the mailbox and 20 process-data exchanges.
    EXPECT_GT(stats.written, 2u * 20u);
    for (const std::string& f : frames) {
        ASSERT_NE(f.find("eth:ethertype:ecatf:ecat"), std::string::npos) << f;
        ASSERT_NE(f.find("|02:00:00:00:00:01|"), std::string::npos) << f;
        ASSERT_EQ(f.find("malformed"), std::string::npos) << f;
        ASSERT_EQ(f.back(), '|') << f;  // no malformed mark
    }
    fs::remove(file);
}

TEST(Capture, AFullQueueDropsAndCountsInsteadOfWaiting) {
    const fs::path file = tempFile("burst");
    auto capture = ec::FrameCapture::start(file.string(), "burst");
    ASSERT_TRUE(capture);
    // An EtherCAT frame of one NOP datagram, recorded far faster than a disk takes it.
    std::vector<uint8_t> frame(60, 0);
    std::fill_n(frame.begin(), 6, 0xFF);
    frame[6] = 0x02;
    frame[12] = 0x88;
    frame[13] = 0xA4;
    frame[14] = 12;    // datagram bytes: 10 header + 0 data + 2 wkc
    frame[15] = 0x10;  // type 1 (EtherCAT commands)
    constexpr uint64_t kFrames = 3 * ec::FrameCapture::kQueueFrames;
    for (uint64_t i = 0; i < kFrames; ++i) {
        capture->record(frame, ec::CaptureDirection::Outbound);
    }
    ec::CaptureStats stats;
    ASSERT_TRUE(capture->stop(&stats));
    EXPECT_EQ(stats.written + stats.dropped, kFrames);
    EXPECT_GE(stats.written, 1u);
    EXPECT_EQ(dissect(file).size(), stats.written);
    capture->record(frame, ec::CaptureDirection::Outbound);  // after stop: ignored
    EXPECT_EQ(capture->stats().written + capture->stats().dropped, kFrames);
    fs::remove(file);

    EXPECT_FALSE(ec::FrameCapture::start("/nonexistent-dir/x.pcapng", "x"));
}

}  // namespace
