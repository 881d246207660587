// The configuration type change: the command, the hand-over to the search and
// the module read again with its new type.

#include <gtest/gtest.h>

#include "session/configuration_change.h"
#include "support/sim_link_fixture.h"

namespace morvik::session {
namespace {

using Lines = std::vector<std::string>;

class ConfigurationChangeTest : public SimLinkFixture {
protected:
    sim::Rx57Module& ReadModule(unsigned configType, sim::FaultPlan faults = {}) {
        sim::ModuleConfig config = sim::DefaultModuleConfig();
        config.state.configType = configType;
        config.faults = std::move(faults);
        sim::Rx57Module& module = StartModule(std::move(config));
        EXPECT_TRUE(SearchAndRead());
        Sent();
        return module;
    }
    // Events until the module has been read again after the change.
    bool ReadAgain() {
        return loop.RunUntil([&] { return !link.model.menu.commandsEnabled.Get(); }, 1000) &&
               loop.RunUntil([&] { return link.model.menu.commandsEnabled.Get(); }, 60000);
    }
    std::string Shown() const {
        const subscriptions::SubscriptionGrid& grid = link.model.grid;
        return link.model.devicePanel.lbConfigType.Get() + ", " + std::to_string(grid.RowCount()) + " slots, " +
               grid.Header(1);
    }
};

TEST_F(ConfigurationChangeTest, TheModuleIsReadAgainWithItsNewType) {
    const sim::Rx57Module& module = ReadModule(sim::kReplacementPp);
    EXPECT_EQ(Shown(), "Replacement PP, 6 slots, PARK");

    const std::int64_t changedAt = loop.NowMs();
    ChangeConfigurationType(link, profile::kServerFp);
    EXPECT_EQ(Sent(), Lines{"AT^SBASC3\r"});  // at once, and nothing awaited
    loop.AdvanceTo(changedAt + 99);
    EXPECT_TRUE(link.model.menu.commandsEnabled.Get());
    loop.AdvanceTo(changedAt + 100);
    EXPECT_FALSE(link.model.menu.commandsEnabled.Get());
    EXPECT_EQ(link.model.devicePanel.lbConfigType.Get(), "Replacement PP");  // until the next reading

    ASSERT_TRUE(ReadAgain());
    EXPECT_EQ(module.State().configType, sim::kServerFp);
    EXPECT_EQ(Shown(), "Server FP, 16 slots, IPUI");
    EXPECT_EQ(link.fields.state, channel::LinkState::kAtMode);
}

TEST_F(ConfigurationChangeTest, TheTypeTheModuleHasIsSentAllTheSame) {
    const sim::Rx57Module& module = ReadModule(sim::kServerFp);
    ChangeConfigurationType(link, profile::kServerFp);
    EXPECT_EQ(Sent(), Lines{"AT^SBASC3\r"});
    ASSERT_TRUE(ReadAgain());
    EXPECT_EQ(module.State().configType, sim::kServerFp);
    EXPECT_EQ(Shown(), "Server FP, 16 slots, IPUI");
}

// Neither a refusal nor silence leaves the commands disabled for good: the
// keep-alive probe finds the module (or not) and the link goes on from there.
class RefusedChangeTest : public ConfigurationChangeTest, public testing::WithParamInterface<sim::Fault> {};

TEST_P(RefusedChangeTest, TheModuleKeepsItsTypeAndIsReadAgain) {
    sim::FaultPlan faults;
    faults.Add(GetParam(), {"AT^SBASC*", 0});
    const sim::Rx57Module& module = ReadModule(sim::kReplacementFp, std::move(faults));
    ChangeConfigurationType(link, profile::kReplacementPp);
    ASSERT_TRUE(ReadAgain());
    EXPECT_EQ(module.State().configType, sim::kReplacementFp);
    EXPECT_EQ(Shown(), "Replacement FP, 6 slots, PARK");
}

INSTANTIATE_TEST_SUITE_P(Faults, RefusedChangeTest, testing::Values(sim::Fault::kRefuse, sim::Fault::kSilent));

}  // namespace
}  // namespace morvik::session
