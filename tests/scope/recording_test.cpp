// Recording files: a round trip keeps everything bit for bit; malformed files are refused with a
// reason; the CSV export.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "scope/recording.h"

using namespace scope;

namespace {

Recording sampleRecording() {
    Recording r({{.drive = 1, .label = "pos"},
                 {.drive = 2, .signal = Signal::Torque, .scale = 0.1, .unit = "N·m", .label = "τ"},
                 {.drive = 3, .signal = Signal::StatusWord, .colour = 0x80123456, .label = "~"}},
                0.002);
    for (uint64_t c = 100; c < 140; ++c) {
        const float v[3] = {float(c) / 3, c == 120 ? NAN : -float(c), float(0x0237)};
        r.append(c == 130 ? 200 : c, int64_t(c) * 2'000'123, v);
    }
    r.setTriggerIndex(12);
    r.events = {{EventKind::Emergency, 2, 112, 224'000'000, "emcy 0x2310: \"過流\", a: b"},
                {EventKind::SupervisionLost, kAllDrives, 130, 260'000'000, ""}};
    r.identities[2] = {{"product", "QJ30"}, {"software", "1.4.2 #7"}, {"null", "no"}};
    r.notes = "line one\nline two: {x}";
    return r;
}

std::string tempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("scope_test_") + name)).string();
}

// The file with its header edited and the first line made to fit the new header.
std::string withHeader(const std::string& bytes, const std::function<void(std::string&)>& edit) {
    const size_t eol = bytes.find('\n');
    const size_t headerBytes = std::stoul(bytes.substr(bytes.rfind(' ', eol) + 1));
    std::string header = bytes.substr(eol + 1, headerBytes);
    edit(header);
    return "ZENTRIO-SCOPE 1 " + std::to_string(header.size()) + "\n" + header +
           bytes.substr(eol + 1 + headerBytes);
}

std::function<void(std::string&)> replace(std::string from, std::string to) {
    return [from, to](std::string& h) {
        const size_t at = h.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        h.replace(at, from.size(), to);
    };
}

}  // namespace

TEST(ScopeRecording, RoundTripThroughTheFileKeepsEverything) {
    const Recording r = sampleRecording();
    EXPECT_EQ(r.gapCount(), 2u);  // into cycle 200 and back out of it
    EXPECT_TRUE(r.gapBefore(30));
    const std::string path = tempPath("roundtrip.zscope");
    std::string error;
    ASSERT_TRUE(r.save(path, &error)) << error;
    const auto back = Recording::load(path, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == r);
    EXPECT_TRUE(std::isnan(back->value(1, 20)));
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    const std::string csv = tempPath("export.csv");
    ASSERT_TRUE(r.writeCsv(csv, &error)) << error;
    std::ifstream in(csv);
    std::string header, first;
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(header, "cycle,time_s,gap,pos [turn],τ [N·m],~");
    EXPECT_EQ(first, "100,0.200012300,0,33.3333321,-100,567");
    std::ifstream events(Recording::eventsCsvPath(csv));
    std::string eventsHeader, emcy;
    std::getline(events, eventsHeader);
    std::getline(events, emcy);
    EXPECT_EQ(emcy, "112,0.224000000,emergency,2,\"emcy 0x2310: \"\"過流\"\", a: b\"");
    std::filesystem::remove(path);
    std::filesystem::remove(csv);
    std::filesystem::remove(Recording::eventsCsvPath(csv));
}

TEST(ScopeRecording, MalformedFilesAreRefusedWithAReason) {
    const std::string good = sampleRecording().toBytes();
    const size_t headerEnd = good.size() - 40 * (8 + 8 + 3 * 4);
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } rows[] = {
        {"empty", "", "no first line"},
        {"wrong magic", "ZENTRIO-SCOPF" + good.substr(13), "no first line"},
        {"newer version", "ZENTRIO-SCOPE 2" + good.substr(15), "version 2"},
        {"header length garbage", withHeader(good, [](std::string&) {}).replace(16, 1, "x"),
         "first line"},
        {"cut in the first line", good.substr(0, 10), "no first line"},
        {"cut in the header", good.substr(0, 200), "header truncated"},
        {"cut at the binary part", good.substr(0, headerEnd), "binary part holds 0"},
        {"cut in the cycles", good.substr(0, headerEnd + 100), "binary part holds 100"},
        {"one byte short", good.substr(0, good.size() - 1), "binary part"},
        {"one byte over", good + '\0', "binary part"},
        {"more samples claimed", withHeader(good, replace("samples: 40", "samples: 41")),
         "binary size"},
        {"absurd sample count", withHeader(good, replace("samples: 40", "samples: 99999999999999")),
         "too large"},
        {"negative sample count", withHeader(good, replace("samples: 40", "samples: -40")),
         "bad header"},
        {"trigger beyond", withHeader(good, replace("trigger_index: 12", "trigger_index: 40")),
         "trigger index"},
        {"unknown signal", withHeader(good, replace("signal: torque", "signal: force")),
         "unknown signal"},
        {"channel missing a key", withHeader(good, replace("label: \"pos\"", "")), "label"},
        {"scale infinite", withHeader(good, replace("scale: 0.1000", "scale: .inf #")), "finite"},
        {"notes not UTF-8", withHeader(good, replace("line one", "line \xF9\xFF")), "UTF-8"},
        {"bad colour", withHeader(good, replace("#80123456", "#8012345")), "colour"},
        {"channels not a list", withHeader(good, replace("channels:", "channels: 3\nx:")),
         "bad header"},
        {"header not YAML", withHeader(good, [](std::string& h) { h = "{[: "; }), "bad header"},
        {"big-endian", withHeader(good, replace("byte_order: little", "byte_order: big")),
         "byte order"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(Recording::fromBytes(row.bytes, &error)) << row.name;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.name << ": " << error;
    }
    std::string error;
    EXPECT_TRUE(Recording::fromBytes(withHeader(good, [](std::string&) {}), &error)) << error;
    EXPECT_FALSE(Recording::load(tempPath("does-not-exist"), &error));
}
