#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/engine/ProgramRun.h"

namespace {

// Runs the program with a shell-quoted argument string; stderr goes to out as well when asked.
ProgramRun runVorn(const std::string& arguments, bool withErrors = false) {
    std::string command(1, '\'');
    command += vornBinary();
    command += "' ";
    command += arguments;
    command += withErrors ? " 2>&1" : " 2>/dev/null";
    return runShell(command);
}

using Bytes = std::vector<uint8_t>;

void appendLittleEndian(Bytes& out, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Format 0, 480 ticks per quarter, 120 BPM: one note from 0 to 0.5 s on channel 1.
Bytes oneNoteSong() {
    return {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,
            0x01, 0xE0, 'M',  'T',  'r',  'k',  0,    0,    0,    13,   0x00, 0x90,
            0x45, 0x64, 0x83, 0x60, 0x80, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00};
}

// A 16-bit PCM WAV file of silence, laid out by hand.
Bytes pcmWav(uint32_t rate, uint16_t channels, uint32_t frames) {
    const uint32_t dataBytes = frames * channels * 2;
    Bytes out = {'R', 'I', 'F', 'F'};
    appendLittleEndian(out, 36 + dataBytes, 4);
    for (const char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
    appendLittleEndian(out, 16, 4);
    appendLittleEndian(out, 1, 2);  // PCM
    appendLittleEndian(out, channels, 2);
    appendLittleEndian(out, rate, 4);
    appendLittleEndian(out, rate * channels * 2, 4);
    appendLittleEndian(out, channels * 2u, 2);
    appendLittleEndian(out, 16, 2);
    for (const char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
    appendLittleEndian(out, dataBytes, 4);
    out.resize(out.size() + dataBytes, 0);
    return out;
}

// The fields of a WAV file's "fmt " chunk and the size of its "data" chunk.
struct WavLayout {
    bool valid = false;
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    uint32_t dataBytes = 0;
};

WavLayout readWavLayout(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto read = [&](size_t at, int count) {
        uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
        return value;
    };
    WavLayout layout;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return layout;
    }
    bool format = false, data = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t length = read(at + 4, 4);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && length >= 16) {
            layout.formatTag = static_cast<uint16_t>(read(at + 8, 2));
            layout.channels = static_cast<uint16_t>(read(at + 10, 2));
            layout.rate = read(at + 12, 4);
            layout.bits = static_cast<uint16_t>(read(at + 22, 2));
            format = true;
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            layout.dataBytes = length;
            data = at + 8 + length <= bytes.size();
        }
        at += 8 + length + (length & 1);
    }
    layout.valid = format && data;
    return layout;
}

std::set<std::string> filesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A strict reader of the JSON the command prints: checks the grammar and collects the members
// of the objects in the top-level array.
class JsonReader {
public:
    using Object = std::map<std::string, std::string>;  // member -> raw value text

    explicit JsonReader(const std::string& text) : text_(text) {}

    bool readArrayOfObjects(std::vector<Object>& objects) {
        skip();
        if (!take('[')) return false;
        skip();
        if (take(']')) return atEnd();
        do {
            Object object;
            if (!readObject(object)) return false;
            objects.push_back(std::move(object));
            skip();
        } while (take(','));
        return take(']') && atEnd();
    }

private:
    bool readObject(Object& object) {
        skip();
        if (!take('{')) return false;
        skip();
        if (take('}')) return true;
        do {
            skip();
            std::string key;
            if (!readString(&key)) return false;
            skip();
            if (!take(':')) return false;
            skip();
            const size_t start = pos_;
            if (!readValue()) return false;
            if (!object.emplace(key, text_.substr(start, pos_ - start)).second) return false;
            skip();
        } while (take(','));
        return take('}');
    }
    bool readValue() {
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '"') return readString(nullptr);
        if (c == '[') {
            ++pos_;
            skip();
            if (take(']')) return true;
            do {
                skip();
                if (!readValue()) return false;
                skip();
            } while (take(','));
            return take(']');
        }
        if (c == '{') {
            Object ignored;
            return readObject(ignored);
        }
        for (const char* word : {"true", "false", "null"}) {
            if (text_.compare(pos_, std::char_traits<char>::length(word), word) == 0) {
                pos_ += std::char_traits<char>::length(word);
                return true;
            }
        }
        return readNumber();
    }
    bool readString(std::string* out) {
        if (!take('"')) return false;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c < 0x20) return false;
            if (c == '\\') {
                if (++pos_ >= text_.size()) return false;
                const std::string escapes = "\"\\/bfnrtu";
                if (escapes.find(text_[pos_]) == std::string::npos) return false;
                if (text_[pos_] == 'u') pos_ += 4;
                if (out) out->push_back('?');
            } else if (out) {
                out->push_back(static_cast<char>(c));
            }
            ++pos_;
        }
        return take('"');
    }
    bool readNumber() {
        const size_t start = pos_;
        take('-');
        if (!digits()) return false;
        if (take('.') && !digits()) return false;
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        return pos_ > start;
    }
    bool digits() {
        const size_t start = pos_;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        return pos_ > start;
    }
    bool take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    bool atEnd() {
        skip();
        return pos_ == text_.size();
    }

    const std::string& text_;
    size_t pos_ = 0;
};

class VornCommandLineTest : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(vornBinary())) {
            GTEST_SKIP() << "build the vorn program first (" << vornBinary() << ")";
        }
    }
};

TEST_F(VornCommandLineTest, ParamsJsonListsEveryHostParameter) {
    const ProgramRun run = runVorn("params --json");
    ASSERT_EQ(run.status, 0);
    std::vector<JsonReader::Object> objects;
    ASSERT_TRUE(JsonReader(run.out).readArrayOfObjects(objects)) << run.out.substr(0, 400);
    ASSERT_EQ(objects.size(), 883u);
    const std::set<std::string> keys = {"id",    "name",        "kind",   "min",   "max", "default",
                                        "value", "automatable", "target", "names", "text"};
    for (size_t i = 0; i < objects.size(); ++i) {
        std::set<std::string> present;
        for (const auto& [key, value] : objects[i]) present.insert(key);
        EXPECT_EQ(present, keys) << i;
        EXPECT_EQ(objects[i]["id"], std::to_string(i));
    }
    EXPECT_EQ(objects[1]["name"], "\"Master Scale\"");
    EXPECT_EQ(objects[1]["text"], "\"16\\\"\"");
    EXPECT_EQ(objects[1]["names"], "[\"32\\\"\", \"16\\\"\", \"8\\\"\", \"4\\\"\"]");
    EXPECT_EQ(objects[1]["target"], "null");
    EXPECT_EQ(objects[1]["kind"], "\"list\"");
    EXPECT_EQ(objects[625]["text"], "\"+0.00 dB\"");
    EXPECT_EQ(objects[625]["target"], "103");
    EXPECT_EQ(objects[625]["names"], "null");
    EXPECT_EQ(objects[625]["kind"], "\"continuous\"");
    EXPECT_EQ(objects[625]["default"], "0.699999988");
    EXPECT_EQ(objects[531]["automatable"], "false");
    EXPECT_EQ(objects[530]["automatable"], "true");
    EXPECT_EQ(objects[882]["name"], "\"Slot 50 Target\"");
}

TEST_F(VornCommandLineTest, SetAppliesAssignmentsInOrder) {
    const ProgramRun run = runVorn(
        "params --json --set 'Filter 1 Freq=2 kHz' --set 'osc 1 detune=1 oct' "
        "--set 'Osc 1 Wave Form=Sine' --set 'Output Volume=-6' --set 'Output Volume=-3'");
    ASSERT_EQ(run.status, 0);
    std::vector<JsonReader::Object> objects;
    ASSERT_TRUE(JsonReader(run.out).readArrayOfObjects(objects));
    ASSERT_EQ(objects.size(), 883u);
    EXPECT_EQ(objects[32]["text"], "\"2000.0 Hz\"");
    EXPECT_EQ(objects[2]["text"], "\"12.000 semitones\"");
    EXPECT_EQ(objects[2]["value"], "1");
    EXPECT_EQ(objects[4]["text"], "\"Sine\"");
    EXPECT_EQ(objects[625]["text"], "\"-3.00 dB\"");
}

TEST_F(VornCommandLineTest, BadAssignmentsExitWithStatusTwo) {
    ProgramRun run = runVorn("params --set 'Filter 1 Frq=2 kHz'", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("Filter 1 Freq"), std::string::npos) << run.out;

    run = runVorn("params --set 'Filter 1 Freq'", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("NAME=TEXT"), std::string::npos) << run.out;

    run = runVorn("params --set 'Filter 1 Freq=loud'", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("kHz"), std::string::npos) << run.out;

    run = runVorn("params --set 'Osc 1 Wave Form=Saw'", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("Sawtooth"), std::string::npos) << run.out;

    // A later good assignment does not rescue an earlier bad one.
    run = runVorn("params --set 'Master Scale=64\"' --set 'Master Scale=8\"'", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("32\""), std::string::npos) << run.out;
}

TEST_F(VornCommandLineTest, VersionAndTable) {
    ProgramRun run = runVorn("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0.10\n");

    run = runVorn("params");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Output Volume"), std::string::npos);
    EXPECT_NE(run.out.find("+0.00 dB"), std::string::npos);
    size_t lines = 0;
    for (const char c : run.out) lines += c == '\n';
    EXPECT_EQ(lines, 884u);  // heading and one line per parameter
}

// A fresh folder with the one-note song in it.
class VornRenderTest : public VornCommandLineTest {
protected:
    void SetUp() override {
        VornCommandLineTest::SetUp();
        if (IsSkipped()) return;
        folder_ = std::filesystem::temp_directory_path() /
                  ("vorn-render-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        writeFile(folder_ / "song.mid", oneNoteSong());
    }
    void TearDown() override {
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    std::string path(const std::string& name) const {
        std::string quoted(1, '\'');
        quoted += (folder_ / name).string();
        quoted += '\'';
        return quoted;
    }

    std::filesystem::path folder_;
};

TEST_F(VornRenderTest, WritesEveryFormatWithTheExactLength) {
    struct Case {
        const char* format;
        uint16_t formatTag;
        uint16_t bits;
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
        const WavLayout wav = readWavLayout(folder_ / name);
        ASSERT_TRUE(wav.valid) << c.format;
        EXPECT_EQ(wav.formatTag, c.formatTag) << c.format;
        EXPECT_EQ(wav.channels, 2) << c.format;
        EXPECT_EQ(wav.rate, 44100u) << c.format;
        EXPECT_EQ(wav.bits, c.bits) << c.format;
        EXPECT_EQ(wav.dataBytes, frames * 2 * c.bits / 8) << c.format;
    }
    // Only the results: no temporary file stays behind.
    EXPECT_EQ(filesIn(folder_),
              (std::set<std::string>{"song.mid", "out-float.wav", "out-24.wav", "out-16.wav"}));
}

TEST_F(VornRenderTest, SideChainFilesAreReadMonoOrStereoAtTheRenderRate) {
    writeFile(folder_ / "mono.wav", pcmWav(48000, 1, 4800));
    writeFile(folder_ / "stereo.wav", pcmWav(48000, 2, 96000));
    writeFile(folder_ / "slow.wav", pcmWav(22050, 1, 100));
    for (const char* sideChain : {"mono.wav", "stereo.wav"}) {
        const ProgramRun run = runVorn("render " + path("song.mid") + " -o " + path("out.wav") +
                                       " --tail 0 --sidechain " + path(sideChain));
        EXPECT_EQ(run.status, 0) << sideChain;
        EXPECT_EQ(readWavLayout(folder_ / "out.wav").dataBytes, 24000u * 2 * 4) << sideChain;
    }
    const ProgramRun run = runVorn("render " + path("song.mid") + " -o " + path("slow.out.wav") +
                                       " --sidechain " + path("slow.wav"),
                                   true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("22050"), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "slow.out.wav"));
}

TEST_F(VornRenderTest, FailuresExitWithStatusTwoAndLeaveNoOutput) {
    Bytes truncated = oneNoteSong();
    truncated.resize(truncated.size() - 5);
    writeFile(folder_ / "truncated.mid", truncated);
    writeFile(folder_ / "garbage.mid", {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    const std::string song = path("song.mid");
    const std::string out = " -o " + path("out.wav");
    const std::pair<std::string, std::string> cases[] = {
        {"render " + path("missing.mid") + out, "missing.mid"},
        {"render " + path("garbage.mid") + out, "MThd"},
        {"render " + path("truncated.mid") + out, "beyond the end"},
        {"render " + song + " -o " + path("no-such-folder/out.wav"), "no-such-folder"},
        {"render " + song + " -o " + path(""), "cannot write"},
        {"render " + song + out + " --set 'Filter 1 Frq=2 kHz'", "Filter 1 Freq"},
        {"render " + song + out + " --set 'Osc 1 Wave Form=Saw'", "Sawtooth"},
        {"render " + song + out + " --preset " + path("sound.qvp"),
         "The preset file could not be opened."},
        {"render " + song + out + " --sidechain " + path("missing.wav"), "missing.wav"},
        {"render " + song + out + " --sidechain " + path("garbage.mid"), "garbage.mid"},
        {"render " + song + out + " --format 32", "format"},
        {"render " + song + out + " --block 0", "block"},
        {"render " + song + out + " --rate 0", "rate"},
        {"render " + song + out + " --rate nan", "rate"},
        {"render " + song, "output"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = runVorn(arguments, true);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.out.find(message), std::string::npos) << arguments << "\n" << run.out;
        EXPECT_EQ(filesIn(folder_),
                  (std::set<std::string>{"song.mid", "truncated.mid", "garbage.mid"}))
            << arguments;
    }
}

TEST_F(VornCommandLineTest, BenchPrintsBothFigures) {
    const ProgramRun run = runVorn("bench --voices 1 --seconds 0.2");
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(std::regex_match(
        run.out,
        std::regex("real-time factor: [0-9]+\\.[0-9]\nns per voice-sample: [0-9]+\\.[0-9]\n")))
        << run.out;
    EXPECT_EQ(runVorn("bench --voices 33").status, 2);
    EXPECT_EQ(runVorn("bench --patch light").status, 2);
}

TEST_F(VornCommandLineTest, DemoRendersItsSongWithEveryPatch) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vorn-demo-" + std::to_string(getpid()) + ".wav");
    const ProgramRun run = runVorn("demo -o '" + file.string() + "'", true);
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* part : {"pad", "bass", "lead"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
    }
    const WavLayout wav = readWavLayout(file);
    std::filesystem::remove(file);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.formatTag, 3);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 48000u);
    // Twelve bars at 96 BPM, then the tail of the last chord.
    const double seconds = wav.dataBytes / (2.0 * 4 * 48000);
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 60.0);
}

}  // namespace

namespace {

// A 32-bit float WAV file of the given stereo frames, laid out by hand.
Bytes floatWav(uint32_t rate, const std::vector<float>& interleaved) {
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * sizeof(float));
    Bytes out = {'R', 'I', 'F', 'F'};
    appendLittleEndian(out, 36 + dataBytes, 4);
    for (const char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
    appendLittleEndian(out, 16, 4);
    appendLittleEndian(out, 3, 2);  // IEEE float
    appendLittleEndian(out, 2, 2);
    appendLittleEndian(out, rate, 4);
    appendLittleEndian(out, rate * 8, 4);
    appendLittleEndian(out, 8, 2);
    appendLittleEndian(out, 32, 2);
    for (const char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
    appendLittleEndian(out, dataBytes, 4);
    for (const float x : interleaved) {
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        appendLittleEndian(out, bits, 4);
    }
    return out;
}

// The float samples of a WAV file's "data" chunk.
std::vector<float> readFloatSamples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<float> samples;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t length;
        std::memcpy(&length, bytes.data() + at + 4, sizeof length);
        if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            samples.resize(std::min<size_t>(length, bytes.size() - at - 8) / sizeof(float));
            std::memcpy(samples.data(), bytes.data() + at + 8, samples.size() * sizeof(float));
            break;
        }
        at += 8 + length + (length & 1);
    }
    return samples;
}

}  // namespace

// A side-chain file holding infinities and NaN, through a follower to the volume: the render
// succeeds and every sample it writes is finite.
TEST_F(VornRenderTest, NonFiniteSideChainFileRendersFinite) {
    std::vector<float> interleaved;
    for (int i = 0; i < 24000; ++i) {
        interleaved.push_back(i % 3 ? std::numeric_limits<float>::infinity() : 0.5f);
        interleaved.push_back(i % 2 ? std::nanf("") : -std::numeric_limits<float>::infinity());
    }
    writeFile(folder_ / "hostile.wav", floatWav(48000, interleaved));
    const ProgramRun run = runVorn(
        "render " + path("song.mid") + " -o " + path("out.wav") + " --tail 0.1 --sidechain " +
            path("hostile.wav") +
            " --set 'Num Active EFs=1' --set 'Num Active Slots=1' --set 'Slot 1 Source=EF 1'"
            " --set 'Slot 1 Target=Output Volume' --set 'Slot 1 Level=1'",
        true);
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<float> out = readFloatSamples(folder_ / "out.wav");
    ASSERT_EQ(out.size(), 28800u * 2);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(run.out.find("nan"), std::string::npos) << run.out;
}
