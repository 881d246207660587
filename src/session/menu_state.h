#pragma once
// What the menus and pages show: the module commands' enable state, the check
// items and which page is up.

#include "channel/observable.h"

namespace morvik::session {

enum ViewPage : int { kProfilePage = 0, kSubscriptPage = 1 };

class MenuState {
public:
    // The module commands: "Load Subscript", "Save Subscript", "Export->Velmara",
    // the whole "&Command" menu and the two toolbar buttons.
    void EnableCommands(bool on) { commandsEnabled.Set(on); }
    // Mode 0 shows the profile page, 1 the subscription page; other values only
    // become the view mode. Without force nothing happens for the current mode.
    void ShowView(int mode, bool force);
    // The View menu's "Subscript" and "Profile".
    void miSubscriptClick() { ShowView(kSubscriptPage, false); }
    void miProfileClick() { ShowView(kProfilePage, false); }
    int ViewMode() const { return viewMode_; }
    void SetViewMode(int mode) { viewMode_ = mode; }

    channel::Observable<bool> commandsEnabled{false};
    channel::Observable<bool> testlaufChecked{false};
    channel::Observable<int> shownPage{kSubscriptPage};
    channel::Observable<int> checkedViewItem{kSubscriptPage};

private:
    int viewMode_ = kSubscriptPage;
};

}  // namespace morvik::session
