// On-air subscription: WAIT lines about once a second, then the result; a
// command meanwhile cancels it.

#include <gtest/gtest.h>

#include "module_harness.h"

namespace morvik::sim::test {
namespace {

using Lines = std::vector<std::string>;

ModuleConfig WithResult(OnAirResult result, unsigned configType = kServerFp) {
    ModuleConfig config = DefaultModuleConfig();
    config.onAir.result = result;
    config.state.configType = configType;
    return config;
}

TEST(ModuleOnAir, WaitsAboutOnceASecondThenRegistersThePartnerInTheFirstFreeSlot) {
    ModuleHarness h;
    h.StartInCommandMode();
    h.Send("AT^SENB,\r");
    h.Advance(20);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"WAIT"});
    h.Advance(1000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"WAIT"});
    h.Advance(1000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"WAIT"});
    EXPECT_TRUE(h.module.OnAirRunning());
    h.Advance(1000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"OK"});
    EXPECT_FALSE(h.module.OnAirRunning());

    EXPECT_EQ(h.module.State().slots[2], (Slot{1, Identity{{2, 61, 17, 201, 1}}}));
    EXPECT_EQ(h.Answer("ATS189?"), "002");
    // The next registration brings the next partner, into the slot asked for.
    EXPECT_EQ(h.Command("AT^SENB,7", 5000), Lines({"WAIT", "WAIT", "WAIT", "OK"}));
    EXPECT_EQ(h.module.State().slots[7], (Slot{1, Identity{{2, 61, 17, 201, 2}}}));
    EXPECT_EQ(h.Answer("ATS189?"), "007");
}

TEST(ModuleOnAir, EachRoleHasItsCommandAndTheSlotMustExist) {
    ModuleHarness server;
    server.StartInCommandMode();
    EXPECT_EQ(server.Answer("AT^SOAC,"), "ERROR");
    EXPECT_EQ(server.Answer("AT^SENB,16"), "ERROR");

    ModuleHarness portable(WithResult(OnAirResult::kOk, kReplacementPp));
    portable.StartInCommandMode();
    EXPECT_EQ(portable.Answer("AT^SENB,"), "ERROR");
    EXPECT_EQ(portable.Answer("AT^SOAC,6"), "ERROR");  // six slots
    EXPECT_EQ(portable.Command("AT^SOAC,5", 5000), Lines({"WAIT", "WAIT", "WAIT", "OK"}));

    ModuleHarness replacementFp(WithResult(OnAirResult::kOk, kReplacementFp));
    replacementFp.StartInCommandMode();
    for (unsigned slot = 2; slot < 6; ++slot) {
        EXPECT_EQ(replacementFp.Command("AT^SENB,", 5000).back(), "OK");
    }
    EXPECT_EQ(replacementFp.Answer("AT^SENB,"), "ERROR");  // no free slot left
}

TEST(ModuleOnAir, AFailedSubscriptionEndsWithErrorAndChangesNoSlot) {
    ModuleHarness h(WithResult(OnAirResult::kError));
    h.StartInCommandMode();
    const ModuleState before = h.module.State();
    EXPECT_EQ(h.Command("AT^SENB,3", 5000), Lines({"WAIT", "WAIT", "WAIT", "ERROR"}));
    EXPECT_EQ(h.module.State(), before);
}

TEST(ModuleOnAir, ACommandCancelsASubscriptionThatNeverEnds) {
    ModuleHarness h(WithResult(OnAirResult::kNever));
    h.StartInCommandMode();
    EXPECT_EQ(h.Command("AT^SENB,", 60500), Lines(61, "WAIT"));
    EXPECT_EQ(h.Command("AT"), Lines{"OK"});
    h.Advance(10000);
    EXPECT_EQ(h.TakeOutput(), "");
    EXPECT_FALSE(h.module.OnAirRunning());
    EXPECT_EQ(h.module.State().slots[2].state, 0);
}

TEST(ModuleOnAir, ARestartEndsASubscription) {
    ModuleHarness h(WithResult(OnAirResult::kNever));
    h.StartInCommandMode();
    h.Command("AT^SENB,");
    h.module.Reset();
    h.Advance(5000);
    EXPECT_EQ(SplitLines(h.TakeOutput()), Lines{"RX57 DECT Data Module V2.10"});
    EXPECT_FALSE(h.module.OnAirRunning());
}

}  // namespace
}  // namespace morvik::sim::test
