#include "app/options_controls.h"

#include <commctrl.h>

namespace qdx::app {

bool EnablesApply(int id, int code) {
    using namespace options_id;
    switch (id) {
        case kDesktopShortcut:
        case kSendToShortcut:
        case kSmallFont:
        case kMediumFont:
        case kLargeFont:
        case kNormalWeight:
        case kBoldWeight:
        case kNormalDialogFont:
        case kLargeDialogFont: return code == BN_CLICKED;
        case kOutputFolder:
        case kPluginFolder: return code == EN_CHANGE;
        case kLanguageList:
        case kFontList: return code == CBN_SELCHANGE;
        case kPluginList: return code == int(LVN_ITEMCHANGED);
        default: return false;  // the background and tooltip boxes wait for another change
    }
}

}  // namespace qdx::app
