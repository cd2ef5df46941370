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

#include "persistence/VersionRecord.h"
#include "tests/engine/ProgramRun.h"
#include "tests/engine/VornTestRig.h"
#include "tests/support/ScalaTexts.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

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

class VornCommandLineTest : public VornProgramTest {
protected:
    // The objects of `params --json`, one per line; each line must be an object of exactly the
    // listed members, with JSON strings, numbers, booleans, null and arrays of strings.
    std::vector<std::string> paramsJson(const std::string& arguments) const {
        const ProgramRun run = vorn("params --json" + arguments, false);
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
        {1, "text", R"("16\"")"},
        {1, "names", R"(["32\"", "16\"", "8\"", "4\""])"},
        {1, "target", "null"},
        {2, "text", R"("12.000 semitones")"},
        {2, "value", "1"},
        {4, "text", R"("Sine")"},
        {32, "text", R"("2000.0 Hz")"},
        {531, "automatable", "false"},
        {625, "text", R"("-3.00 dB")"},
        {625, "target", "103"},
        {625, "kind", R"("continuous")"},
        {625, "default", "0.699999988"}};
    for (const auto& [id, key, value] : members) EXPECT_EQ(member(p[id], key), value) << id;

    EXPECT_EQ(vorn("--version").out, "0.10\n");
    const ProgramRun table = vorn("params --set 'Output Volume=-6'", false);
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("Output Volume"), std::string::npos);
    EXPECT_NE(table.out.find("-6.00 dB"), std::string::npos);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 884);  // heading and rows
}

TEST_F(VornCommandLineTest, BenchAndDemo) {
    const ProgramRun bench = vorn("bench --voices 1 --seconds 0.2", false);
    ASSERT_EQ(bench.status, 0);
    EXPECT_TRUE(std::regex_match(
        bench.out,
        std::regex("real-time factor: [0-9]+\\.[0-9]\nns per voice-sample: [0-9]+\\.[0-9]\n")))
        << bench.out;
    EXPECT_EQ(vorn("bench --voices 33").status, 2);
    EXPECT_EQ(vorn("bench --patch light").status, 2);
    // A preset file plays as saved.
    ASSERT_EQ(vorn("params --set 'Total Voices=2' --save " + path("bench.qvp")).status, 0);
    const ProgramRun saved = vorn("bench --voices 2 --seconds 0.1 --patch " + path("bench.qvp"));
    EXPECT_EQ(saved.status, 0) << saved.out;
    EXPECT_EQ(vorn("bench --patch " + path("missing.qvp")).status, 2);

    // The demo builds up and breaks down: its sections' loudness at least 6 LU apart, the whole
    // mix at a streaming level without overs.
    const ProgramRun demo = vorn("demo -o " + path("demo.wav"));
    ASSERT_EQ(demo.status, 0) << demo.out;
    std::smatch mix;
    ASSERT_TRUE(std::regex_search(
        demo.out, mix,
        std::regex(" ([-0-9.]+) LUFS, true peak ([-0-9.]+) dBTP, sections ([0-9.]+) LU apart")))
        << demo.out;
    EXPECT_NEAR(std::stod(mix[1]), -13.0, 2.0) << demo.out;
    EXPECT_LE(std::stod(mix[2]), -1.0) << demo.out;
    EXPECT_GE(std::stod(mix[3]), 6.0) << demo.out;
    const WavLayout wav = readWavLayout(at("demo.wav"));
    EXPECT_EQ(std::tuple(wav.valid, wav.formatTag, wav.channels, wav.rate),
              std::tuple(true, uint16_t{3}, uint16_t{2}, 48000u));
}

TEST_F(VornCommandLineTest, WritesEveryFormatWithTheExactLength) {
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
            vorn("render " + path("song.mid") + " -o " + path(name) +
                     " --rate 44100 --block 100 --tail 0.25 --format " + c.format,
                 false);
        ASSERT_EQ(run.status, 0) << c.format;
        EXPECT_TRUE(std::regex_match(run.out, summary)) << run.out;
        const WavLayout wav = readWavLayout(at(name));
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
TEST_F(VornCommandLineTest, SideChainFilesAreReadAndNonFiniteSamplesRenderFinite) {
    std::vector<float> hostile;
    for (int i = 0; i < 24000; ++i) {
        hostile.push_back(i % 3 ? std::numeric_limits<float>::infinity() : 0.5f);
        hostile.push_back(i % 2 ? std::nanf("") : -std::numeric_limits<float>::infinity());
    }
    writeBytes(at("mono.wav"), wavFile(1, 48000, 1, std::vector<float>(4800)));
    writeBytes(at("hostile.wav"), wavFile(3, 48000, 2, hostile));
    for (const char* sideChain : {"mono.wav", "hostile.wav"}) {
        const ProgramRun run = vorn(
            "render " + path("song.mid") + " -o " + path("out.wav") + " --tail 0 --sidechain " +
                path(sideChain) +
                " --set 'Num Active EFs=1' --set 'Num Active Slots=1' --set 'Slot 1 Source=EF 1'"
                " --set 'Slot 1 Target=Output Volume' --set 'Slot 1 Level=1'",
            true, false);
        ASSERT_EQ(run.status, 0) << sideChain << run.out;
        EXPECT_EQ(run.out.find("nan"), std::string::npos) << run.out;
        const WavLayout out = readWavLayout(at("out.wav"));
        ASSERT_EQ(out.samples.size(), 24000u * 2) << sideChain;
        EXPECT_TRUE(std::all_of(out.samples.begin(), out.samples.end(), [](float x) {
            return std::isfinite(x);
        })) << sideChain;
    }
}

// Every refusal exits with status 2, names what is wrong and leaves no output behind. Typed values
// must be all meant: a listed name, or one finite number with a unit the parameter knows.
TEST_F(VornCommandLineTest, FailuresExitWithStatusTwoAndLeaveNoOutput) {
    Bytes truncated = oneNoteSong();
    truncated.resize(truncated.size() - 5);
    writeBytes(at("truncated.mid"), truncated);
    writeBytes(at("garbage.mid"), {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9});
    writeBytes(at("slow.wav"), wavFile(1, 22050, 1, std::vector<float>(100)));
    const std::string junk = "QV2i but nothing else";
    writeBytes(at("junk.qvp"), Bytes(junk.begin(), junk.end()));
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
        {song + out + " --set 'Osc 1 Wave Form=2 apples'", "has \"apples\" after the number"},
        {song + out + " --set 'Osc 1 Wave Form=1xyz'", "has \"xyz\" after the number"},
        {song + out + " --set 'Osc 1 Wave Form=1.5'", "is not a whole number"},
        {song + out + " --set 'Filter 1 Freq=nan'", "is not a finite number"},
        {song + out + " --format 32", "format"},
        {song + out + " --block 0", "\"0\" is outside 1 to"},
        {song + out + " --rate 0", "rate"},
        {song + out + " --rate abc", "\"abc\" is not a number"},
        {song + out + " --rate 44100.5", "is not a whole number"},
        {song + out + " --tail nan", "\"nan\" is not a finite number"},
        {song + out + " --tail 1e999", "is not a finite number"},
        {song + out + " --preset " + path("junk.qvp"), "The preset file could not be opened."},
        {song + out + " --preset " + path("missing.qvp"), "could not be opened"},
        {song + out + " --preset 'No Such Sound'", "no preset is named \"No Such Sound\""},
        {"presets info " + path("junk.qvp"), ""},
        {song, "output"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = vorn(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.out.find(message), std::string::npos) << arguments << "\n" << run.out;
        EXPECT_EQ(files(), (std::set<std::string>{"song.mid", "truncated.mid", "garbage.mid",
                                                  "slow.wav", "junk.qvp"}))
            << arguments;
    }
}

TEST_F(VornCommandLineTest, ParamsSavesAPresetThatInfoShowsAndRenderLoads) {
    const ProgramRun saved =
        vorn("params --set 'Master Tune=1' --set 'Filter 1 Freq=2 kHz' --save " + path("mine.qvp"));
    ASSERT_EQ(saved.status, 0) << saved.out;
    EXPECT_EQ(fs::file_size(at("mine.qvp")), 3544u);

    const ProgramRun info = vorn("presets info " + path("mine.qvp"));
    ASSERT_EQ(info.status, 0) << info.out;
    const std::string header =
        "# " + at("mine.qvp").string() + ": \"QV2i\" version 8, 883 values\n";
    EXPECT_EQ(info.out, header + "Master Tune=1.000 semitones\nFilter 1 Freq=2000.0 Hz\n");
    EXPECT_EQ(vorn("render song.mid -o out.wav --tail 0 --preset " + path("mine.qvp")).status, 0);
    EXPECT_TRUE(fs::exists(at("out.wav")));
    // On a new machine a factory preset is found by its name.
    const ProgramRun named =
        vorn("render song.mid -o named.wav --tail 0 --preset 'Dream Supersaw Pad'");
    EXPECT_EQ(named.status, 0) << named.out;
    // The wave-table cache lives with the other user data of this major version.
    EXPECT_TRUE(fs::exists(at("data") / VersionRecord().folderName() / "Vorn.dat"));
}

// The factory library as a musician tries it: every preset inside the audit's windows (loudness,
// true peak, mono, written pitch, bend, mod wheel, velocity, distinctness, no silence or stuck
// note); and the audit catches a raw patch that is loud, an octave up and deaf to the controls.
// Release builds only: it renders some forty minutes of audio.
TEST_F(VornCommandLineTest, AuditFindsTheFactoryLibraryInsideItsWindows) {
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "too long a render for debug and sanitizer builds";
#endif
    const ProgramRun audit = vorn("audit --check", true, 900);
    std::printf("%s", audit.out.c_str());
    EXPECT_EQ(audit.status, 0);
    EXPECT_GE(std::count(audit.out.begin(), audit.out.end(), '\n'), 70 + 2);

    ASSERT_EQ(vorn("params --set 'Output Volume=+3 dB' --save " +
                   path("documents/Vorn Presets/Raw Lead.qvp"))
                  .status,
              0);
    const ProgramRun raw = vorn("audit --check --preset 'Raw Lead'");
    EXPECT_EQ(raw.status, 1) << raw.out;
    for (const char* fault : {"loudness", "pitch", "bend", "wheel", "velocity"})
        EXPECT_NE(raw.out.find(fault), std::string::npos) << fault << "\n" << raw.out;
}

// Keeping changed files on a plain restore is the archive's own rule, tested with it.
TEST_F(VornCommandLineTest, PresetsRestoreListAndOverwrite) {
    ASSERT_EQ(vorn("presets restore").status, 0);
    const fs::path presets = at("documents/Vorn Presets");
    const Bytes factory = readBytes(presets / "Default Sound.qvp");
    EXPECT_EQ(factory.size(), 3544u);
    const ProgramRun list = vorn("presets list");
    ASSERT_EQ(list.status, 0);
    EXPECT_EQ(list.out.rfind("# " + presets.string() + "/\n(0/0) ", 0), 0u) << list.out;
    EXPECT_NE(list.out.find(") Default Sound\tDefault Sound.qvp\n"), std::string::npos);

    writeBytes(presets / "Default Sound.qvp", {'x'});
    ASSERT_EQ(vorn("presets restore --overwrite").status, 0);
    EXPECT_EQ(readBytes(presets / "Default Sound.qvp"), factory);
    // Names are looked up in the preset folder.
    EXPECT_EQ(vorn("render song.mid -o out.wav --tail 0 --preset 'Default Sound'").status, 0);
}

}  // namespace

// A sine through --tuning and --keymap sounds at the scale's pitch; refused Scala files exit with
// status 2 and name the file and line; `vorn play` keeps its tuning for the next runs.
TEST_F(VornCommandLineTest, RenderAndPlayTuneToScalaFilesAndRefuseBadOnes) {
    constexpr size_t npos = std::string::npos;
    for (const auto& [name, text] : {std::pair<std::string, std::string>{"e19.scl", equalScl(19)},
                                     {"c250.kbm", "0\n0\n127\n60\n60\n250.0\n0\n"},
                                     {"bad.scl", "bad\n2\n3/0\n2/1\n"}}) {
        writeBytes(at(name), Bytes(text.begin(), text.end()));
    }
    const std::string song = "render " + path("song.mid") + " -o " + path("out.wav");
    const ProgramRun run = vorn(song +
                                " --tail 0 --set 'Osc 1 Wave Form=Sine' --set 'Osc 1 Scale=0 "
                                "octaves' --set 'Osc 2 Enabled=Disabled' --set 'Osc 3 "
                                "Enabled=Disabled' --set 'EG Main Attack=0.001 sec' --tuning " +
                                path("e19.scl") + " --keymap " + path("c250.kbm"));
    ASSERT_EQ(run.status, 0) << run.out;
    std::vector<float> left;
    for (const float x : readWavLayout(at("out.wav")).samples) left.push_back(x);
    std::erase_if(left, [i = 0](float) mutable { return i++ % 2 == 1; });
    // Key 69 is degree 9 above key 60 at 250 Hz.
    EXPECT_NEAR(centsBetween(zeroCrossingFrequency(left, 48000.0f, 4800, 21600),
                             250.0 * std::exp2(9.0 / 19)),
                0.0, 0.2);

    std::filesystem::remove(at("out.wav"));
    const std::pair<std::string, std::string> cases[] = {
        {" --tuning " + path("bad.scl"), "bad.scl: line 3: ratio '3/0' needs two positive parts"},
        {" --tuning " + path("missing.scl"), "missing.scl: cannot be read"},
        {" --keymap " + path("c250.kbm"), "--keymap requires --tuning"},
        {" --tuning " + path("e19.scl") + " --keymap " + path("bad.scl"),
         "bad.scl: line 1: map size must be a number 0..1024"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun refused = vorn(song + arguments);
        EXPECT_EQ(refused.status, 2) << arguments;
        EXPECT_NE(refused.out.find(message), std::string::npos) << arguments << "\n" << refused.out;
        EXPECT_FALSE(std::filesystem::exists(at("out.wav"))) << arguments;
    }
    // With or without a JACK server to play on.
    const std::string play = "play --no-editor --seconds 0.1 --jack-name vorn-tuning";
    EXPECT_NE(vorn(play + " --tuning " + path("e19.scl")).out.find("tuned to \"19 EDO\"\n"), npos);
    EXPECT_NE(vorn(play).out.find("tuned to \"19 EDO\" (stored; --no-tuning clears it)"), npos);
    EXPECT_EQ(vorn(play + " --no-tuning").out.find("tuned"), npos);
    EXPECT_EQ(vorn(play).out.find("tuned"), npos);
}
