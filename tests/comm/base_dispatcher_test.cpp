// The device-independent rules of the dispatcher, on an in-memory device and
// the virtual-time loop: handles, data-available and data triggers, timers,
// delivery and removal, flushes, writes and line programming.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "comm/base_dispatcher.h"
#include "comm/dispatcher_registry.h"
#include "comm/error_codes.h"
#include "comm/byte_ring.h"
#include "platform/virtual_loop.h"

namespace morvik::comm {
namespace {

// A device whose input is whatever the test lets arrive and whose output
// stays queued until the test drains it. The dispatch runs when the test pumps.
class MemoryDispatcher final : public TCmBaseDispatcher {
public:
    explicit MemoryDispatcher(platform::EventLoop& loop) : TCmBaseDispatcher(loop) {}
    ~MemoryDispatcher() override { StopPort(); }

    void Arrive(const std::string& bytes) { deviceInput += bytes; }
    // One dispatch: fill the ring, deliver until nothing fires.
    void Pump() {
        Receive();
        DeliverUntilQuiet();
    }
    std::string Drain() {
        std::lock_guard lock(outputLock_);
        std::string sent;
        for (auto chunk = queue.FilledRun(); !chunk.empty(); chunk = queue.FilledRun()) {
            sent.append(chunk.begin(), chunk.end());
            queue.Consume(chunk.size());
        }
        return sent;
    }
    using TCmBaseDispatcher::RunAsDelivery;

    std::string deviceInput;
    ByteRing queue;
    bool refuseOutput = false;
    int lineFailure = 0;
    std::vector<platform::SerialLine> programmed;
    int dispatchStops = 0;

protected:
    int OpenDevice(const PortSettings& settings) override {
        queue.Resize(static_cast<std::size_t>(settings.outSize));
        SetDeviceHandle(42);
        return 0;
    }
    void CloseDevice() override {}
    int SetDeviceLine(const platform::SerialLine& line) override {
        if (lineFailure != 0) return lineFailure;
        programmed.push_back(line);
        return 0;
    }
    int DeviceInputCount() override { return static_cast<int>(deviceInput.size()); }
    int ReadDevice(std::uint8_t* destination, int count) override {
        const auto n = std::min(deviceInput.size(), static_cast<std::size_t>(count));
        std::copy_n(deviceInput.begin(), n, destination);
        deviceInput.erase(0, n);
        return static_cast<int>(n);
    }
    void PurgeDeviceInput() override { deviceInput.clear(); }
    int OutputFreeLocked() override { return static_cast<int>(queue.Free()); }
    int OutputCountLocked() override { return static_cast<int>(queue.Count()); }
    int PutOutputLocked(const std::uint8_t* data, int count) override {
        return refuseOutput ? 0 : static_cast<int>(queue.Put({data, static_cast<std::size_t>(count)}));
    }
    void DiscardOutputLocked() override { queue.Clear(); }
    int StartDispatch() override { return 0; }
    void StopDispatch() override { ++dispatchStops; }
};

class BaseDispatcherTest : public ::testing::Test {
protected:
    BaseDispatcherTest() {
        PortSettings settings;
        settings.outSize = 16;
        EXPECT_EQ(port.StartPort(settings), 0);
        port.SetLengthTrigger(1);
    }

    // A handler that records every event and, for data available, reads
    // readLimit bytes of the reported count (all of them by default).
    void AddRecordingHandler(int readLimit = -1) {
        port.AddEventHandler(this, [this, readLimit](const TriggerEvent& event) {
            events.push_back(event);
            if (event.kind != TriggerKind::kDataAvailable) return;
            const int want = readLimit < 0 ? event.param : std::min(readLimit, event.param);
            std::string bytes(static_cast<std::size_t>(want), '\0');
            if (want > 0) {
                EXPECT_EQ(port.ReadBlock(bytes.data(), want), want);
            }
            received += bytes;
        });
    }
    int CountOf(TriggerKind kind) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [kind](const TriggerEvent& e) { return e.kind == kind; }));
    }

    platform::VirtualLoop loop;
    MemoryDispatcher port{loop};
    std::vector<TriggerEvent> events;
    std::string received;
};

// ---- trigger handles ----

TEST_F(BaseDispatcherTest, HandlesAreMultiplesOf8InOrderThenTheSmallestFreeIsReused) {
    for (int i = 1; i <= 4095; ++i) ASSERT_EQ(port.NewTimerTrigger(), i * 8);
    EXPECT_EQ(port.AddDataTrigger("OK"), 4096 * 8) << "the last free multiple of 8";
    EXPECT_EQ(port.NewTimerTrigger(), kNoMoreTriggers);
    EXPECT_EQ(port.DropTrigger(24), 0);
    EXPECT_EQ(port.DropTrigger(16), 0);
    EXPECT_EQ(port.AddStatusTrigger(StatusKind::kOutputUsed, 0), 16) << "smallest free first";
    EXPECT_EQ(port.NewTimerTrigger(), 24);
    EXPECT_EQ(port.NewTimerTrigger(), kNoMoreTriggers);
}

TEST_F(BaseDispatcherTest, UnknownHandlesAreRefusedAndHandle1SwitchesDataAvailableOff) {
    const int timer = port.NewTimerTrigger();
    EXPECT_EQ(port.ArmTimerTrigger(timer + 8, 10, true), kBadTriggerHandle);
    EXPECT_EQ(port.DropTrigger(timer), 0);
    EXPECT_EQ(port.DropTrigger(timer), kBadTriggerHandle) << "dropped twice";
    EXPECT_EQ(port.ArmTimerTrigger(timer, 10, true), kBadTriggerHandle);
    EXPECT_EQ(port.AddDataTrigger(""), kEmptyTriggerString);

    AddRecordingHandler();
    EXPECT_EQ(port.DropTrigger(TCmBaseDispatcher::kLengthTriggerHandle), 0);
    EXPECT_EQ(port.LengthTrigger(), 0);
    port.Arrive("abc");
    port.Pump();
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(port.InputCount(), 3) << "the bytes wait in the ring";
}

// ---- data available ----

TEST_F(BaseDispatcherTest, ASingleByteIsReportedOnceWithThreshold1) {
    AddRecordingHandler();
    port.Arrive("A");
    port.Pump();
    port.Pump();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, TriggerKind::kDataAvailable);
    EXPECT_EQ(events[0].param, 1);
    EXPECT_EQ(received, "A");
    EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(BaseDispatcherTest, BytesLeftUnreadAreReportedAgainOnlyWithTheNextArrival) {
    AddRecordingHandler(1);
    port.Arrive("abc");
    port.Pump();
    port.Pump();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].param, 3);
    port.Arrive("d");
    port.Pump();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].param, 3) << "b, c and the new d";
    EXPECT_EQ(received, "ab");
}

TEST_F(BaseDispatcherTest, AThresholdWaitsUntilEnoughBytesAreUnread) {
    AddRecordingHandler();
    port.SetLengthTrigger(3);
    port.Arrive("ab");
    port.Pump();
    EXPECT_TRUE(events.empty());
    port.Arrive("c");
    port.Pump();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].param, 3);
}

TEST_F(BaseDispatcherTest, AFullRingStopsReceptionUntilAHandlerReads) {
    AddRecordingHandler(0);  // reads nothing
    std::string stream;
    for (int i = 0; i < 9000; ++i) stream.push_back(static_cast<char>('a' + i % 26));
    port.Arrive(stream);
    port.Pump();
    EXPECT_EQ(port.InputCount(), 8192);
    EXPECT_EQ(port.deviceInput.size(), 808u) << "the rest stays in the device";
    port.Pump();
    EXPECT_EQ(port.deviceInput.size(), 808u);

    std::string head(100, '\0');
    ASSERT_EQ(port.ReadBlock(head.data(), 100), 100);
    port.Pump();
    EXPECT_EQ(port.deviceInput.size(), 708u) << "room for 100 more";
    std::string rest(8192, '\0');
    ASSERT_EQ(port.ReadBlock(rest.data(), 8192), 8192);
    port.Pump();
    std::string tail(708, '\0');
    ASSERT_EQ(port.ReadBlock(tail.data(), 708), 708);
    EXPECT_EQ(head + rest + tail, stream) << "in order across the wrap of the ring";
}

TEST_F(BaseDispatcherTest, ReadingMoreThanIsUnreadTakesNothing) {
    port.Arrive("xyz");
    port.Pump();
    char buffer[8] = {};
    EXPECT_EQ(port.ReadBlock(buffer, 4), kBufferIsEmpty);
    EXPECT_EQ(port.InputCount(), 3);
    EXPECT_EQ(port.ReadBlock(buffer, 3), 3);
    EXPECT_EQ(port.ReadBlock(buffer, 1), kBufferIsEmpty);
}

TEST_F(BaseDispatcherTest, HandlersOfOneDeliveryReadFromTheSamePositionAndTheRingAdvancesByTheMost) {
    // The largest read comes first, so the ring's advance tells "most" from "last".
    std::string first(4, '\0'), second(2, '\0');
    port.AddEventHandler(&first, [&](const TriggerEvent&) { port.ReadBlock(first.data(), 4); });
    port.AddEventHandler(&second, [&](const TriggerEvent&) {
        EXPECT_EQ(port.InputCount(), 5) << "the first handler's read does not count for the second";
        port.ReadBlock(second.data(), 2);
    });
    port.Arrive("hello");
    port.Pump();
    EXPECT_EQ(first, "hell");
    EXPECT_EQ(second, "he");
    EXPECT_EQ(port.InputCount(), 1) << "advanced by the first handler's 4, not the last one's 2";
}

// ---- data triggers ----

TEST_F(BaseDispatcherTest, AMatchReportsTheDataUpToItFirstThenTheTrigger) {
    AddRecordingHandler();
    const int ok = port.AddDataTrigger("OK\r\n");
    port.Arrive("xxOK\r\nyy");
    port.Pump();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, TriggerKind::kDataAvailable);
    EXPECT_EQ(events[0].param, 6);
    EXPECT_EQ(events[1].kind, TriggerKind::kData);
    EXPECT_EQ(events[1].param, ok);
    EXPECT_EQ(events[1].value, 4);
    EXPECT_EQ(events[2].kind, TriggerKind::kDataAvailable);
    EXPECT_EQ(events[2].param, 2);
    EXPECT_EQ(received, "xxOK\r\nyy");
}

TEST_F(BaseDispatcherTest, MatchesSurviveFalseStartsAndSplitArrivals) {
    AddRecordingHandler();
    const int aab = port.AddDataTrigger("aab");
    port.Arrive("aa");
    port.Pump();
    port.Arrive("ab");  // "aaab": the match starts at the second a
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kData), 1);
    EXPECT_EQ(events.back().param, aab);
}

TEST_F(BaseDispatcherTest, SeveralTriggersCompletedByOneByteAreDeliveredLastAddedFirst) {
    AddRecordingHandler();
    const int longer = port.AddDataTrigger("ab");
    const int shorter = port.AddDataTrigger("b");
    port.Arrive("ab");
    port.Pump();
    std::vector<int> order;
    for (const auto& e : events) {
        if (e.kind == TriggerKind::kData) order.push_back(e.param);
    }
    EXPECT_EQ(order, (std::vector<int>{shorter, longer}));
}

// ---- flushes ----

TEST_F(BaseDispatcherTest, FlushInputForgetsPartialMatches) {
    AddRecordingHandler();
    port.AddDataTrigger("OK");
    port.Arrive("O");
    port.Pump();
    port.FlushInput();
    port.Arrive("K");
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kData), 0);
}

TEST_F(BaseDispatcherTest, FlushInputInsideADataDeliveryConsumesEverything) {
    int deliveries = 0;
    port.AddEventHandler(this, [&](const TriggerEvent&) {
        ++deliveries;
        char one = 0;
        EXPECT_EQ(port.ReadBlock(&one, 1), 1);
        port.FlushInput();
        EXPECT_EQ(port.InputCount(), 0);
        EXPECT_EQ(port.ReadBlock(&one, 1), kBufferIsEmpty);
    });
    port.Arrive("pending line");
    port.Pump();
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(port.InputCount(), 0);
    port.Arrive("x");
    port.Pump();
    EXPECT_EQ(deliveries, 2) << "new bytes are reported as usual";
}

TEST_F(BaseDispatcherTest, FlushInputAlsoDiscardsWhatTheDeviceHolds) {
    port.Arrive(std::string(9000, 'q'));
    port.Pump();
    port.FlushInput();
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_TRUE(port.deviceInput.empty());
}

// ---- timers ----

TEST_F(BaseDispatcherTest, ATimerFiresOnceAfterItsTicks) {
    AddRecordingHandler();
    const int timer = port.NewTimerTrigger();
    ASSERT_EQ(port.ArmTimerTrigger(timer, 2184, true), 0);
    loop.AdvanceTo(2184 * kMsPerTick);
    port.Pump();
    EXPECT_TRUE(events.empty()) << "120.12 s have passed but the tick is not past start + 2184";
    loop.AdvanceTo(2185 * kMsPerTick);
    port.Pump();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, TriggerKind::kTimer);
    EXPECT_EQ(events[0].param, timer);
    loop.AdvanceBy(10 * 60 * 1000);
    port.Pump();
    EXPECT_EQ(events.size(), 1u) << "once per arming";
}

TEST_F(BaseDispatcherTest, ReArmingWithZeroTicksKeepsTheLengthAndInactiveStopsIt) {
    AddRecordingHandler();
    const int timer = port.NewTimerTrigger();
    port.ArmTimerTrigger(timer, 2, true);
    loop.AdvanceBy(3 * kMsPerTick);
    port.Pump();
    ASSERT_EQ(CountOf(TriggerKind::kTimer), 1);

    port.ArmTimerTrigger(timer, 0, true);
    loop.AdvanceBy(2 * kMsPerTick);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kTimer), 1) << "still 2 ticks long";
    loop.AdvanceBy(kMsPerTick);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kTimer), 2);

    port.ArmTimerTrigger(timer, 1, true);
    port.ArmTimerTrigger(timer, 0, false);
    loop.AdvanceBy(100 * kMsPerTick);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kTimer), 2);
}

TEST(Ticks, TimersExpireAcrossAWrapOfTheClockAndAreCapped) {
    EXPECT_EQ(TicksFromMs(0x100000000LL + 110), 2u) << "the clock wraps like a 32-bit millisecond counter";
    EXPECT_FALSE(TimerExpired(100, 10, 110));
    EXPECT_TRUE(TimerExpired(100, 10, 111));
    const Ticks nearEnd = kTickRange - 5;
    EXPECT_FALSE(TimerExpired(nearEnd, 10, 5)) << "10 ticks after start, across the wrap";
    EXPECT_TRUE(TimerExpired(nearEnd, 10, 6));
    EXPECT_FALSE(TimerExpired(0, 0xffffffffu, kMaxTimerTicks)) << "capped length";
    EXPECT_TRUE(TimerExpired(0, 0xffffffffu, kMaxTimerTicks + 1));
}

// ---- delivery and handlers ----

TEST_F(BaseDispatcherTest, AHandlerRemovedDuringADeliveryIsNotCalledAgain) {
    int firstCalls = 0, secondCalls = 0;
    int second = 0;
    port.AddEventHandler(&firstCalls, [&](const TriggerEvent& event) {
        ++firstCalls;
        port.RemoveEventHandler(&second);
        port.RemoveEventHandler(&firstCalls);
        std::string bytes(static_cast<std::size_t>(event.param), '\0');
        port.ReadBlock(bytes.data(), event.param);
    });
    port.AddEventHandler(&second, [&](const TriggerEvent&) { ++secondCalls; });
    port.Arrive("1");
    port.Pump();
    port.Arrive("2");
    port.Pump();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0) << "removed before its turn in the same delivery";
    EXPECT_EQ(port.InputCount(), 1) << "without handlers nothing reads";
}

TEST_F(BaseDispatcherTest, StoppingInsideADeliveryOnlySetsClosePending) {
    int laterCalls = 0;
    port.AddEventHandler(this, [&](const TriggerEvent&) {
        port.StopPort();
        EXPECT_TRUE(port.ClosePending());
        EXPECT_EQ(port.dispatchStops, 0) << "the dispatch must outlive the delivery";
    });
    port.AddEventHandler(&laterCalls, [&](const TriggerEvent&) { ++laterCalls; });
    port.Arrive("x");
    port.Pump();
    EXPECT_EQ(laterCalls, 0) << "the delivery ends at once";
    EXPECT_TRUE(port.Started());
    port.StopPort();
    EXPECT_EQ(port.dispatchStops, 1);
    EXPECT_FALSE(port.Started());
    EXPECT_EQ(port.DeviceHandle(), -1);
}

TEST_F(BaseDispatcherTest, AThrowingHandlerLeavesTheDispatcherUsable) {
    bool fail = true;
    std::string got;
    port.AddEventHandler(this, [&](const TriggerEvent& event) {
        if (fail) throw std::runtime_error("handler failed");
        got.resize(static_cast<std::size_t>(event.param));
        port.ReadBlock(got.data(), event.param);
    });
    port.Arrive("a");
    EXPECT_THROW(port.Pump(), std::runtime_error);
    EXPECT_FALSE(port.InDelivery());
    fail = false;
    port.Arrive("b");
    port.Pump();
    EXPECT_EQ(got, "ab");
}

TEST_F(BaseDispatcherTest, ADeliveryMarkDefersAStop) {
    port.RunAsDelivery([&] { port.StopPort(); });
    EXPECT_TRUE(port.ClosePending());
    EXPECT_EQ(port.dispatchStops, 0);
}

TEST_F(BaseDispatcherTest, StashedTriggersComeBackInANewDispatcherWithoutHandleClashes) {
    const int timer = port.NewTimerTrigger();
    const int data = port.AddDataTrigger("RX");
    const TriggerSet stash = port.StashTriggers();

    MemoryDispatcher reopened(loop);
    reopened.StartPort(PortSettings{});
    reopened.ReinstateTriggers(stash);
    EXPECT_EQ(reopened.ArmTimerTrigger(timer, 5, true), 0);
    const int fresh = reopened.NewTimerTrigger();
    EXPECT_NE(fresh, timer);
    EXPECT_NE(fresh, data);

    std::vector<TriggerEvent> seen;
    reopened.AddEventHandler(this, [&](const TriggerEvent& e) { seen.push_back(e); });
    reopened.Arrive("RX");
    reopened.Pump();
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [&](const TriggerEvent& e) {
                  return e.kind == TriggerKind::kData && e.param == data;
              }),
              1);
}

TEST_F(BaseDispatcherTest, StatusTriggersFireOnceUntilReArmed) {
    AddRecordingHandler();
    const int sent = port.AddStatusTrigger(StatusKind::kOutputSent, 0);
    const int used = port.AddStatusTrigger(StatusKind::kOutputUsed, 0);
    ASSERT_EQ(port.WriteBlock("abc", 3), 0);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kStatus), 0) << "three bytes wait for output";
    port.Drain();
    port.Pump();
    ASSERT_EQ(CountOf(TriggerKind::kStatus), 2);
    EXPECT_EQ(events[0].param, sent);
    EXPECT_EQ(events[1].param, used);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kStatus), 2);
    EXPECT_EQ(port.ArmStatusTrigger(used), 0);
    port.Pump();
    EXPECT_EQ(CountOf(TriggerKind::kStatus), 3);
}

// ---- output ----

TEST_F(BaseDispatcherTest, ABlockThatFillsTheFreeSpaceExactlyIsTakenOneMoreIsRefusedWhole) {
    EXPECT_EQ(port.WriteBlock("0123456789", 10), 0);
    EXPECT_EQ(port.OutputFree(), 6);
    EXPECT_EQ(port.WriteBlock("abcdefg", 7), kOutputBufferTooSmall);
    EXPECT_EQ(port.OutputCount(), 10) << "nothing of the refused block was queued";
    EXPECT_EQ(port.WriteBlock("abcdef", 6), 0);
    EXPECT_EQ(port.OutputFree(), 0);
    EXPECT_EQ(port.Drain(), "0123456789abcdef");
}

TEST_F(BaseDispatcherTest, ADeviceThatTakesNothingFailsTheWrite) {
    port.refuseOutput = true;
    EXPECT_EQ(port.WriteBlock("x", 1), kPutBlockFail);
}

TEST_F(BaseDispatcherTest, FlushOutputDiscardsPendingOutput) {
    port.WriteBlock("stale", 5);
    port.FlushOutput();
    EXPECT_EQ(port.OutputCount(), 0);
    port.WriteBlock("new", 3);
    EXPECT_EQ(port.Drain(), "new");
}

// ---- line settings ----

TEST_F(BaseDispatcherTest, TheLineIsProgrammedOnlyWhenAValueChanges) {
    ASSERT_EQ(port.programmed.size(), 1u) << "the start programs the line";
    port.programmed.clear();
    EXPECT_EQ(port.ProgramLine(19200, 0, 8, 1), 0);
    EXPECT_EQ(port.ProgramLine(kKeepBaud, kKeepParity, kKeepDataBits, kKeepStopBits), 0);
    EXPECT_EQ(port.ProgramLine(19200, 0, 8, 0), 0) << "stop bits 0 count as 1";
    EXPECT_TRUE(port.programmed.empty());

    EXPECT_EQ(port.ProgramLine(115200, kKeepParity, kKeepDataBits, 7), 0);
    ASSERT_EQ(port.programmed.size(), 1u);
    const platform::SerialLine expected{115200, platform::SerialParity::kNone, 8, 2};
    EXPECT_EQ(port.programmed[0], expected) << "4 and more stop bits count as 2";
    EXPECT_EQ(port.Line(), expected);
}

TEST_F(BaseDispatcherTest, ALineTheDeviceRefusesKeepsTheOldSettings) {
    port.lineFailure = -22;
    EXPECT_EQ(port.ProgramLine(12345, kKeepParity, kKeepDataBits, kKeepStopBits), -22);
    EXPECT_EQ(port.Line().baud, 19200);
}

TEST(CharacterTimes, EighteenCharacterTimesInWholeMilliseconds) {
    using platform::SerialParity;
    EXPECT_EQ(CharacterTimesMs({19200, SerialParity::kNone, 8, 1}), 10);   // 9.375 ms
    EXPECT_EQ(CharacterTimesMs({115200, SerialParity::kNone, 8, 1}), 2);   // 1.5625 ms
    EXPECT_EQ(CharacterTimesMs({460800, SerialParity::kNone, 8, 1}), 1);   // 0.39 ms, doubled
    EXPECT_EQ(CharacterTimesMs({9600, SerialParity::kEven, 7, 2}), 21);    // 11 bits: 20.625 ms
    EXPECT_EQ(CharacterTimesMs({1200, SerialParity::kNone, 5, 2}), 113);   // 1.5 stop bits: 112.5 ms
}

// ---- registry ----

TEST(DispatcherRegistry, HandlesAreSlotsThatAreReusedAndTrimmed) {
    platform::VirtualLoop loop;
    const int before = dispatcher_registry::SlotCount();
    auto first = std::make_unique<MemoryDispatcher>(loop);
    auto second = std::make_unique<MemoryDispatcher>(loop);
    EXPECT_EQ(dispatcher_registry::Find(first->RegistryHandle()), first.get());
    EXPECT_EQ(second->RegistryHandle(), first->RegistryHandle() + 1);

    const int firstHandle = first->RegistryHandle();
    first.reset();
    EXPECT_EQ(dispatcher_registry::Find(firstHandle), nullptr);
    auto third = std::make_unique<MemoryDispatcher>(loop);
    EXPECT_EQ(third->RegistryHandle(), firstHandle) << "the first empty slot";

    third->StartPort(PortSettings{});
    EXPECT_EQ(dispatcher_registry::FindByDevice(42), third.get());
    EXPECT_EQ(dispatcher_registry::FindByDevice(-1), nullptr);

    second.reset();
    third.reset();
    EXPECT_EQ(dispatcher_registry::SlotCount(), before) << "empty slots at the end are trimmed";
}

}  // namespace
}  // namespace morvik::comm
