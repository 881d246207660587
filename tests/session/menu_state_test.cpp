#include <gtest/gtest.h>

#include <vector>

#include "session/menu_state.h"

namespace morvik::session {
namespace {

TEST(MenuState, ShowViewSwitchesPagesOnlyForKnownModesAndWhenForcedOrChanged) {
    MenuState menu;
    std::vector<int> pages;
    menu.shownPage.Subscribe([&](int page) { pages.push_back(page); });
    menu.ShowView(kSubscriptPage, false);  // already the view mode: nothing
    menu.ShowView(kProfilePage, false);
    menu.ShowView(7, false);  // unknown: only the mode changes
    EXPECT_EQ(menu.ViewMode(), 7);
    EXPECT_EQ(menu.shownPage.Get(), kProfilePage);
    EXPECT_EQ(menu.checkedViewItem.Get(), kProfilePage);
    menu.ShowView(kSubscriptPage, true);
    EXPECT_EQ(pages, (std::vector<int>{kProfilePage, kSubscriptPage}));
}

}  // namespace
}  // namespace morvik::session
