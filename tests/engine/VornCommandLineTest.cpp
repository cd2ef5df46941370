#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// The program sits beside the tests in the build tree (build/apps/vorn/vorn next to
// build/tests/); VORN_BINARY overrides that.
std::string vornBinary() {
    if (const char* path = std::getenv("VORN_BINARY")) return path;
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    const std::filesystem::path tests = std::filesystem::path(self).parent_path();
    return (tests.parent_path() / "apps" / "vorn" / "vorn").string();
}

struct ProgramRun {
    int status = -1;
    std::string out;
};

// Runs the program with a shell-quoted argument string; stderr goes to out as well when asked.
ProgramRun runVorn(const std::string& arguments, bool withErrors = false) {
    const std::string command =
        "'" + vornBinary() + "' " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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

}  // namespace
