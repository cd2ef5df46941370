#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/FileEnumerator.h"
#include "framework/LockedObject.h"
#include "framework/posix/PosixAsyncEventQueue.h"
#include "framework/posix/PosixIntervalTimer.h"

namespace {

using Delivery = std::tuple<std::string, int32_t, int64_t>;  // handler, code, value

// Logs every event it gets; a one-shot handler removes itself from the queue on its first.
struct RecordingHandler : AsyncEventQueue::Handler {
    RecordingHandler(std::string name, std::vector<Delivery>& log, bool oneShot = false)
        : name(std::move(name)), log(log), oneShot(oneShot) {}
    void handleEvent(AsyncEventQueue& queue) override {
        log.push_back({name, queue.currentCode(), queue.currentValue()});
        if (oneShot) queue.removeHandler(this);
    }
    std::string name;
    std::vector<Delivery>& log;
    bool oneShot;
};

TEST(AsyncEventQueueTest, DeliversInPostingOrderToPrimaryThenNewestHandlerFirst) {
    std::vector<Delivery> log;
    RecordingHandler primary("primary", log), older("older", log), newer("newer", log),
        removed("removed", log), oneShot("oneShot", log, true);
    auto queue = createAsyncEventQueue();
    queue->setPrimaryHandler(&primary);
    for (auto* handler : {&older, &removed, &oneShot, &newer}) queue->addHandler(handler);
    queue->removeHandler(&removed);

    std::thread poster([&] {
        queue->post(-1025, 17);
        queue->post(-1027, 0x123456789abcdefLL);
    });
    poster.join();
    EXPECT_TRUE(log.empty());    // nothing arrives before the owner pumps
    int strangerDelivered = -1;  // nor when another thread pumps
    std::thread stranger([&] { strangerDelivered = queue->pump(); });
    stranger.join();
    EXPECT_EQ(strangerDelivered, 0);
    EXPECT_TRUE(log.empty());

    // The one-shot handler leaves during its first delivery.
    EXPECT_EQ(queue->pump(), 2);
    EXPECT_EQ(log, (std::vector<Delivery>{{"primary", -1025, 17},
                                          {"newer", -1025, 17},
                                          {"oneShot", -1025, 17},
                                          {"older", -1025, 17},
                                          {"primary", -1027, 0x123456789abcdefLL},
                                          {"newer", -1027, 0x123456789abcdefLL},
                                          {"older", -1027, 0x123456789abcdefLL}}));
    EXPECT_EQ(queue->pump(), 0);
}

TEST(CriticalSectionTest, IsRecursiveAndExcludesOtherThreads) {
    LockedObject first, second;  // each with a lock of its own
    ASSERT_NE(&first.lock(), &second.lock());
    CriticalSection& section = first.lock();
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    // A plain counter: any lapse in exclusion loses increments (and is a race for TSan).
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                CriticalSectionGuard outer(section);
                section.enter();
                const int seen = counter;
                section.leave();
                // Still held once: the inner leave must not release the lock.
                if (i % 64 == 0) std::this_thread::yield();
                counter = seen + 1;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, kThreads * kRounds);
}

namespace fs = std::filesystem;

class FileEnumeratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = (fs::temp_directory_path() / "vorn-enum-XXXXXX").string();
        ASSERT_NE(mkdtemp(path.data()), nullptr);
        folder_ = path;
        fs::create_directory(folder_ / "alpha");
        fs::create_directory(folder_ / "beta.qvp");
        for (const char* name : {"one.qvp", "two.qvp", "notes.txt"}) std::ofstream(folder_ / name);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Every name the enumerator yields, sorted; also checks that it stays finished.
    std::vector<std::string> list(const std::string& wildcard, int mode) {
        auto enumerator = createFileEnumerator((folder_ / wildcard).string(), mode);
        std::vector<std::string> names;
        while (enumerator->next()) names.push_back(enumerator->name());
        EXPECT_FALSE(enumerator->next());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

using Names = std::vector<std::string>;

TEST_F(FileEnumeratorTest, ModeAndWildcardSelectDirectoriesOrFiles) {
    EXPECT_EQ(list("*", FileEnumerator::kDirectories), (Names{".", "..", "alpha", "beta.qvp"}));
    EXPECT_EQ(list("*", FileEnumerator::kFiles), (Names{"notes.txt", "one.qvp", "two.qvp"}));
    EXPECT_EQ(list("*", 7), list("*", FileEnumerator::kFiles));
    EXPECT_EQ(list("*.qvp", FileEnumerator::kDirectories), (Names{"beta.qvp"}));
    EXPECT_EQ(list("t?o.*", FileEnumerator::kFiles), (Names{"two.qvp"}));
    EXPECT_EQ(list("notes.txt", FileEnumerator::kFiles), (Names{"notes.txt"}));
    EXPECT_EQ(list("*.osc", FileEnumerator::kFiles), Names{});
    EXPECT_EQ(list("missing/*", FileEnumerator::kDirectories), Names{});

    // Links count as what they point to.
    fs::create_directory_symlink(folder_ / "alpha", folder_ / "alpha-link");
    fs::create_symlink(folder_ / "one.qvp", folder_ / "one-link.qvp");
    EXPECT_EQ(list("*", FileEnumerator::kDirectories),
              (Names{".", "..", "alpha", "alpha-link", "beta.qvp"}));
    EXPECT_EQ(list("*.qvp", FileEnumerator::kFiles), (Names{"one-link.qvp", "one.qvp", "two.qvp"}));
}

class ManualClockTimer : public PosixIntervalTimer {
public:
    uint32_t clock = 0;

protected:
    uint32_t now() const override { return clock; }
};

TEST(IntervalTimerTest, ElapsedSurvivesTheClockWrapAndTheSystemTimerStartsAtCreation) {
    ManualClockTimer timer;
    timer.clock = 0xfffffff0u;
    EXPECT_EQ(timer.restart(), 0xfffffff0u);
    // Clock, and the time elapsed since the restart.
    const uint32_t readings[][2] = {
        {0xfffffff0u, 0}, {0xffffffffu, 15}, {0x10u, 32}, {0x7ffffff0u, 0x80000000u}};
    for (auto [clock, elapsed] : readings) {
        timer.clock = clock;
        EXPECT_EQ(timer.elapsed(), elapsed) << clock;
    }
    EXPECT_EQ(timer.restart(), 0x7ffffff0u);
    timer.clock = 0x80000005u;
    EXPECT_EQ(timer.elapsed(), 21u);
    // The system timer starts at its creation and never runs backwards.
    auto system = createIntervalTimer();
    const uint32_t first = system->elapsed();
    const uint32_t second = system->elapsed();
    EXPECT_LE(first, second);
    // A start mark left unset would show as the whole uptime.
    EXPECT_LT(second, 60000u);
    const uint32_t mark = system->restart();
    EXPECT_LT(static_cast<uint32_t>(system->restart() - mark), 60000u);
}

}  // namespace
