#pragma once
// The identity values shown on the profile page.

#include <string>

#include "link/observable.h"

namespace morvik::profile {

struct IdentityLabels {
    link::Observable<std::string> lbHardware;     // answer to "ATI0"
    link::Observable<std::string> lbFirmware;     // answer to "ATI1"
    link::Observable<std::string> lbProduct;      // answer to "ATI2"
    link::Observable<std::string> lbManufacture;  // answer to "ATI3"
    link::Observable<std::string> lbCurrentSubscript{std::string("-")};
};

}  // namespace morvik::profile
