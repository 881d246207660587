#pragma once
// The module's S-register profile on the profile page.
//
// NOT YET BUILT: the profile list, its parsing and write-back come with their
// own change. Until then these operations send nothing and show nothing; the
// link still routes the "AT&V0" listing lines here.

#include <string>

namespace morvik::profile {

class ProfileView {
public:
    // Not yet built: will set every value of the profile list to a blank.
    void ClearProfile() {}
    // Not yet built: will reset the listing line counter and send "AT&V0".
    void ReadProfile() {}
    // Not yet built: will take one line of the "AT&V0" listing into the list.
    void ParseProfileLine(int /*offset*/, const std::string& /*line*/) {}
};

}  // namespace morvik::profile
