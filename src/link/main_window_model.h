#pragma once
// Everything the main window shows, as plain data the logic changes and the
// widgets observe.

#include "link/device_panel.h"
#include "link/menu_state.h"
#include "link/monitor.h"
#include "link/progress.h"
#include "link/status_bar.h"
#include "profile/identity_labels.h"

namespace morvik::link {

struct MainWindowModel {
    StatusBar statusBar;
    Monitor monitor;
    Progress progress;
    MenuState menu;
    DevicePanel devicePanel;
    profile::IdentityLabels identity;
};

}  // namespace morvik::link
