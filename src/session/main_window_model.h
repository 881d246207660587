#pragma once
// Everything the main window shows, as plain data the logic changes and the
// widgets observe.

#include "features/device_panel.h"
#include "session/menu_state.h"
#include "channel/monitor.h"
#include "session/progress.h"
#include "channel/status_bar.h"
#include "features/profile/identity_labels.h"

namespace morvik::session {

struct MainWindowModel {
    channel::StatusBar statusBar;
    channel::Monitor monitor;
    Progress progress;
    MenuState menu;
    features::DevicePanel devicePanel;
    profile::IdentityLabels identity;
};

}  // namespace morvik::session
