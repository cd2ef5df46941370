#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "dsp/TuningScale.h"
#include "dsp/TuningTable.h"

namespace {

double centsBetween(double a, double b) {
    return 1200.0 * std::log2(a / b);
}

// The frequency a table's float note number plays at (the engine's view).
double noteHz(const TuningTable& t, int key) {
    return 440.0 * std::exp2((static_cast<double>(t.note(key)) - 69.0) / 12.0);
}

std::string sclText(const std::string& description, const std::vector<std::string>& pitches) {
    std::string text =
        "! made for the test\n" + description + "\n " + std::to_string(pitches.size()) + "\n!\n";
    for (const std::string& p : pitches) text += " " + p + "  trailing words are ignored\n";
    return text;
}

std::string equalScl(int notes) {
    std::vector<std::string> pitches;
    for (int k = 1; k <= notes; ++k) pitches.push_back(std::to_string(1200.0 * k / notes));
    return sclText(std::to_string(notes) + " EDO", pitches);
}

std::unique_ptr<TuningTable> make(const std::string& scl, const std::string& kbm = {}) {
    std::string error;
    auto table = TuningTable::create(scl, kbm, error);
    EXPECT_TRUE(table) << error;
    return table;
}

// Largest error in cents of every key, exact and as played, against theory(key).
template <typename Theory>
double worstCents(const TuningTable& t, Theory theory) {
    double worst = 0.0;
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        if (!t.mapped(key)) continue;
        worst = std::max(worst, std::fabs(centsBetween(t.frequency(key), theory(key))));
        worst = std::max(worst, std::fabs(centsBetween(noteHz(t, key), theory(key))));
    }
    return worst;
}

constexpr std::array<double, 12> kJust = {1.0,     16.0 / 15, 9.0 / 8,   6.0 / 5,
                                          5.0 / 4, 4.0 / 3,   45.0 / 32, 3.0 / 2,
                                          8.0 / 5, 5.0 / 3,   9.0 / 5,   15.0 / 8};

}  // namespace

TEST(Tuning, EqualAndJustScalesGiveEveryKeyItsTheoreticalPitch) {
    // Twelve-tone equal with the default map: the key numbers themselves, bit for bit.
    const auto twelve = make(equalScl(12));
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        EXPECT_EQ(twelve->note(key), static_cast<float>(key)) << key;
        EXPECT_TRUE(twelve->mapped(key));
    }
    EXPECT_LT(worstCents(*twelve, [](int k) { return 440.0 * std::exp2((k - 69) / 12.0); }), 0.001);
    // 19-EDO: key 60 is degree 0, key 69 (degree 9) is 440 Hz.
    const auto nineteen = make(equalScl(19));
    EXPECT_LT(worstCents(*nineteen, [](int k) { return 440.0 * std::exp2((k - 69) / 19.0); }),
              0.01);
    // Five-limit just intonation written as ratios, 2/1 and an integer period.
    std::vector<std::string> ratios = {"16/15", "9/8", "6/5", "5/4", "4/3",  "45/32",
                                       "3/2",   "8/5", "5/3", "9/5", "15/8", "2"};
    const auto just = make(sclText("5-limit", ratios));
    EXPECT_EQ(just->description(), "5-limit");
    const double c4 = 440.0 / kJust[9];
    EXPECT_LT(worstCents(*just,
                         [&](int k) {
                             const int d = k - 60;
                             const int octave = d >= 0 ? d / 12 : -((11 - d) / 12);
                             return c4 * std::exp2(octave) * kJust[size_t(d - 12 * octave)];
                         }),
              0.01);
}

TEST(Tuning, KeyboardMapSetsReferenceRangeAndUnmappedKeys) {
    // A seven-note scale on the white keys, C4 = 256 Hz, keys below 36 and above 96 unmapped.
    const std::string kbm =
        "! white keys\n12\n36\n96\n60\n60\n256.0\n7\n"
        "0\nx\n1\nx\n2\n3\nx\n4\nx\n5\nx\n6\n";
    const std::vector<std::string> major = {"9/8", "5/4", "4/3", "3/2", "5/3", "15/8", "2/1"};
    const auto t = make(sclText("just major", major), kbm);
    const std::array<double, 12> white = {1.0, 0,       9.0 / 8, 0,       5.0 / 4, 4.0 / 3,
                                          0,   3.0 / 2, 0,       5.0 / 3, 0,       15.0 / 8};
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        const double ratio = white[static_cast<size_t>(key % 12)];
        const bool expected = key >= 36 && key <= 96 && ratio > 0.0;
        ASSERT_EQ(t->mapped(key), expected) << key;
        if (!expected) continue;
        const double theory = 256.0 * std::exp2(key / 12 - 5) * ratio;
        EXPECT_LT(std::fabs(centsBetween(t->frequency(key), theory)), 0.01) << key;
    }
    // A reference away from the middle note: 12-EDO with A4 = 432 Hz on key 69.
    const auto a432 = make(equalScl(12), "0\n0\n127\n60\n69\n432\n0\n");
    EXPECT_NEAR(a432->frequency(69), 432.0, 1e-9);
    EXPECT_NEAR(centsBetween(a432->frequency(60), 432.0 * std::exp2(-0.75)), 0.0, 0.001);
    // Fewer entries than the map size leave the rest unmapped; an unmapped reference is refused.
    const auto partial = make(equalScl(12), "12\n0\n127\n60\n60\n261.6\n12\n0\n1\n2\n");
    EXPECT_TRUE(partial->mapped(62));
    EXPECT_FALSE(partial->mapped(63));
    std::string error;
    EXPECT_FALSE(TuningTable::create(equalScl(12), "12\n0\n127\n60\n61\n440\n12\n0\nx\n", error));
    EXPECT_NE(error.find("reference note 61"), std::string::npos) << error;
}

TEST(Tuning, MalformedFilesAreRefusedWithTheirLineNumber) {
    struct Case {
        const char* scl;
        const char* kbm;
        const char* expected;
    };
    const std::string tooMany = "big\n1025\n" + std::string(1025 * 2, ' ');
    const Case cases[] = {
        {"! only a comment\ndescription\n", "", "scale file: line 3: missing note count"},
        {"desc\n\nnot a count\n", "", "scale file: line 2: missing note count"},
        {"desc\n3\n100.0\n200.0\n", "", "scale file: line 2: note count 3 but 2 pitch lines"},
        {"desc\n1\n100.0\n2/1\n", "", "scale file: line 4: more pitch lines than"},
        {"desc\n2\n! c\n0/5\n2/1\n", "", "scale file: line 4: ratio '0/5' needs two positive"},
        {"desc\n2\n3/-2\n2/1\n", "", "scale file: line 3: ratio '3/-2' needs two positive"},
        {"desc\n2\n3/0\n2/1\n", "", "scale file: line 3: ratio '3/0' needs two positive"},
        {"desc\n1025\n", "", "scale file: line 2: more than 1024 notes"},
        {"desc\n2\n1.2.3\n2/1\n", "", "scale file: line 3: unreadable cents value '1.2.3'"},
        {"desc\n2\nfoo\n2/1\n", "", "scale file: line 3: unreadable pitch 'foo'"},
        {"desc\n0\n", "", "scale file: line 2: a scale needs at least one note"},
        {"d\n1\n2/1\n", "12\n0\n127\n60\n200\n", "keyboard map: line 5: reference note must"},
        {"d\n1\n2/1\n", "0\n0\n127\n60\n69\n-5\n0\n", "keyboard map: line 6: reference freq"},
        {"d\n1\n2/1\n", "0\n0\n127\n60\n69\n440\n", "keyboard map: line 7: formal octave"},
        {"d\n1\n2/1\n", "1\n0\n127\n60\n69\n440\n1\n0\n0\n", "keyboard map: line 9: more keys"},
        {"d\n1\n2/1\n", "2\n0\n127\n60\n69\n440\n1\n0\ny\n", "keyboard map: line 9: key must"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(TuningTable::create(c.scl, c.kbm, error)) << c.expected;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
    }
}

// Readers on another thread see one whole table or the other while tables are replaced and freed.
TEST(Tuning, SlotSwapsTablesUnderConcurrentReaders) {
    TuningSlot slot;
    const auto twelve = make(equalScl(12));
    const float nineteen60 = make(equalScl(19))->note(60);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const float n = slot.key(60).note;
            if (n != 60.0f && n != nineteen60) bad.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i) slot.set(make(i % 2 ? equalScl(12) : equalScl(19)));
    slot.set(nullptr);
    EXPECT_EQ(slot.key(61).note, 61.0f);
    EXPECT_EQ(slot.key(200).note, 200.0f);
    stop.store(true);
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(twelve->note(60), 60.0f);
}
