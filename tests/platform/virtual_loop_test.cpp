// The virtual-time loop: when the clock moves, in which order things due at
// the same moment run, and how nested waits see time.

#include <unistd.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/virtual_loop.h"

namespace morvik::platform {
namespace {

class VirtualLoopTest : public testing::Test {
protected:
    VirtualLoop loop;
    std::vector<std::string> log;

    // Logs "<text>@<virtual ms>".
    EventLoop::Task Note(std::string text) {
        return [this, text] { log.push_back(text + "@" + std::to_string(loop.NowMs())); };
    }
    using Log = std::vector<std::string>;
};

TEST_F(VirtualLoopTest, ClockMovesOnlyWhenCodeWaitsAndOnlyWhenNothingIsReady) {
    EXPECT_EQ(loop.NowMs(), 0);
    loop.ProcessPendingEvents();
    EXPECT_EQ(loop.NowMs(), 0);
    loop.WaitForEvents(2);  // nothing anywhere: the whole wait passes
    EXPECT_EQ(loop.NowMs(), 2);

    loop.Post(Note("post"));
    loop.WaitForEvents(50);  // something ready: runs it, time stands still
    EXPECT_EQ(loop.NowMs(), 2);

    loop.StartTimer(10, false, Note("timer"));
    loop.WaitForEvents(50);  // jumps to the timer, not to the end of the wait
    EXPECT_EQ(loop.NowMs(), 12);
    loop.WaitForEvents(-1);  // no limit, nothing left: returns without moving
    EXPECT_EQ(loop.NowMs(), 12);
    EXPECT_EQ(log, (Log{"post@2", "timer@12"}));
}

TEST_F(VirtualLoopTest, TimersRunByDeadlineThenByStartOrder) {
    loop.StartTimer(20, false, Note("c"));
    loop.StartTimer(10, false, Note("a"));
    loop.AdvanceBy(5);
    loop.StartTimer(5, false, Note("b"));   // due at 10 too, started after "a"
    loop.StartTimer(15, false, Note("d"));  // due at 20 too, started after "c"
    loop.AdvanceTo(100);
    EXPECT_EQ(log, (Log{"a@10", "b@10", "c@20", "d@20"}));
    EXPECT_EQ(loop.NowMs(), 100);
}

TEST_F(VirtualLoopTest, RepeatingTimerKeepsTheStartOrderOfItsFirstStart) {
    loop.StartTimer(10, true, Note("early"));  // due 10, 20, 30 ...
    loop.AdvanceBy(5);
    loop.StartTimer(15, false, Note("late"));  // due 20 with "early"
    loop.AdvanceTo(20);
    EXPECT_EQ(log, (Log{"early@10", "early@20", "late@20"}));
}

TEST_F(VirtualLoopTest, PostsReadyAtAMomentRunBeforeTimersDueThenAndPostsFromTimersAfterThem) {
    loop.StartTimer(10, false, [&] {
        log.push_back("t1");
        loop.Post(Note("post-from-t1"));
    });
    loop.StartTimer(10, false, Note("t2"));
    loop.StartTimer(5, false, [&] { loop.Post(Note("post-at-5")); });
    loop.AdvanceTo(10);
    EXPECT_EQ(log, (Log{"post-at-5@5", "t1", "t2@10", "post-from-t1@10"}));
}

TEST_F(VirtualLoopTest, TimerStoppedOrRestartedByAnotherCallbackAtTheSameMomentDoesNotFire) {
    Timer restarted(loop, Note("restarted"));
    restarted.SetSingleShot(true);
    restarted.SetInterval(10);
    EventLoop::TimerId stopped = 0;
    loop.StartTimer(10, false, [&] {
        loop.StopTimer(stopped);
        restarted.Start();
    });
    stopped = loop.StartTimer(10, false, Note("stopped"));
    restarted.Start();
    loop.AdvanceTo(100);
    EXPECT_EQ(log, (Log{"restarted@20"}));
}

TEST_F(VirtualLoopTest, RepeatingTimerKeepsItsCadenceWhileItsCallbackWaits) {
    int ticks = 0;
    const auto id = loop.StartTimer(10, true, [&] {
        log.push_back(std::to_string(loop.NowMs()));
        ++ticks;
        loop.WaitForEvents(3);  // its own wait does not shift the next tick
    });
    loop.RunUntil([&] { return ticks == 4; }, 1000);
    loop.StopTimer(id);
    EXPECT_EQ(log, (Log{"10", "20", "30", "40"}));
}

TEST_F(VirtualLoopTest, RepeatingTimerThatFellBehindFiresOnceThenCountsFromNow) {
    int ticks = 0;
    const auto id = loop.StartTimer(10, true, [&] {
        log.push_back(std::to_string(loop.NowMs()));
        if (++ticks == 1) loop.AdvanceBy(25);  // overruns ticks at 20 and 30
    });
    loop.RunUntil([&] { return ticks == 4; }, 1000);
    loop.StopTimer(id);
    EXPECT_EQ(log, (Log{"10", "35", "45", "55"}));
}

TEST_F(VirtualLoopTest, NestedWaitMovesTimeToOtherTimersWhileTheRunningOneIsSkipped) {
    int outerTicks = 0;
    const auto outer = loop.StartTimer(10, true, [&] {
        if (++outerTicks > 1) return;
        loop.StartTimer(100, false, Note("inner"));
        // The outer timer's next tick (20, 30, ...) must not fire in here.
        EXPECT_TRUE(loop.RunUntil([&] { return !log.empty(); }, 1000));
        EXPECT_EQ(outerTicks, 1);
    });
    loop.AdvanceTo(110);
    EXPECT_EQ(log, (Log{"inner@110"}));
    EXPECT_EQ(outerTicks, 2);  // missed ticks collapse into one at 110
    loop.StopTimer(outer);
}

TEST_F(VirtualLoopTest, RunUntilMeasuresItsTimeoutOnTheVirtualClock) {
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 8000));
    EXPECT_EQ(loop.NowMs(), 8000);

    bool answered = false;
    loop.StartTimer(3000, false, [&] { answered = true; });
    EXPECT_TRUE(loop.RunUntil([&] { return answered; }, 8000));
    EXPECT_EQ(loop.NowMs(), 11000);
}

TEST_F(VirtualLoopTest, PumpedTwoMillisecondWaitRunsThroughAnEightSecondTimeout) {
    Timer timeout(loop);
    timeout.SetSingleShot(true);
    timeout.SetInterval(8000);
    timeout.Start();
    int rounds = 0;
    while (timeout.IsActive()) {  // "sleep 2 ms, then process events"
        loop.WaitForEvents(2);
        loop.ProcessPendingEvents();
        ++rounds;
    }
    EXPECT_EQ(loop.NowMs(), 8000);
    EXPECT_EQ(rounds, 4000);
}

TEST_F(VirtualLoopTest, AdvanceToRunsEverythingDueInOrderAndStopsAtTheTarget) {
    loop.StartTimer(30, false, Note("c"));
    loop.StartTimer(10, false, [&] {
        log.push_back("a@" + std::to_string(loop.NowMs()));
        loop.StartTimer(5, false, Note("b"));
    });
    loop.StartTimer(31, false, Note("late"));
    loop.AdvanceTo(30);
    EXPECT_EQ(log, (Log{"a@10", "b@15", "c@30"}));
    EXPECT_EQ(loop.NowMs(), 30);
    EXPECT_EQ(loop.NextTimerDeadline(), 31);
    loop.AdvanceTo(20);  // never backwards
    EXPECT_EQ(loop.NowMs(), 30);
}

TEST_F(VirtualLoopTest, RunUntilIdleRunsChainsOfPostsWithoutMovingTheClock) {
    loop.StartTimer(1, false, Note("timer"));
    loop.Post([&] { loop.Post([&] { loop.Post(Note("third")); }); });
    loop.RunUntilIdle();
    EXPECT_EQ(log, (Log{"third@0"}));
    EXPECT_EQ(loop.NowMs(), 0);
}

TEST_F(VirtualLoopTest, TaskThatRepostsItselfForeverIsReportedInsteadOfHanging) {
    std::function<void()> again = [&] { loop.Post(again); };
    loop.Post(again);
    EXPECT_THROW(loop.RunUntilIdle(), std::logic_error);
}

TEST_F(VirtualLoopTest, RunReturnsWhenNothingIsLeftAndRunsRepeatingTimersUntilQuit) {
    loop.StartTimer(500, false, Note("once"));
    EXPECT_EQ(loop.Run(), LoopCore::kIdleExitCode);
    EXPECT_EQ(loop.NowMs(), 500);

    int ticks = 0;
    loop.StartTimer(100, true, [&] {
        if (++ticks == 3) loop.Quit(9);
    });
    EXPECT_EQ(loop.Run(), 9);
    EXPECT_EQ(loop.NowMs(), 800);
}

TEST_F(VirtualLoopTest, ZeroIntervalRepeatingTimerStillLetsTimeMove) {
    int ticks = 0;
    const auto id = loop.StartTimer(0, true, [&] { ++ticks; });
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 10));
    EXPECT_EQ(ticks, 10);  // counted as 1 ms
    loop.StopTimer(id);
}

TEST_F(VirtualLoopTest, ReadyDescriptorsAreHandledWithoutWaitingForThemOrMovingTheClock) {
    std::array<int, 2> fds{};
    ASSERT_EQ(::pipe(fds.data()), 0);
    std::string got;
    const auto id = loop.WatchFd(fds[0], EventLoop::kReadable, [&](unsigned) {
        char c = 0;
        ASSERT_EQ(::read(fds[0], &c, 1), 1);
        got += c;
    });
    loop.WaitForEvents(20);  // nothing there: virtual time passes, no real wait
    EXPECT_EQ(loop.NowMs(), 20);
    ASSERT_EQ(::write(fds[1], "q", 1), 1);
    loop.WaitForEvents(20);
    EXPECT_EQ(got, "q");
    EXPECT_EQ(loop.NowMs(), 20);
    loop.UnwatchFd(id);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(VirtualLoopTest, DescriptorClosedWhileWatchedIsReportedOnceAndForgotten) {
    std::array<int, 2> fds{};
    ASSERT_EQ(::pipe(fds.data()), 0);
    std::vector<unsigned> reports;
    loop.WatchFd(fds[0], EventLoop::kReadable, [&](unsigned flags) { reports.push_back(flags); });
    ::close(fds[0]);
    ::close(fds[1]);
    loop.ProcessPendingEvents();
    loop.ProcessPendingEvents();
    EXPECT_EQ(reports, (std::vector<unsigned>{EventLoop::kError}));
}

}  // namespace
}  // namespace morvik::platform
