// The line between program and module: the serial rate both ends must agree
// on, and the faults the module can be told to show.

#include <gtest/gtest.h>

#include "module_harness.h"

namespace morvik::sim::test {
namespace {

using Lines = std::vector<std::string>;

TEST(ModuleLineRate, BytesAtAnotherRateAreLostBothWays) {
    ModuleHarness h;
    h.module.SetLineRate(115200);
    h.module.Reset();
    h.Advance(2000);
    EXPECT_EQ(h.TakeOutput(), "");  // the announcement went out at 19200
    h.module.SetLineRate(19200);
    h.Send("+++");
    h.Advance(1000);
    EXPECT_EQ(h.TakeOutput(), "\r\nOK\r\n");

    h.module.SetLineRate(115200);
    EXPECT_EQ(h.Command("ATS154?"), Lines{});
    h.module.SetLineRate(0);  // TCP: no rate on the line at all
    EXPECT_EQ(h.Command("ATE0"), Lines{"OK"});
    EXPECT_EQ(h.Answer("ATS154?"), "003");

    // The port changes its rate between a command and its answer.
    std::uint32_t portRate = 19200;
    h.module.SetLineRateProbe([&] { return portRate; });
    h.Send("ATI0\r");
    portRate = 115200;
    h.Advance(1000);
    EXPECT_EQ(h.TakeOutput(), "");
}

TEST(ModuleLineRate, BaudChangeAnswersAtTheOldRateThenRunsAtTheNewOne) {
    ModuleHarness h;
    std::uint32_t portRate = 19200;
    h.module.SetLineRateProbe([&] { return portRate; });
    h.StartInCommandMode();
    EXPECT_EQ(h.Command("AT&W-1\\R10&W1&F1"), Lines{"OK"});
    EXPECT_EQ(h.module.ModuleBaud(), 115200u);
    EXPECT_EQ(h.module.State().profiles[0].Baud(), 115200u);
    EXPECT_EQ(h.Command("AT"), Lines{});  // the program's port still at 19200

    portRate = 115200;  // the program reopens its port at the new rate: a reset
    h.module.Reset();
    h.Advance(1500);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"RX57 DECT Data Module V2.10"});
    h.Send("+++");
    h.Advance(1000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"OK"});
    EXPECT_EQ(h.Command("AT&W-1\\R7&W1&F1"), Lines{"OK"});
    EXPECT_EQ(h.module.ModuleBaud(), 19200u);
}

ModuleConfig WithFault(Fault fault, const char* trigger) {
    ModuleConfig config = DefaultModuleConfig();
    std::string why;
    config.faults.Add(fault, *ParseFaultTrigger(trigger, &why));
    return config;
}

TEST(ModuleFaults, SilentGarbageAndControlCharactersHitOnlyTheirCommands) {
    ModuleHarness silent(WithFault(Fault::kSilent, "ATI1"));
    silent.StartInCommandMode();
    EXPECT_EQ(silent.Command("ATI1", 10000), Lines{});
    EXPECT_EQ(silent.Command("ATI1", 10000), Lines{});
    EXPECT_EQ(silent.Answer("ATI0"), "D57 Radio Board Rev.C");

    ModuleHarness once(WithFault(Fault::kSilent, "ats 154?@2"));
    once.StartInCommandMode();
    EXPECT_EQ(once.Answer("ATS154?"), "003");
    EXPECT_EQ(once.Command("ATS154?"), Lines{});
    EXPECT_EQ(once.Answer("ATS154?"), "003");

    ModuleHarness garbage(WithFault(Fault::kGarbage, "ATS19*"));
    garbage.StartInCommandMode();
    EXPECT_EQ(garbage.Answer("ATS191?"), "~#%8*!q?&");
    EXPECT_EQ(garbage.Answer("ATS190=1"), "~#%8*!q?&");
    EXPECT_EQ(garbage.Answer("ATS154?"), "003");

    ModuleHarness control(WithFault(Fault::kControl, "AT&V0"));
    control.StartInCommandMode();
    const Lines listing = control.Command("AT&V0");
    ASSERT_EQ(listing.size(), 7u);
    for (const std::string& line : listing) {
        EXPECT_EQ(line.front(), '\x1B');
        EXPECT_EQ(line.back(), '\x07');
    }
}

TEST(ModuleFaults, RestartInTheMiddleOfTheListingAnnouncesItselfInCommandMode) {
    ModuleHarness h(WithFault(Fault::kRestart, "AT&V0@1"));
    h.StartInCommandMode();
    const Lines lines = h.Command("AT&V0");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "RX57 DECT Data Module V2.10");
    EXPECT_EQ(h.module.CurrentMode(), Rx57Module::Mode::kData);
}

TEST(ModuleFaults, ConnectionDropsOnceTheAnswerToTheNthCommandIsOut) {
    ModuleConfig config = DefaultModuleConfig();
    config.faults.SetDropAfter(3);
    ModuleHarness h(config);
    h.StartInCommandMode();  // ATE0 is the first command
    h.Answer("AT");
    h.Send("ATS154?\r");
    h.Advance(19);
    EXPECT_EQ(h.drops, 0);
    h.Advance(1);
    EXPECT_EQ(h.drops, 1);
    EXPECT_EQ(h.writes.back(), "\r\n003\r\n");  // the answer went out before the line was cut

    h.module.Reset();  // a new connection counts afresh
    h.Advance(1500);
    h.Send("+++");
    h.Advance(1000);
    h.Answer("AT");
    h.Answer("AT");
    EXPECT_EQ(h.drops, 1);
    h.Answer("AT");
    EXPECT_EQ(h.drops, 2);
}

}  // namespace
}  // namespace morvik::sim::test
