// The window models the command channel writes: the progress window's bar
// and the traffic monitor.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/monitor.h"
#include "channel/progress.h"

namespace morvik::channel {
namespace {

TEST(Progress, StepsCycleThroughTheBarAndWrapPastTheMaximum) {
    Progress progress;
    progress.ShowProgress("On Air Subscript", 10);
    std::vector<int> positions;
    for (int i = 0; i < 11; ++i) {
        progress.SetProgress(-1);
        positions.push_back(progress.state.Get().position);
    }
    EXPECT_EQ(positions, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
}

TEST(Progress, ValuesAboveTheMaximumAreIgnoredAndTheMaximumFillsTheBar) {
    Progress progress;
    progress.ShowProgress("SEARCHING", 4);
    progress.SetProgress(2);
    progress.SetProgress(5);
    EXPECT_EQ(progress.state.Get().position, 2);
    progress.SetProgress(4);
    EXPECT_EQ(progress.state.Get().position, 4);
}

TEST(Progress, ASecondShowRecaptionsAndRestartsTheBar) {
    Progress progress;
    std::vector<ProgressState> seen;
    progress.state.Subscribe([&](const ProgressState& state) { seen.push_back(state); });
    progress.ShowProgress("SEARCHING", 4);
    progress.SetProgress(3);
    progress.ShowProgress("READING", 6);
    progress.HideProgress();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2], (ProgressState{"READING", 6, 0, true}));
    EXPECT_EQ(seen[3], (ProgressState{"READING", 6, 0, false}));
}

TEST(Monitor, TheMenuItemTogglesThePaneAndTheLabelOnlyShowsIt) {
    Monitor monitor;
    monitor.Label1MouseDown(false);
    EXPECT_FALSE(monitor.visible.Get());
    monitor.Label1MouseDown(true);
    EXPECT_TRUE(monitor.visible.Get());
    EXPECT_FALSE(monitor.menuChecked.Get());
    monitor.miMonitorClick();
    EXPECT_TRUE(monitor.menuChecked.Get());
    EXPECT_TRUE(monitor.visible.Get());
    monitor.miMonitorClick();
    EXPECT_FALSE(monitor.menuChecked.Get());
    EXPECT_FALSE(monitor.visible.Get());
}

// Listeners that subscribe others while being notified (as a widget built in
// reaction to a change does): the running one must not move under itself
// (its captures are read after the additions), and the new ones hear from the
// next notification on.
TEST(Monitor, ListenersAddedWhileNotifyingHearTheNextChangeAndTheRunningOneStaysPut) {
    Monitor monitor;
    std::vector<std::string> heard;
    const auto subscribeMany = [&](auto subscribe, const char* what) {
        for (int added = 0; added < 64; ++added) subscribe([&heard, what, added](auto&&...) {
            if (added == 0) heard.push_back(std::string("new ") + what);
        });
    };
    const std::string tag = "running";
    monitor.OnAppend([&, tag](const std::string& line) {
        subscribeMany([&](auto l) { monitor.OnAppend(l); }, "line");
        heard.push_back(tag + " " + line);
    });
    monitor.OnClear([&, tag] {
        subscribeMany([&](auto l) { monitor.OnClear(l); }, "clear");
        heard.push_back(tag + " clear");
    });
    monitor.visible.Subscribe([&, tag](bool) {
        subscribeMany([&](auto l) { monitor.visible.Subscribe(l); }, "visible");
        heard.push_back(tag + " visible");
    });
    for (int round = 0; round < 2; ++round) {
        monitor.Append(">OK");
        monitor.Clear();
        monitor.visible.Set(round == 0);
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"running >OK", "running clear", "running visible", "running >OK",
                                               "new line", "running clear", "new clear", "running visible",
                                               "new visible"}));
}

}  // namespace
}  // namespace morvik::channel
