#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <thread>

#include "dsp/TuningTable.h"
#include "tests/support/ScalaTexts.h"

namespace {

std::unique_ptr<TuningTable> make(const std::string& scl, const std::string& kbm = {}) {
    std::string error;
    auto table = TuningTable::create(scl, kbm, error);
    EXPECT_TRUE(table) << error;
    return table;
}

// Largest error in cents over the mapped keys, exact and as the engine plays the float note.
double worstCents(const TuningTable& t, const std::function<double(int)>& theory) {
    double worst = 0.0;
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        if (!t.mapped(key)) continue;
        const double played = 440.0 * std::exp2((t.note(key) - 69.0) / 12.0);
        worst = std::max({worst, std::fabs(centsBetween(t.frequency(key), theory(key))),
                          std::fabs(centsBetween(played, theory(key)))});
    }
    return worst;
}

constexpr std::array<double, 12> kJust = {1.0,     16.0 / 15, 9.0 / 8, 6.0 / 5, 5.0 / 4, 4.0 / 3,
                                          1.40625, 3.0 / 2,   8.0 / 5, 5.0 / 3, 9.0 / 5, 15.0 / 8};

}  // namespace

TEST(Tuning, EqualAndJustScalesGiveEveryKeyItsTheoreticalPitch) {
    // Twelve-tone equal with the default map gives the key numbers themselves, bit for bit.
    const auto twelve = make(equalScl(12));
    for (int key = 0; key < TuningTable::kKeys; ++key) ASSERT_EQ(twelve->note(key), key);
    EXPECT_LT(worstCents(*twelve, [](int k) { return 440.0 * std::exp2((k - 69) / 12.0); }), 0.001);
    // Key 60 is degree 0, key 69 (degree 9) is 440 Hz.
    EXPECT_LT(
        worstCents(*make(equalScl(19)), [](int k) { return 440.0 * std::exp2((k - 69) / 19.0); }),
        0.01);
    // Five-limit just intonation as ratios, an integer period and a comment among the pitches.
    const auto just = make(
        "! 5-limit\n5-limit\n12\n16/15\n9/8\n6/5\n5/4\n!\n4/3\n45/32\n3/2\n"
        "8/5\n5/3\n9/5\n15/8 leading tone\n2\n");
    EXPECT_LT(worstCents(*just,
                         [](int k) {
                             return 440.0 / kJust[9] * std::exp2(std::floor((k - 60) / 12.0)) *
                                    kJust[static_cast<size_t>((k + 120) % 12)];
                         }),
              0.01);
}

TEST(Tuning, KeyboardMapSetsReferenceRangeAndUnmappedKeys) {
    // A seven-note scale on the white keys, C4 = 256 Hz, keys outside 36..96 unmapped.
    const auto t = make("just major\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n",
                        "! white keys\n12\n36\n96\n60\n60\n256.0\n7\n0\nx\n1\nx\n2\n3\nx\n4\nx\n"
                        "5\nx\n6\n");
    const std::array<double, 12> white = {1.0, 0,   9.0 / 8, 0,       5.0 / 4, 4.0 / 3,
                                          0,   1.5, 0,       5.0 / 3, 0,       15.0 / 8};
    const auto theory = [&](int k) { return 256.0 * std::exp2(k / 12 - 5) * white[k % 12]; };
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        ASSERT_EQ(t->mapped(key), key >= 36 && key <= 96 && white[key % 12] > 0.0) << key;
    }
    EXPECT_LT(worstCents(*t, theory), 0.01);
    // A reference away from the middle note: A4 = 432 Hz.
    const auto a432 = make(equalScl(12), "0\n0\n127\n60\n69\n432\n0\n");
    EXPECT_LT(worstCents(*a432, [](int k) { return 432.0 * std::exp2((k - 69) / 12.0); }), 0.001);
    // Fewer entries than the map size leave the rest unmapped.
    const auto partial = make(equalScl(12), "12\n0\n127\n60\n60\n261.6\n12\n0\n1\n2\n");
    EXPECT_TRUE(partial->mapped(62));
    EXPECT_FALSE(partial->mapped(63));
}

TEST(Tuning, MalformedFilesAreRefusedWithTheirLineNumber) {
    const std::array<std::array<const char*, 3>, 17> cases = {{
        {"! only a comment\ndescription\n", "", "scale file: line 3: missing note count"},
        {"desc\n\nnot a count\n", "", "scale file: line 2: missing note count"},
        {"desc\n3\n100.0\n200.0\n", "", "scale file: line 2: note count 3 but 2 pitch lines"},
        {"desc\n1\n100.0\n2/1\n", "", "scale file: line 4: more pitch lines than"},
        {"desc\n2\n! c\n0/5\n2/1\n", "", "scale file: line 4: ratio '0/5' needs two positive"},
        {"desc\n2\n3/-2\n2/1\n", "", "scale file: line 3: ratio '3/-2' needs two positive"},
        {"desc\n1025\n", "", "scale file: line 2: more than 1024 notes"},
        {"desc\n2\n1.2.3\n2/1\n", "", "scale file: line 3: unreadable cents value '1.2.3'"},
        {"desc\n0\n", "", "scale file: line 2: a scale needs at least one note"},
        {"desc\n1\n-200000.0\n", "", "scale file: line 3: cents value '-200000.0' is beyond"},
        {"d\n1\n2/1\n", "12\n0\n127\n60\n200\n", "keyboard map: line 5: reference note must"},
        {"d\n1\n2/1\n", "0\n0\n127\n60\n69\n-5\n0\n", "keyboard map: line 6: reference freq"},
        {"d\n1\n2/1\n", "0\n0\n127\n60\n69\n440\n", "keyboard map: line 7: formal octave"},
        {"d\n1\n2/1\n", "1\n0\n127\n60\n69\n440\n1\n0\n0\n", "keyboard map: line 9: more keys"},
        {"d\n1\n2/1\n", "2\n0\n127\n60\n69\n440\n1\n0\ny\n", "keyboard map: line 9: key must"},
        {"d\n1\n2/1\n", "! nothing\n", "keyboard map: line 2: map size must"},
        {"d\n1\n2/1\n", "2\n0\n127\n60\n61\n440\n1\n0\nx\n",
         "keyboard map: reference note 61 is not"},
    }};
    for (const auto& [scl, kbm, expected] : cases) {
        std::string error;
        EXPECT_FALSE(TuningTable::create(scl, kbm, error)) << expected;
        EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
    }
}

// A reader on another thread sees one whole table or the other while tables are replaced and
// freed.
TEST(Tuning, SlotSwapsTablesUnderConcurrentReaders) {
    TuningSlot slot;
    const float nineteen60 = make(equalScl(19))->note(60);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const float n = slot.key(60).note;
            if (n != 60.0f && n != nineteen60) bad.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i) slot.set(make(equalScl(i % 2 ? 12 : 19)));
    slot.set(nullptr);
    stop.store(true);
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(slot.key(61).note, 61.0f);
    EXPECT_EQ(slot.key(200).note, 200.0f);
}
