#pragma once
// The identity values shown on the profile page.

#include <string>

#include "channel/observable.h"

namespace morvik::profile {

struct IdentityLabels {
    channel::Observable<std::string> lbHardware;     // answer to "ATI0"
    channel::Observable<std::string> lbFirmware;     // answer to "ATI1"
    channel::Observable<std::string> lbProduct;      // answer to "ATI2"
    channel::Observable<std::string> lbManufacture;  // answer to "ATI3"
    channel::Observable<std::string> lbCurrentProfile{std::string("Current Profile")};  // the profile's name
    channel::Observable<std::string> lbCurrentSubscript{std::string("-")};
};

}  // namespace morvik::profile
