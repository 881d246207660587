#pragma once
// The module's subscription table and identity registers.
//
// NOT YET BUILT: the table, its registers and the grid come with their own
// change. Until then these operations send nothing and read nothing.

#include <string>

namespace morvik::subscriptions {

class SubscriptionTable {
public:
    // Not yet built: will set up the grid's headers and rows and empty them.
    void InitSubscriptionTable() {}
    // Not yet built: will read S220 to S224 as a dotted identity. Empty: no identity read.
    std::string ReadDeviceIdentity() { return {}; }
    // Not yet built: will read S189. "-" is what the window shows for an unknown index.
    std::string ReadCurrentSubscriptionIndex() { return "-"; }
    // Not yet built: will read every slot into the grid.
    void ReadAllSubscriptions(bool /*reinit*/) {}
};

}  // namespace morvik::subscriptions
