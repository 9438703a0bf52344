// Recording files: a round trip keeps all bit for bit, malformed ones refused with a reason; CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "scope/recording.h"

using namespace scope;
namespace fs = std::filesystem;

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

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace

TEST(ScopeRecording, RoundTripThroughTheFileKeepsEverything) {
    const Recording r = sampleRecording();
    EXPECT_EQ(r.gapCount(), 2u);  // into cycle 200 and back out of it
    const std::string path = (fs::temp_directory_path() / "scope_test.zscope").string();
    std::string error;
    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto open = openFiles();
    ASSERT_TRUE(r.save(path, &error)) << error;
    EXPECT_TRUE(openFiles() == open &&
                (fs::status(path).permissions() & fs::perms::owner_read) == fs::perms::owner_read)
        << "closed, and readable by its owner";
    const auto back = Recording::load(path, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == r && !fs::exists(path + ".part")) << "or a temporary left";
    // Files written by the first version read the same and are written byte for byte again.
    std::ifstream kept(ZENTRIO_TEST_DATA_DIR "/sample.zscope", std::ios::binary);
    const std::string golden{std::istreambuf_iterator<char>(kept), {}};
    EXPECT_TRUE(r.toBytes() == golden && Recording::fromBytes(golden, &error) == r);
    const Recording none({{.drive = 1}}, 0.004);  // no sample: the header ends the file
    EXPECT_EQ(Recording::fromBytes(none.toBytes(), &error), none) << error;

    const std::string csv = path + ".csv";
    ASSERT_TRUE(r.writeCsv(csv, &error)) << error;
    EXPECT_EQ(linesOf(csv), linesOf(ZENTRIO_TEST_DATA_DIR "/sample.csv"));
    EXPECT_EQ(linesOf(Recording::eventsCsvPath(csv)),
              linesOf(ZENTRIO_TEST_DATA_DIR "/sample-events.csv"));
    for (const auto& file : {path, csv, Recording::eventsCsvPath(csv)})
        fs::remove(file);
}

TEST(ScopeRecording, MalformedFilesAreRefusedWithAReason) {
    const std::string good = sampleRecording().toBytes();
    // The file with `from` replaced by `to` in its header, the first line made to fit.
    const auto header = [&good](const std::string& from, const std::string& to) {
        const size_t eol = good.find('\n');
        const size_t headerBytes = std::stoul(good.substr(good.rfind(' ', eol) + 1));
        std::string h = good.substr(eol + 1, headerBytes);
        h.replace(h.find(from), from.size(), to);
        return "ZENTRIO-SCOPE 1 " + std::to_string(h.size()) + "\n" + h +
               good.substr(eol + 1 + headerBytes);
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } rows[] = {
        {"empty", "", "no first line"},
        {"wrong magic", "ZENTRIO-SCOPF" + good.substr(13), "no first line"},
        {"newer version", "ZENTRIO-SCOPE 2" + good.substr(15), "version 2"},
        {"header length garbage", std::string(good).replace(16, 1, "x"), "first line"},
        {"header length trailing", std::string(good).insert(good.find('\n'), "x"), "first line"},
        {"cut in the header", good.substr(0, 200), "header truncated"},
        {"header a byte short", good.substr(0, good.find('\n') + std::stoul(good.substr(16))),
         "header truncated"},
        {"one byte short", good.substr(0, good.size() - 1), "binary part"},
        {"one byte over", good + '\0', "binary part"},
        {"more samples claimed", header("samples: 40", "samples: 41"), "binary size"},
        {"absurd sample count", header("samples: 40", "samples: 99999999999999"), "too large"},
        {"negative sample count", header("samples: 40", "samples: -40"), "bad header"},
        {"no cycle time", header("cycle_time_s: 0.002", "cycle_time_s: 0"), "cycle time"},
        {"cycle time over 1 s", header("cycle_time_s: 0.002", "cycle_time_s: 1.5"), "cycle time"},
        {"trigger beyond", header("trigger_index: 12", "trigger_index: 40"), "trigger index"},
        {"unknown signal", header("signal: torque", "signal: force"), "unknown signal"},
        {"unknown event", header("kind: emergency", "kind: emergencx"), "unknown event kind"},
        {"channel missing a key", header("label: \"pos\"", ""), "label"},
        {"scale infinite", header("scale: 0.1000", "scale: .inf #"), "finite"},
        {"notes not UTF-8", header("line one", "line \xF9\xFF"), "UTF-8"},
        {"bad colour", header("#80123456", "#8012345"), "colour"},
        {"colour not hex", header("#80123456", "#8012345G"), "colour"},
        {"channels not a list", header("channels:", "channels: 3\nx:"), "bad header"},
        {"header not YAML", header("notes:", "notes: {[: "), "bad header"},
        {"big-endian", header("byte_order: little", "byte_order: big"), "byte order"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(Recording::fromBytes(row.bytes, &error)) << row.name;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.name << ": " << error;
    }
    // Texts: the shortest form of each code point up to U+10FFFF but the surrogates, no other.
    const auto taken = [&header](const char* text) {
        return Recording::fromBytes(header("line one", text), nullptr).has_value();
    };
    for (const char* text : {"\xC2\x80", "\xE0\xA0\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
                             "\xED\x9F\xBF\xEE\x80\x80"})
        EXPECT_TRUE(taken(text)) << text;
    for (const char* text : {"\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
                             "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xE4\xB8"})
        EXPECT_FALSE(taken(text)) << text;
    EXPECT_FALSE(Recording::load("/nonexistent/recording.zscope"));
    std::string error;  // a file that cannot be written is reported, never taken as written
    EXPECT_FALSE(sampleRecording().save("/nonexistent/r.zscope", &error) || error.empty());
    EXPECT_FALSE(sampleRecording().writeCsv("/nonexistent/r.csv", &error));
}
