// The keep-alive probe in command mode, and what a module restart does.

#include <gtest/gtest.h>

#include "support/sim_link_fixture.h"

namespace morvik::session {
namespace {

using Lines = std::vector<std::string>;

class KeepAliveTest : public SimLinkFixture {
protected:
    // Found and read; the last answer came at 5200 ms.
    void ReadModule(sim::ModuleConfig config = sim::DefaultModuleConfig()) {
        StartModule(std::move(config));
        ASSERT_TRUE(SearchAndRead());
        ASSERT_EQ(loop.NowMs(), 5200);
        Sent();
    }
};

TEST_F(KeepAliveTest, ThreeSecondsOfSilenceSendAnUnloggedAt) {
    ReadModule();
    const std::size_t logged = MonitorLines().size();
    Lines busyPanel;
    link.model.statusBar.panels[channel::kBusyPanel].Subscribe([&](const std::string& text) { busyPanel.push_back(text); });
    loop.AdvanceTo(11300);
    const Lines writes = Events("write");
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(Lines(writes.end() - 2, writes.end()), (Lines{"8200 AT{0D}", "11220 AT{0D}"}));
    EXPECT_EQ(MonitorLines().size(), logged);
    EXPECT_EQ(busyPanel, (Lines{"x", "1", "0", "", "x", "1", "0", ""}));
    EXPECT_EQ(link.fields.state, channel::LinkState::kAtMode);
    EXPECT_TRUE(link.fields.connectTimeout.IsActive());
}

TEST_F(KeepAliveTest, EveryLineInCommandModePutsTheProbeOff) {
    ReadModule();
    loop.AdvanceTo(7000);
    link.channel.QueryCommand("ATI1", true);  // answered at 7020
    loop.AdvanceTo(10000);
    EXPECT_EQ(Sent(), Lines{"ATI1\r"});
    loop.AdvanceTo(10020);
    EXPECT_EQ(Sent(), Lines{"AT\r"});
}

TEST_F(KeepAliveTest, AProbeWithoutAnswerFallsBackToTheSearch) {
    sim::ModuleConfig config = sim::DefaultModuleConfig();
    config.faults.Add(sim::Fault::kSilent, {"AT", 0});
    ReadModule(std::move(config));
    loop.AdvanceTo(8200 + 8000);
    EXPECT_EQ(link.fields.state, channel::LinkState::kSearch);
    EXPECT_EQ(Events("close").back(), "16200");
    EXPECT_FALSE(link.model.menu.commandsEnabled.Get());
    // The module is found and read again.
    ASSERT_TRUE(loop.RunUntil([&] { return link.fields.connectTimeout.IsActive(); }, 30000));
}

TEST_F(KeepAliveTest, NoProbeInterruptsAPendingCommand) {
    sim::ModuleConfig config = sim::DefaultModuleConfig();
    config.faults.Add(sim::Fault::kSilent, {"ATI1", 2});
    ReadModule(std::move(config));
    loop.AdvanceTo(6000);
    // The probe's "OK" must not become this command's answer.
    EXPECT_EQ(link.channel.QueryCommand("ATI1", true), "");
    EXPECT_EQ(loop.NowMs(), 14000);
    EXPECT_EQ(Sent(), Lines{"ATI1\r"});
    EXPECT_TRUE(link.fields.NoAnswer);
    loop.AdvanceTo(17100);
    EXPECT_EQ(Sent(), Lines{"AT\r"});
}

TEST_F(KeepAliveTest, AModuleRestartDisablesCommandsAndTheSearchResumesWithTheEscape) {
    ReadModule();
    loop.AdvanceTo(6000);
    module_->module.Reset();  // announces itself 500 ms later, in data mode
    loop.AdvanceTo(6600);
    EXPECT_EQ(link.fields.state, channel::LinkState::kAtMode);
    EXPECT_FALSE(link.model.menu.commandsEnabled.Get());
    EXPECT_EQ(link.fields.SearchStep, 2);
    EXPECT_EQ(MonitorLines().back(), ">Made 2019-05-14 Lot 1142");  // the restart line is not logged
    // The restart line does not count as a sign of life: the probe follows
    // 3000 ms after the last answer, gets none from a module in data mode, and
    // the search then starts with the escape.
    loop.AdvanceTo(5200 + 3000 + 8000);
    EXPECT_EQ(link.fields.state, channel::LinkState::kSearch);
    const Lines writes = Events("write");
    EXPECT_EQ(Lines(writes.end() - 2, writes.end()), (Lines{"8200 AT{0D}", "16200 +++"}));
}

}  // namespace
}  // namespace morvik::session
