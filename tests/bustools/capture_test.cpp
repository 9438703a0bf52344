// Captures under load: overflow dropped and counted, never waited for; tshark reads the rest.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "capture.h"

namespace {

namespace fs = std::filesystem;

// Per frame of the file, as tshark dissects it: "protocols|malformed" and the fields asked for.
std::vector<std::string> dissect(const fs::path& file, const std::string& fields = "") {
    const std::string command = "tshark -r '" + file.string() + "' -T fields -E separator='|' " +
                                "-e frame.protocols -e _ws.malformed " + fields + " 2>/dev/null";
    std::vector<std::string> frames;
    FILE* p = ::popen(command.c_str(), "r");
    char line[4096];
    while (p != nullptr && std::fgets(line, sizeof line, p) != nullptr)
        frames.emplace_back(line, std::strcspn(line, "\n"));
    if (p != nullptr)
        ::pclose(p);
    return frames;
}

TEST(Capture, AFullQueueDropsAndCountsInsteadOfWaiting) {
    ASSERT_EQ(std::system("command -v tshark > /dev/null"), 0) << "tshark is needed";
    const fs::path file =
        fs::temp_directory_path() / ("burst-" + std::to_string(::getpid()) + ".pcapng");
    auto capture = ec::FrameCapture::start(file.string(), "burst");
    ASSERT_TRUE(capture);
    // One NOP datagram (length 12: header and WKC; type 1), recorded faster than a disk takes it.
    std::vector<uint8_t> frame{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0,
                               0,    0,    0,    0,    0x88, 0xA4, 12,   0x10};
    frame.resize(60);
    constexpr uint64_t kFrames = 3 * ec::FrameCapture::kQueueFrames;
    for (uint64_t i = 0; i < kFrames; ++i)
        capture->record(frame, ec::CaptureDirection::Outbound);
    ec::CaptureStats stats;
    ASSERT_TRUE(capture->stop(&stats) && stats.written + stats.dropped == kFrames);
    EXPECT_GE(stats.written, 1u);
    const auto frames = dissect(file);
    EXPECT_EQ(frames.size(), stats.written);
    for (const std::string& f : frames)
        ASSERT_TRUE(f.starts_with("eth:ethertype:ecatf:ecat") && f.ends_with('|')) << f;
    capture->record(frame, ec::CaptureDirection::Outbound);  // after stop: ignored
    EXPECT_EQ(capture->stats().written + capture->stats().dropped, kFrames);
    fs::remove(file);

    EXPECT_FALSE(ec::FrameCapture::start("/nonexistent-dir/x.pcapng", "x"));

    // Blocks written directly, fields distinct: odd padded length, directions, time halves, name.
    std::vector<uint8_t> bytes = ec::pcapngPreamble("zt-line");
    frame.resize(61);
    ec::appendPcapngPacket(bytes, (uint64_t{3} << 32) + 7, frame, ec::CaptureDirection::Inbound);
    frame.resize(64);
    ec::appendPcapngPacket(bytes, 5'000'000'123, frame, ec::CaptureDirection::Outbound);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    EXPECT_EQ(
        dissect(file,
                "-e frame.interface_name -e frame.packet_flags_direction -e frame.len "
                "-e frame.time_epoch"),
        (std::vector<std::string>{"eth:ethertype:ecatf:ecat||zt-line|0x00000001|61|12.884901895",
                                  "eth:ethertype:ecatf:ecat||zt-line|0x00000002|64|5.000000123"}));
    fs::remove(file);
}

}  // namespace
