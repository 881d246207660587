#pragma once
// What the menus and pages show: the module commands' enable state, the check
// items and which page is up.

#include "link/observable.h"

namespace morvik::link {

enum ViewPage : int { kProfilePage = 0, kSubscriptPage = 1 };

class MenuState {
public:
    // The module commands: "Load Subscript", "Save Subscript", "Export->Velmara",
    // the whole "&Command" menu and the two toolbar buttons.
    void EnableCommands(bool on) { commandsEnabled.Set(on); }
    // Mode 0 shows the profile page, 1 the subscription page; other values only
    // become the view mode. Without force nothing happens for the current mode.
    void ShowView(int mode, bool force);
    int ViewMode() const { return viewMode_; }
    void SetViewMode(int mode) { viewMode_ = mode; }

    Observable<bool> commandsEnabled{false};
    Observable<bool> testlaufChecked{false};
    Observable<int> shownPage{kSubscriptPage};
    Observable<int> checkedViewItem{kSubscriptPage};

private:
    int viewMode_ = kSubscriptPage;
};

}  // namespace morvik::link
