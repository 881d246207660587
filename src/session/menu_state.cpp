#include "session/menu_state.h"

namespace morvik::session {

void MenuState::ShowView(int mode, bool force) {
    if (!force && mode == viewMode_) return;
    viewMode_ = mode;
    if (mode == kProfilePage || mode == kSubscriptPage) {
        checkedViewItem.Set(mode);
        shownPage.Set(mode);
    }
}

}  // namespace morvik::session
