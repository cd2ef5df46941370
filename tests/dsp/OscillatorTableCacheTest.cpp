#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "dsp/OscillatorTableCache.h"

namespace {

using Style = Oscillator::Style;
namespace fs = std::filesystem;

std::unique_ptr<Style> toned(const Style::Tones& tones = Style::kSynthesizerTones) {
    auto style = std::make_unique<Style>();
    style->setTones(tones);
    return style;
}

std::unique_ptr<Style> computedStyle(const Style::Tones& tones) {
    auto style = toned(tones);
    style->computeTables();
    return style;
}

std::string fileBytes(const Style& style) {
    std::ostringstream out(std::ios::binary);
    EXPECT_TRUE(OscillatorTableCache::write(style, out));
    return out.str();
}

bool readBytes(Style& style, const std::string& bytes) {
    std::istringstream in(bytes, std::ios::binary);
    return OscillatorTableCache::read(style, in);
}

template <class T>
T at(const std::string& bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

bool sameTables(const Style& a, const Style& b) {
    const size_t size = sizeof(float) * Style::kTableSize;
    return std::memcmp(a.sawTables(), b.sawTables(), size) == 0 &&
           std::memcmp(a.triangleTables(), b.triangleTables(), size) == 0;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "vorn-osc-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(OscillatorTableCacheTest, FileLayout) {
    const auto style = computedStyle(Style::kSynthesizerTones);
    const std::string bytes = fileBytes(*style);
    ASSERT_EQ(bytes.size(), 4195356u);
    EXPECT_EQ(bytes.substr(0, 8), "QVOscTbl");
    EXPECT_EQ(at<int32_t>(bytes, 8), 2);
    EXPECT_EQ(at<float>(bytes, 12), 0.7f);
    EXPECT_EQ(at<float>(bytes, 16), 0.45f);
    EXPECT_EQ(at<float>(bytes, 20), 0.02f);
    EXPECT_EQ(at<float>(bytes, 24), 0.5f);
    // Triangle (after the saw mix) from byte 28, sawtooth from byte 2,097,692; rows of 4097.
    for (const int index : {1, 30, 59 * 4097 + 100, 127 * 4097 + 4095}) {
        EXPECT_EQ(at<float>(bytes, 28 + 4 * index), style->triangleTables()[index]);
        EXPECT_EQ(at<float>(bytes, 2097692 + 4 * index), style->sawTables()[index]);
    }
    EXPECT_NE(at<float>(bytes, 2097692 + 4 * 30), 0.0f);
    EXPECT_NE(at<float>(bytes, 28 + 4 * 30), at<float>(bytes, 2097692 + 4 * 30));
}

TEST(OscillatorTableCacheTest, ReadAcceptsOnlyAMatchingWholeFile) {
    const auto source = computedStyle(Style::kSynthesizerTones);
    const std::string bytes = fileBytes(*source);

    const auto owned = toned();
    Style& style = *owned;
    ASSERT_TRUE(readBytes(style, bytes));
    EXPECT_TRUE(sameTables(style, *source));

    // Each of the file's four constants may differ by 0.0001 at most; the others are not in it.
    using T = Style::Tones;
    for (float T::*field :
         {&T::triangleGain, &T::triangleRolloff, &T::triangleSawMix, &T::sawGain}) {
        for (const float delta : {0.00005f, -0.00005f, 0.0002f}) {
            T tones = Style::kSynthesizerTones;
            tones.*field += delta;
            EXPECT_EQ(readBytes(*toned(tones), bytes), delta < 0.0001f) << delta;
        }
    }
    T louder = Style::kSynthesizerTones;
    louder.whiteNoiseLevel = 1.0f;
    louder.squareMix = 1.0f;
    EXPECT_TRUE(readBytes(*toned(louder), bytes));

    std::string badMagic = bytes;
    badMagic[7] = 'm';
    EXPECT_FALSE(readBytes(style, badMagic));
    std::string badVersion = bytes;
    badVersion[8] = 3;
    EXPECT_FALSE(readBytes(style, badVersion));
    EXPECT_FALSE(readBytes(style, bytes.substr(0, bytes.size() - 1)));
    EXPECT_FALSE(readBytes(style, bytes.substr(0, 20)));
    EXPECT_FALSE(readBytes(style, ""));
    // Trailing bytes do no harm.
    EXPECT_TRUE(readBytes(style, bytes + "xyz"));
}

TEST(OscillatorTableCacheTest, LoadOrBuildWritesTheFileAndReadsItBack) {
    TempFolder temp;
    const fs::path folder = temp.path() / "user" / "data";
    const fs::path file = folder / "Vorn.dat";
    const auto reference = computedStyle(Style::kSynthesizerTones);
    const auto first = toned(), second = toned();
    EXPECT_FALSE(loadOrBuildOscillatorTables(*first, folder.string()));
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), OscillatorTableCache::kFileSize);
    EXPECT_TRUE(sameTables(*first, *reference));
    EXPECT_TRUE(loadOrBuildOscillatorTables(*second, folder.string() + "/"));
    EXPECT_TRUE(sameTables(*second, *reference));

    // Other tone constants: rejected, recomputed and written anew.
    Style::Tones tones = Style::kSynthesizerTones;
    tones.triangleRolloff = 0.5f;
    const auto third = toned(tones), fourth = toned(tones), fifth = toned(tones);
    EXPECT_FALSE(loadOrBuildOscillatorTables(*third, folder.string()));
    EXPECT_TRUE(sameTables(*third, *computedStyle(tones)));
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(OscillatorTableCache::read(*fourth, in));

    // A truncated file is replaced.
    fs::resize_file(file, 1000);
    EXPECT_FALSE(loadOrBuildOscillatorTables(*fifth, folder.string()));
    EXPECT_EQ(fs::file_size(file), OscillatorTableCache::kFileSize);

    // Only the cache file is left: no temporary files, readable by others.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename(), "Vorn.dat");
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_NE(fs::status(file).permissions() & fs::perms::others_read, fs::perms::none);

    // An unwritable folder still gives the tables.
    const fs::path blocker = temp.path() / "file";
    std::ofstream(blocker) << "x";
    const auto style = toned();
    EXPECT_FALSE(loadOrBuildOscillatorTables(*style, (blocker / "sub").string()));
    EXPECT_TRUE(sameTables(*style, *reference));
}

TEST(OscillatorTableCacheTest, ReadersNeverSeeAHalfWrittenFile) {
    TempFolder temp;
    const fs::path file = temp.path() / "Vorn.dat";
    Style::Tones other = Style::kSynthesizerTones;
    other.triangleGain = 0.8f;
    std::atomic<bool> done{false};
    std::atomic<int> observed{0};
    std::atomic<int> bad{0};

    // Two writers with different constants reject each other's file and keep replacing it.
    std::vector<std::thread> writers;
    for (const Style::Tones& tones : {Style::kSynthesizerTones, other}) {
        writers.emplace_back([&, tones] {
            for (int round = 0; round < 12; ++round) {
                loadOrBuildOscillatorTables(*toned(tones), temp.path().string());
            }
        });
    }
    std::thread reader([&] {
        while (!done) {
            std::ifstream in(file, std::ios::binary);
            if (!in) continue;
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            ++observed;
            if (bytes.size() != OscillatorTableCache::kFileSize ||
                bytes.compare(0, 8, "QVOscTbl") != 0) {
                ++bad;
            }
        }
    });
    for (auto& w : writers) w.join();
    done = true;
    reader.join();
    EXPECT_GT(observed.load(), 0);
    EXPECT_EQ(bad.load(), 0);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
