#pragma once
// The serial numbers and comments kept per device in the store files.
//
// NOT YET BUILT: the store files come with their own change. Until then the
// store-changed mark is not kept, so there is nothing to save or restore.

#include <string>

namespace morvik::subscriptions {

class SubscriptionStore {
public:
    // Not yet built: will set the store-changed mark, so that the next save writes the grid.
    void MarkChanged() {}
    // Not yet built: will save pending store changes (there are none yet).
    void SaveSubscriptionStore(bool /*silent*/) {}
    // Not yet built: will fill serial numbers and comments from the store file.
    void RestoreSubscriptionDetails(const std::string& /*filePath*/, const std::string& /*deviceIdentity*/) {}
};

}  // namespace morvik::subscriptions
