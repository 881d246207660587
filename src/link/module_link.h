#pragma once
// The link to one module, assembled: the window's models, the link's fields,
// the command channel, the parts the reading sequence calls and the state
// machine on top. The program and the tests build it the same way.

#include <string>

#include "link/command_channel.h"
#include "link/link_fields.h"
#include "link/link_state_machine.h"
#include "link/main_window_model.h"
#include "link/port_seam.h"
#include "link/user_dialogs.h"
#include "platform/event_loop.h"
#include "profile/identification.h"
#include "profile/profile_view.h"
#include "subscriptions/on_air_subscription.h"
#include "subscriptions/subscription_store.h"
#include "subscriptions/subscription_table.h"

namespace morvik::link {

struct ModuleLink {
    ModuleLink(platform::EventLoop& loop, PortSeam& port, UserDialogs& dialogs, std::string programFolder)
        : fields(loop),
          channel(loop, port, fields, model),
          identification(channel, model),
          machine(loop, port, fields, channel, model, dialogs,
                  ReadingParts{identification, profile, table, store, onAir}, std::move(programFolder)) {}

    // Declaration order is construction order: each part refers to those above it.
    MainWindowModel model;
    LinkFields fields;
    CommandChannel channel;
    profile::Identification identification;
    profile::ProfileView profile;
    subscriptions::SubscriptionTable table;
    subscriptions::SubscriptionStore store;
    subscriptions::OnAirSubscription onAir;
    LinkStateMachine machine;
};

}  // namespace morvik::link
