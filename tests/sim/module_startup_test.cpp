// Power-up, restart and the escape into command mode, in virtual time.

#include <gtest/gtest.h>

#include "module_harness.h"

namespace morvik::sim::test {

using Mode = Rx57Module::Mode;
using Lines = std::vector<std::string>;

namespace {

TEST(ModuleStartup, StaysDeafUntilPoweredUpThenAnnouncesItselfInDataMode) {
    ModuleHarness h;
    h.Send("+++");
    h.Advance(5000);
    EXPECT_EQ(h.TakeOutput(), "");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kOff);

    h.module.Reset();
    h.Advance(499);
    EXPECT_EQ(h.TakeOutput(), "");
    h.Advance(1);
    EXPECT_EQ(h.TakeOutput(), "\r\nRX57 DECT Data Module V2.10\r\n");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kData);

    // Data mode is transparent: commands are just data.
    h.Send("ATZ\rAT\r");
    h.Advance(5000);
    EXPECT_EQ(h.TakeOutput(), "");
}

TEST(ModuleStartup, EscapeNeedsGuardTimeBeforeAndAfterAndAnswersOkAfterIt) {
    ModuleHarness h;
    h.module.Reset();
    h.Advance(500 + 3000);  // the program's own guard time after the announcement
    h.TakeOutput();
    h.Send("+++");
    h.Advance(999);
    EXPECT_EQ(h.TakeOutput(), "");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kData);
    h.Advance(1);
    EXPECT_EQ(h.TakeOutput(), "\r\nOK\r\n");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kCommand);
}

TEST(ModuleStartup, EscapeFailsWithoutSilenceAroundIt) {
    ModuleHarness h;
    h.module.Reset();
    h.Advance(2000);
    h.TakeOutput();

    h.Send("data");
    h.Advance(999);
    h.Send("+++");  // too soon after the data
    h.Advance(3000);
    EXPECT_EQ(h.TakeOutput(), "");

    h.Send("+++");  // silence before it now, but data follows within the guard time
    h.Advance(500);
    h.Send("x");
    h.Advance(3000);
    EXPECT_EQ(h.TakeOutput(), "");

    for (int i = 0; i < 3; ++i) {  // each "+" a guard time apart: no escape either
        h.Send("+");
        h.Advance(1000);
    }
    h.Advance(3000);
    EXPECT_EQ(h.TakeOutput(), "");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kData);

    h.Send("+");  // three quick ones, in separate writes, do it
    h.Advance(100);
    h.Send("++");
    h.Advance(1000);
    EXPECT_EQ(h.TakeOutput(), "\r\nOK\r\n");
}

TEST(ModuleStartup, GuardTimeFollowsS12AndTheEscapeCharacterS2) {
    ModuleHarness h;
    h.StartInCommandMode();
    EXPECT_EQ(h.Command("ATS12=5S2=45&W"), Lines{"OK"});  // 100 ms, escape with "-"
    EXPECT_EQ(h.Command("ATZ"), Lines({"OK", "RX57 DECT Data Module V2.10"}));

    h.Advance(100);
    h.Send("+++");
    h.Advance(1000);
    EXPECT_EQ(h.TakeOutput(), "");
    h.Advance(100);
    h.Send("---");
    h.Advance(99);
    EXPECT_EQ(h.TakeOutput(), "");
    h.Advance(1);
    EXPECT_EQ(h.TakeOutput(), "\r\nOK\r\n");
}

TEST(ModuleStartup, AtzRestartsAfterItsOkAndAResetDropsWhatIsNotSentYet) {
    ModuleHarness h;
    h.StartInCommandMode();
    h.Send("ATZ\r");
    h.Send("ATI0\r");  // deaf while restarting
    h.Advance(20);
    EXPECT_EQ(h.TakeOutput(), "\r\nOK\r\n");
    EXPECT_EQ(h.module.CurrentMode(), Mode::kStarting);
    h.Advance(500);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"RX57 DECT Data Module V2.10"});
    EXPECT_EQ(h.module.CurrentMode(), Mode::kData);

    h.StartInCommandMode();
    h.Send("ATI0\r");
    h.Advance(10);  // the answer is due at 20 ms
    h.module.Reset();
    h.Advance(1000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"RX57 DECT Data Module V2.10"});
}

TEST(ModuleStartup, CommandModeSurvivesAnEscapeSentAgainAndJunkBeforeAt) {
    // A searching program sends "+++" and then "ATZ" to a module already in command mode.
    ModuleHarness h;
    h.StartInCommandMode();
    EXPECT_EQ(h.Command("+++ATZ"), Lines({"OK", "RX57 DECT Data Module V2.10"}));
}


TEST(ModuleConfigurationChange, TakesTheNewTypeAndRestartsWithItsSlotCount) {
    ModuleHarness h;
    h.StartInCommandMode();
    int changes = 0;
    h.module.SetStateChanged([&] { ++changes; });
    EXPECT_EQ(h.Command("AT^SBASC1"), Lines({"OK", "RX57 DECT Data Module V2.10"}));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(h.module.CurrentMode(), Mode::kData);

    h.Advance(1000);
    h.Send("+++");
    h.Advance(1000);
    h.TakeOutput();
    EXPECT_EQ(h.Answer("ATS154?"), "001");
    EXPECT_EQ(h.Answer("ATS190=5"), "OK");
    EXPECT_EQ(h.Answer("ATS190=6"), "ERROR");
    EXPECT_NE(h.Command("AT&V0").front().find(", Replacement PP"), std::string::npos);

    EXPECT_EQ(h.Answer("AT^SBASC2"), "ERROR");  // not a type the module can be switched to
    EXPECT_EQ(h.module.CurrentMode(), Mode::kCommand);
    // The same type once more still restarts.
    EXPECT_EQ(h.Command("AT^SBASC1"), Lines({"OK", "RX57 DECT Data Module V2.10"}));
    EXPECT_EQ(h.module.State().configType, kReplacementPp);
}

}  // namespace
}  // namespace morvik::sim::test
