#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dsp/OscillatorTableCache.h"

namespace {

using Style = Oscillator::Style;
namespace fs = std::filesystem;

std::unique_ptr<Style> toned(const Style::Tones& tones = Style::kSynthesizerTones,
                             bool compute = false) {
    auto style = std::make_unique<Style>();
    style->setTones(tones);
    if (compute) style->computeTables();
    return style;
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

// A folder of its own, removed afterwards.
struct TempFolder {
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "vorn-osc-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
        path = pattern;
    }
    ~TempFolder() { fs::remove_all(path); }
    fs::path path;
};

TEST(OscillatorTableCacheTest, FileLayoutAndWhatReadingAccepts) {
    const auto source = toned(Style::kSynthesizerTones, true);
    std::ostringstream out(std::ios::binary);
    ASSERT_TRUE(OscillatorTableCache::write(*source, out));
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 4195356u);
    EXPECT_EQ(bytes.substr(0, 8), "QVOscTbl");
    EXPECT_EQ(at<int32_t>(bytes, 8), 2);
    EXPECT_EQ(at<float>(bytes, 12), 0.7f);
    EXPECT_EQ(at<float>(bytes, 16), 0.45f);
    EXPECT_EQ(at<float>(bytes, 20), 0.02f);
    EXPECT_EQ(at<float>(bytes, 24), 0.5f);
    // Triangle (after the saw mix) from byte 28, sawtooth from byte 2,097,692; rows of 4097.
    for (const int index : {1, 30, 59 * 4097 + 100, 127 * 4097 + 4095}) {
        EXPECT_EQ(at<float>(bytes, 28 + 4 * index), source->triangleTables()[index]);
        EXPECT_EQ(at<float>(bytes, 2097692 + 4 * index), source->sawTables()[index]);
    }
    const auto style = toned();
    ASSERT_TRUE(readBytes(*style, bytes + "xyz"));  // trailing bytes do no harm
    EXPECT_TRUE(sameTables(*style, *source));

    // Each of the file's four constants may differ by 0.0001 at most; the others are not in it.
    using T = Style::Tones;
    for (float T::*field : {&T::triangleGain, &T::triangleRolloff, &T::triangleSawMix, &T::sawGain,
                            &T::whiteNoiseLevel, &T::squareMix}) {
        const bool inFile = field != &T::whiteNoiseLevel && field != &T::squareMix;
        for (const float delta : {0.00005f, -0.00005f, 0.0002f, 1.0f}) {
            T tones = Style::kSynthesizerTones;
            tones.*field += delta;
            EXPECT_EQ(readBytes(*toned(tones), bytes), delta < 0.0001f || !inFile) << delta;
        }
    }
    // A wrong magic or version, or a file cut short anywhere, is refused.
    for (const auto& [offset, byte] : {std::pair{7, 'm'}, std::pair{8, '\3'}}) {
        std::string bad = bytes;
        bad[offset] = byte;
        EXPECT_FALSE(readBytes(*style, bad)) << offset;
    }
    for (const size_t size : {bytes.size() - 1, size_t{20}, size_t{0}}) {
        EXPECT_FALSE(readBytes(*style, bytes.substr(0, size))) << size;
    }
}

TEST(OscillatorTableCacheTest, LoadOrBuildWritesTheFileAndReadsItBack) {
    TempFolder temp;
    const fs::path folder = temp.path / "user" / "data";
    const fs::path file = folder / "Vorn.dat";
    const auto reference = toned(Style::kSynthesizerTones, true);
    const auto first = toned(), second = toned();
    EXPECT_FALSE(loadOrBuildOscillatorTables(*first, folder.string()));
    EXPECT_EQ(fs::file_size(file), OscillatorTableCache::kFileSize);
    EXPECT_TRUE(sameTables(*first, *reference));
    EXPECT_TRUE(loadOrBuildOscillatorTables(*second, folder.string() + "/"));
    EXPECT_TRUE(sameTables(*second, *reference));

    // Other tone constants: rejected, recomputed and written anew.
    Style::Tones tones = Style::kSynthesizerTones;
    tones.triangleRolloff = 0.5f;
    const auto third = toned(tones), fourth = toned(tones), fifth = toned(tones);
    EXPECT_FALSE(loadOrBuildOscillatorTables(*third, folder.string()));
    EXPECT_TRUE(sameTables(*third, *toned(tones, true)));
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(OscillatorTableCache::read(*fourth, in));

    // A truncated file is replaced.
    fs::resize_file(file, 1000);
    EXPECT_FALSE(loadOrBuildOscillatorTables(*fifth, folder.string()));
    EXPECT_EQ(fs::file_size(file), OscillatorTableCache::kFileSize);

    // Only the cache file is left: no temporary files, readable by others.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_NE(fs::status(file).permissions() & fs::perms::others_read, fs::perms::none);

    // An unwritable folder still gives the tables.
    std::ofstream(temp.path / "file") << "x";
    const auto style = toned();
    EXPECT_FALSE(loadOrBuildOscillatorTables(*style, (temp.path / "file" / "sub").string()));
    EXPECT_TRUE(sameTables(*style, *reference));
}

TEST(OscillatorTableCacheTest, ReadersNeverSeeAHalfWrittenFile) {
    TempFolder temp;
    Style::Tones other = Style::kSynthesizerTones;
    other.triangleGain = 0.8f;
    std::atomic<bool> done{false};
    std::atomic<int> observed{0}, bad{0};
    // Two writers with different constants reject each other's file and keep replacing it.
    std::vector<std::thread> writers;
    for (const Style::Tones& tones : {Style::kSynthesizerTones, other}) {
        writers.emplace_back([&, tones] {
            for (int round = 0; round < 12; ++round) {
                loadOrBuildOscillatorTables(*toned(tones), temp.path.string());
            }
        });
    }
    std::thread reader([&] {
        while (!done) {
            std::ifstream in(temp.path / "Vorn.dat", std::ios::binary);
            if (!in) continue;
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            ++observed;
            bad += bytes.size() != OscillatorTableCache::kFileSize ||
                   bytes.compare(0, 8, "QVOscTbl") != 0;
        }
    });
    for (auto& w : writers) w.join();
    done = true;
    reader.join();
    EXPECT_GT(observed.load(), 0);
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path), fs::directory_iterator()), 1);
}

}  // namespace
