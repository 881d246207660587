#include "link/menu_state.h"

namespace morvik::link {

void MenuState::ShowView(int mode, bool force) {
    if (!force && mode == viewMode_) return;
    viewMode_ = mode;
    if (mode == kProfilePage || mode == kSubscriptPage) {
        checkedViewItem.Set(mode);
        shownPage.Set(mode);
    }
}

}  // namespace morvik::link
