#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/engine/ProgramRun.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Runs the program with a shell-quoted argument string; stderr goes to out as well when asked.
ProgramRun runVorn(const std::string& arguments, bool withErrors = false) {
    return runShell("'" + vornBinary() + "' " + arguments +
                    (withErrors ? " 2>&1" : " 2>/dev/null"));
}

void appendLittleEndian(Bytes& out, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A WAV file laid out by hand: 16-bit PCM (format 1) or 32-bit float (format 3) samples.
Bytes wavFile(uint16_t format, uint32_t rate, uint16_t channels,
              const std::vector<float>& samples) {
    const uint32_t size = format == 3 ? 4 : 2;
    const auto dataBytes = static_cast<uint32_t>(samples.size() * size);
    Bytes out = {'R', 'I', 'F', 'F'};
    appendLittleEndian(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    const std::pair<uint32_t, int> fields[] = {{16, 4},
                                               {format, 2},
                                               {channels, 2},
                                               {rate, 4},
                                               {rate * channels * size, 4},
                                               {channels * size, 2},
                                               {8 * size, 2}};
    for (const auto& [value, bytes] : fields) appendLittleEndian(out, value, bytes);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    appendLittleEndian(out, dataBytes, 4);
    for (const float x : samples) {
        appendLittleEndian(out, format == 3 ? std::bit_cast<uint32_t>(x) : 0u, size);
    }
    return out;
}

// The fields of a WAV file's "fmt " chunk, the size of its "data" chunk and, for 32-bit float
// files, the samples.
struct WavLayout {
    bool valid = false;
    uint16_t formatTag = 0, channels = 0, bits = 0;
    uint32_t rate = 0, dataBytes = 0;
    std::vector<float> samples;
};

WavLayout readWavLayout(const fs::path& path) {
    const Bytes b = readBytes(path);
    const auto read = [&](size_t at, int count) {
        uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = (value << 8) | b[at + i];
        return value;
    };
    WavLayout w;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
        return w;
    bool format = false, data = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t length = read(at + 4, 4);
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && length >= 16) {
            w.formatTag = static_cast<uint16_t>(read(at + 8, 2));
            w.channels = static_cast<uint16_t>(read(at + 10, 2));
            w.rate = read(at + 12, 4);
            w.bits = static_cast<uint16_t>(read(at + 22, 2));
            format = true;
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            w.dataBytes = length;
            data = at + 8 + length <= b.size();
            if (data && w.formatTag == 3 && w.bits == 32) {
                w.samples.resize(length / 4);
                std::memcpy(w.samples.data(), b.data() + at + 8, w.samples.size() * 4);
            }
        }
        at += 8 + length + (length & 1);
    }
    w.valid = format && data;
    return w;
}

// One member of a line of `params --json`: "key": value.
std::string member(const std::string& line, const std::string& key) {
    const std::regex value("\"" + key + "\": (\"(?:[^\"\\\\]|\\\\.)*\"|\\[[^\\]]*\\]|[^,}]+)");
    std::smatch m;
    return std::regex_search(line, m, value) ? m[1].str() : "";
}

class VornCommandLineTest : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(vornBinary())) GTEST_SKIP() << "build the vorn program first";
    }
    // The objects of `params --json`, one per line; each line must be an object of exactly the
    // listed members, with JSON strings, numbers, booleans, null and arrays of strings.
    static std::vector<std::string> paramsJson(const std::string& arguments) {
        const ProgramRun run = runVorn("params --json" + arguments);
        EXPECT_EQ(run.status, 0);
        const std::string str = R"("(?:[^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-f]{4})*")";
        const std::string num = R"(-?[0-9]+(?:\.[0-9]+)?(?:[eE][-+]?[0-9]+)?)";
        const std::regex object(
            "  \\{\"id\": [0-9]+, \"name\": " + str +
            ", \"kind\": \"(?:" + "continuous|list)\", \"min\": " + num + ", \"max\": " + num +
            ", \"default\": " + num + ", \"value\": " + num + ", \"text\": " + str +
            ", \"automatable\": (?:true|false), \"target\": (?:[0-9]+|" +
            "null), \"names\": (?:null|\\[" + str + "(?:, " + str + ")*\\])\\}");
        std::istringstream in(run.out);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        EXPECT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.front(), "[");
        EXPECT_EQ(lines.back(), "]");
        std::vector<std::string> objects(lines.begin() + 1, lines.end() - 1);
        for (size_t i = 0; i < objects.size(); ++i) {
            std::string& o = objects[i];
            EXPECT_EQ(o.back() == ',', i + 1 < objects.size()) << o;
            if (o.back() == ',') o.pop_back();
            EXPECT_TRUE(std::regex_match(o, object)) << o;
            EXPECT_EQ(member(o, "id"), std::to_string(i));
        }
        return objects;
    }
};

// Assignments apply in order, typed as a user would; the others keep their defaults.
TEST_F(VornCommandLineTest, ParamsListsEveryHostParameterAfterTheAssignments) {
    const std::vector<std::string> p = paramsJson(
        " --set 'Filter 1 Freq=2 kHz' --set 'osc 1 detune=1 oct' --set 'Osc 1 Wave "
        "Form=Sine' --set 'Output Volume=-6' --set 'Output Volume=-3'");
    ASSERT_EQ(p.size(), 883u);
    const std::tuple<int, const char*, std::string> members[] = {
        {1, "name", R"("Master Scale")"},
        {1, "text", R"("16\"")"},
        {1, "names", R"(["32\"", "16\"", "8\"", "4\""])"},
        {1, "target", "null"},
        {2, "text", R"("12.000 semitones")"},
        {2, "value", "1"},
        {4, "text", R"("Sine")"},
        {32, "text", R"("2000.0 Hz")"},
        {530, "automatable", "true"},
        {531, "automatable", "false"},
        {625, "text", R"("-3.00 dB")"},
        {625, "target", "103"},
        {625, "kind", R"("continuous")"},
        {625, "default", "0.699999988"},
        {882, "name", R"("Slot 50 Target")"}};
    for (const auto& [id, key, value] : members) EXPECT_EQ(member(p[id], key), value) << id;

    EXPECT_EQ(runVorn("--version").out, "0.10\n");
    const ProgramRun table = runVorn("params --set 'Output Volume=-6'");
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("Output Volume"), std::string::npos);
    EXPECT_NE(table.out.find("-6.00 dB"), std::string::npos);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 884);  // heading and rows
}

TEST_F(VornCommandLineTest, BenchAndDemo) {
    const ProgramRun bench = runVorn("bench --voices 1 --seconds 0.2");
    ASSERT_EQ(bench.status, 0);
    EXPECT_TRUE(std::regex_match(
        bench.out,
        std::regex("real-time factor: [0-9]+\\.[0-9]\nns per voice-sample: [0-9]+\\.[0-9]\n")))
        << bench.out;
    EXPECT_EQ(runVorn("bench --voices 33").status, 2);
    EXPECT_EQ(runVorn("bench --patch light").status, 2);

    const ScratchFolder folder;
    const ProgramRun demo = runVorn("demo -o " + folder.quoted("demo.wav"), true);
    ASSERT_EQ(demo.status, 0) << demo.out;
    for (const char* part : {"pad", "bass", "lead"}) {
        EXPECT_NE(demo.out.find(part), std::string::npos) << demo.out;
    }
    const WavLayout wav = readWavLayout(folder.path() / "demo.wav");
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(std::tuple(wav.formatTag, wav.channels, wav.rate),
              std::tuple(uint16_t{3}, uint16_t{2}, 48000u));
    // Twelve bars at 96 BPM, then the tail of the last chord.
    const double seconds = wav.dataBytes / (2.0 * 4 * 48000);
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 60.0);
}

// A fresh folder with the one-note song in it.
class VornRenderTest : public VornCommandLineTest {
protected:
    void SetUp() override {
        VornCommandLineTest::SetUp();
        writeBytes(folder_.path() / "song.mid", oneNoteSong());
    }
    std::string path(const std::string& name) const { return folder_.quoted(name); }
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    ScratchFolder folder_;
};

TEST_F(VornRenderTest, WritesEveryFormatWithTheExactLength) {
    struct Case {
        const char* format;
        uint16_t formatTag, bits;
    };
    // The note ends at 0.5 s; with a 0.25 s tail that is 33075 frames at 44.1 kHz, whatever the
    // host block size.
    const Case cases[] = {{"float", 3, 32}, {"24", 1, 24}, {"16", 1, 16}};
    const uint32_t frames = 33075;
    const std::regex summary(
        "^.*out-[0-9a-z]+\\.wav: 0\\.750 s at 44100 Hz, peak -?(inf|[0-9.]+) dBFS, RMS "
        "-?(inf|[0-9.]+) dBFS, CPU [0-9.]+ s, real-time factor [0-9.inf]+\n$");
    for (const Case& c : cases) {
        const std::string name = std::string("out-") + c.format + ".wav";
        const ProgramRun run =
            runVorn("render " + path("song.mid") + " -o " + path(name) +
                    " --rate 44100 --block 100 --tail 0.25 --format " + c.format);
        ASSERT_EQ(run.status, 0) << c.format;
        EXPECT_TRUE(std::regex_match(run.out, summary)) << run.out;
        const WavLayout wav = readWavLayout(folder_.path() / name);
        EXPECT_TRUE(wav.valid) << c.format;
        EXPECT_EQ(std::tuple(wav.formatTag, wav.channels, wav.rate, wav.bits, wav.dataBytes),
                  std::tuple(c.formatTag, uint16_t{2}, 44100u, c.bits, frames * 2 * c.bits / 8))
            << c.format;
    }
    // Only the results: no temporary file stays behind.
    EXPECT_EQ(files(),
              (std::set<std::string>{"song.mid", "out-float.wav", "out-24.wav", "out-16.wav"}));
}

// Side-chain files mono or stereo, 16-bit or float; a float file holding infinities and NaN,
// through a follower to the volume, still renders every sample finite.
TEST_F(VornRenderTest, SideChainFilesAreReadAndNonFiniteSamplesRenderFinite) {
    std::vector<float> hostile;
    for (int i = 0; i < 24000; ++i) {
        hostile.push_back(i % 3 ? std::numeric_limits<float>::infinity() : 0.5f);
        hostile.push_back(i % 2 ? std::nanf("") : -std::numeric_limits<float>::infinity());
    }
    writeBytes(folder_.path() / "mono.wav", wavFile(1, 48000, 1, std::vector<float>(4800)));
    writeBytes(folder_.path() / "hostile.wav", wavFile(3, 48000, 2, hostile));
    for (const char* sideChain : {"mono.wav", "hostile.wav"}) {
        const ProgramRun run = runVorn(
            "render " + path("song.mid") + " -o " + path("out.wav") + " --tail 0 --sidechain " +
                path(sideChain) +
                " --set 'Num Active EFs=1' --set 'Num Active Slots=1' --set 'Slot 1 Source=EF 1'"
                " --set 'Slot 1 Target=Output Volume' --set 'Slot 1 Level=1'",
            true);
        ASSERT_EQ(run.status, 0) << sideChain << run.out;
        EXPECT_EQ(run.out.find("nan"), std::string::npos) << run.out;
        const WavLayout out = readWavLayout(folder_.path() / "out.wav");
        ASSERT_EQ(out.samples.size(), 24000u * 2) << sideChain;
        EXPECT_TRUE(std::all_of(out.samples.begin(), out.samples.end(), [](float x) {
            return std::isfinite(x);
        })) << sideChain;
    }
}

// Every refusal exits with status 2, names what is wrong and leaves no output behind.
TEST_F(VornRenderTest, FailuresExitWithStatusTwoAndLeaveNoOutput) {
    Bytes truncated = oneNoteSong();
    truncated.resize(truncated.size() - 5);
    writeBytes(folder_.path() / "truncated.mid", truncated);
    writeBytes(folder_.path() / "garbage.mid", {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9});
    writeBytes(folder_.path() / "slow.wav", wavFile(1, 22050, 1, std::vector<float>(100)));
    const std::string song = "render " + path("song.mid");
    const std::string out = " -o " + path("out.wav");
    const std::pair<std::string, std::string> cases[] = {
        {"params --set 'Filter 1 Frq=2 kHz'", "Filter 1 Freq"},
        {"params --set 'Filter 1 Freq'", "NAME=TEXT"},
        {"params --set 'Filter 1 Freq=loud'", "kHz"},
        // A later good assignment does not rescue an earlier bad one.
        {"params --set 'Master Scale=64\"' --set 'Master Scale=8\"'", "32\""},
        {"render " + path("missing.mid") + out, "missing.mid"},
        {"render " + path("garbage.mid") + out, "MThd"},
        {"render " + path("truncated.mid") + out, "beyond the end"},
        {song + " -o " + path("no-such-folder/out.wav"), "no-such-folder"},
        {song + " -o " + path(""), "cannot write"},
        {song + out + " --set 'Osc 1 Wave Form=Saw'", "Sawtooth"},
        {song + out + " --sidechain " + path("missing.wav"), "missing.wav"},
        {song + out + " --sidechain " + path("garbage.mid"), "garbage.mid"},
        {song + out + " --sidechain " + path("slow.wav"), "22050"},
        {song + out + " --format 32", "format"},
        {song + out + " --block 0", "block"},
        {song + out + " --rate 0", "rate"},
        {song + out + " --rate nan", "rate"},
        {song, "output"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = runVorn(arguments, true);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.out.find(message), std::string::npos) << arguments << "\n" << run.out;
        EXPECT_EQ(files(),
                  (std::set<std::string>{"song.mid", "truncated.mid", "garbage.mid", "slow.wav"}))
            << arguments;
    }
}

}  // namespace
