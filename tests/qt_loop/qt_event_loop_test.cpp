#include "qt_loop/qt_event_loop.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <memory>
#include <thread>
#include <vector>

#include "support/socket_pair.h"

namespace morvik::qt_loop {
namespace {

constexpr std::int64_t kBound = 5000;  // real milliseconds a test may wait at most

TEST(QtEventLoopPosting, TasksRunOnceInPostingOrderAndNeverInline) {
    QtEventLoop loop;
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(3); });
    });
    loop.Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(loop.RunUntil([&] { return order.size() == 3; }, kBound));
    loop.ProcessPendingEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(QtEventLoopPosting, PostsFromFourThreadsKeepEachThreadsOrder) {
    QtEventLoop loop;
    constexpr int kPerThread = 500;
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) loop.Post([&, t, i] { seen[t].push_back(i); });
        });
    }
    auto allSeen = [&] {
        for (const auto& s : seen) {
            if (s.size() != kPerThread) return false;
        }
        return true;
    };
    ASSERT_TRUE(loop.RunUntil(allSeen, kBound));
    for (auto& thread : threads) thread.join();
    for (const auto& s : seen) {
        for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(s[i], i);
    }
}

TEST(QtEventLoopPosting, WaitReturnsAsSoonAsAnotherThreadPosts) {
    QtEventLoop loop;
    bool ran = false;
    std::thread poster([&] { loop.Post([&] { ran = true; }); });
    const auto before = loop.NowMs();
    while (!ran && loop.NowMs() - before < kBound) loop.WaitForEvents(kBound);
    poster.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(loop.NowMs() - before, kBound);
}

TEST(QtEventLoopPosting, AWaitWithoutLimitBlocksUntilSomethingWasDelivered) {
    QtEventLoop loop;
    bool fired = false;
    loop.StartTimer(20, false, [&] { fired = true; });
    // The link's waits block like this until their own timer fires: once
    // they had no limit, this returned at once and they spun.
    for (int waits = 0; waits < 3 && !fired; ++waits) loop.WaitForEvents(-1);
    EXPECT_TRUE(fired);
}

TEST(QtEventLoopPosting, InvokeBlockingRunsOnTheLoopThreadAndReturnsAfterwards) {
    QtEventLoop loop;
    bool ran = false;
    bool onLoopThread = false;
    std::atomic<bool> workerReturned{false};
    std::thread worker([&] {
        loop.InvokeBlocking([&] {
            onLoopThread = loop.IsLoopThread();
            ran = true;
        });
        workerReturned = true;
    });
    EXPECT_TRUE(loop.RunUntil([&] { return ran; }, kBound));
    worker.join();  // returns only because the call ran
    EXPECT_TRUE(workerReturned);
    EXPECT_TRUE(onLoopThread);
}

// InvokeBlocking wakes its worker when the queued call is destroyed unrun;
// that needs the loop to destroy, not leak, what is still queued.
TEST(QtEventLoopPosting, TasksStillQueuedAreDestroyedUnrunWithTheLoop) {
    auto loop = std::make_unique<QtEventLoop>();
    auto token = std::make_shared<int>(0);
    bool ran = false;
    loop->Post([token, &ran] { ran = true; });
    EXPECT_EQ(token.use_count(), 2);
    loop.reset();
    EXPECT_EQ(token.use_count(), 1);
    EXPECT_FALSE(ran);
}

TEST(QtEventLoopTimers, OneShotFiresOnceAndIsInactiveAfterwards) {
    QtEventLoop loop;
    int fired = 0;
    const auto id = loop.StartTimer(5, false, [&] { ++fired; });
    EXPECT_TRUE(loop.IsTimerActive(id));
    ASSERT_TRUE(loop.RunUntil([&] { return fired == 1; }, kBound));
    EXPECT_FALSE(loop.IsTimerActive(id));
    loop.StopTimer(id);  // harmless after it fired
    bool later = false;
    loop.StartTimer(30, false, [&] { later = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return later; }, kBound));
    EXPECT_EQ(fired, 1);
}

TEST(QtEventLoopTimers, RepeatingTimerStopsItselfFromItsOwnCallback) {
    QtEventLoop loop;
    int fired = 0;
    platform::EventLoop::TimerId id = 0;
    id = loop.StartTimer(1, true, [&] {
        if (++fired == 3) loop.StopTimer(id);
    });
    ASSERT_TRUE(loop.RunUntil([&] { return !loop.IsTimerActive(id); }, kBound));
    bool later = false;
    loop.StartTimer(20, false, [&] { later = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return later; }, kBound));
    EXPECT_EQ(fired, 3);
}

TEST(QtEventLoopTimers, TimerStoppedByAnotherCallbackNeverFires) {
    QtEventLoop loop;
    bool victimFired = false;
    const auto victim = loop.StartTimer(40, false, [&] { victimFired = true; });
    bool killerFired = false;
    loop.StartTimer(1, false, [&] {
        loop.StopTimer(victim);
        killerFired = true;
    });
    ASSERT_TRUE(loop.RunUntil([&] { return killerFired; }, kBound));
    bool later = false;
    loop.StartTimer(80, false, [&] { later = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return later; }, kBound));
    EXPECT_FALSE(victimFired);
}

TEST(QtEventLoopTimers, TimersDueTogetherRunInStartOrder) {
    QtEventLoop loop;
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) loop.StartTimer(0, false, [&order, i] { order.push_back(i); });
    ASSERT_TRUE(loop.RunUntil([&] { return order.size() == 5; }, kBound));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(QtEventLoopNesting, TimerCallbackWaitsForOtherTimersAndPostsButIsNotReentered) {
    QtEventLoop loop;
    int outerEntries = 0;
    int depth = 0;
    int maxDepth = 0;
    bool innerFired = false;
    bool postRan = false;
    platform::EventLoop::TimerId outer = 0;
    outer = loop.StartTimer(1, true, [&] {
        ++outerEntries;
        maxDepth = std::max(maxDepth, ++depth);
        if (outerEntries == 1) {
            loop.StartTimer(20, false, [&] { innerFired = true; });
            loop.Post([&] { postRan = true; });
            // Several intervals of the outer timer pass inside this wait.
            EXPECT_TRUE(loop.RunUntil([&] { return innerFired && postRan; }, kBound));
        }
        loop.StopTimer(outer);
        --depth;
    });
    ASSERT_TRUE(loop.RunUntil([&] { return !loop.IsTimerActive(outer); }, kBound));
    EXPECT_TRUE(innerFired);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(outerEntries, 1);
}

TEST(QtEventLoopNesting, WaitsNestThreeLevelsAndUnwindInnermostFirst) {
    QtEventLoop loop;
    std::vector<int> finished;
    loop.Post([&] {
        bool second = false;
        loop.Post([&] {
            bool third = false;
            loop.StartTimer(5, false, [&] { third = true; });
            EXPECT_TRUE(loop.RunUntil([&] { return third; }, kBound));
            finished.push_back(2);
            second = true;
        });
        EXPECT_TRUE(loop.RunUntil([&] { return second; }, kBound));
        finished.push_back(1);
    });
    ASSERT_TRUE(loop.RunUntil([&] { return finished.size() == 2; }, kBound));
    EXPECT_EQ(finished, (std::vector<int>{2, 1}));
}

TEST(QtEventLoopWatches, ReadableDescriptorIsReportedAndHandlerIsNotReentered) {
    QtEventLoop loop;
    test::SocketPair pair;
    int calls = 0;
    int depth = 0;
    int maxDepth = 0;
    bool released = false;
    platform::EventLoop::WatchId id = 0;
    id = loop.WatchFd(pair.Near(), platform::EventLoop::kReadable, [&](unsigned flags) {
        ++calls;
        maxDepth = std::max(maxDepth, ++depth);
        EXPECT_TRUE(flags & platform::EventLoop::kReadable);
        // Wait without reading: the descriptor stays readable all along.
        loop.Post([&] { released = true; });
        EXPECT_TRUE(loop.RunUntil([&] { return released; }, kBound));
        char byte;
        EXPECT_EQ(::read(pair.Near(), &byte, 1), 1);
        loop.UnwatchFd(id);
        --depth;
    });
    ASSERT_EQ(::write(pair.Far(), "x", 1), 1);
    ASSERT_TRUE(loop.RunUntil([&] { return calls == 1; }, kBound));
    ASSERT_EQ(::write(pair.Far(), "y", 1), 1);
    bool later = false;
    loop.StartTimer(30, false, [&] { later = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return later; }, kBound));
    EXPECT_EQ(calls, 1) << "unwatched inside its own handler";
    EXPECT_EQ(maxDepth, 1);
}

TEST(QtEventLoopWatches, PeerHangupIsReportedAndWritabilityCanBeAskedFor) {
    QtEventLoop loop;
    test::SocketPair pair;
    unsigned seen = 0;
    const auto id = loop.WatchFd(pair.Near(), platform::EventLoop::kWritable,
                                 [&](unsigned flags) { seen |= flags; });
    ASSERT_TRUE(loop.RunUntil([&] { return (seen & platform::EventLoop::kWritable) != 0; }, kBound));
    loop.SetWatchEvents(id, platform::EventLoop::kReadable);
    seen = 0;
    pair.CloseFar();
    ASSERT_TRUE(loop.RunUntil([&] { return (seen & platform::EventLoop::kHangup) != 0; }, kBound));
    loop.UnwatchFd(id);
    loop.UnwatchFd(id);  // harmless twice
}

TEST(QtEventLoopErrors, AnErrorEscapingAHandlerIsReportedAndTheLoopCarriesOn) {
    QtEventLoop loop;
    std::vector<std::string> reports;
    loop.SetErrorReport([&](const std::string& text) { reports.push_back(text); });
    loop.Post([] { throw std::runtime_error("posted failed"); });
    loop.StartTimer(1, false, [] { throw std::runtime_error("timer failed"); });
    test::SocketPair pair;
    platform::EventLoop::WatchId watch = 0;
    watch = loop.WatchFd(pair.Near(), platform::EventLoop::kReadable, [&](unsigned) {
        loop.UnwatchFd(watch);
        throw std::runtime_error("watch failed");
    });
    ASSERT_EQ(::write(pair.Far(), "x", 1), 1);
    bool later = false;
    loop.StartTimer(20, false, [&] { later = true; });
    ASSERT_TRUE(loop.RunUntil([&] { return later && reports.size() == 3; }, kBound));
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::string>{"posted failed", "timer failed", "watch failed"}));
}

TEST(QtEventLoopRun, QuitFromAHandlerEndsRunWithItsCode) {
    QtEventLoop loop;
    loop.StartTimer(1, false, [&] { loop.Quit(7); });
    EXPECT_EQ(loop.Run(), 7);
}

}  // namespace
}  // namespace morvik::qt_loop
