#pragma once
// Control identifiers of the options dialog (shared with the language
// libraries' templates 3000 and 3010 to 3012) and the rule of which of their
// notifications enable Apply.
#include <windows.h>

namespace qdx::app {

inline constexpr WORD kOptionsFrameTemplate = 3000;
inline constexpr int kOptionsPageCount = 3;
inline constexpr WORD kOptionsPageTemplates[kOptionsPageCount] = {3010, 3011, 3012};

namespace options_id {
// frame
inline constexpr int kApply = 3001;
inline constexpr int kPageButtons[kOptionsPageCount] = {3010, 3011, 3012};
// page "output"
inline constexpr int kOutputHeading = 3020;
inline constexpr int kBrowseOutputFolder = 3021;
inline constexpr int kClearOutputFolder = 3022;
inline constexpr int kOutputFolder = 3023;
inline constexpr int kBackgroundHeading = 3030;
inline constexpr int kOwnBackground = 3031;
inline constexpr int kColourSwatch = 3032;
inline constexpr int kChooseColour = 3033;
inline constexpr int kShortcutHeading = 3040;
inline constexpr int kDesktopShortcut = 3041;
inline constexpr int kSendToShortcut = 3042;
// page "plug-ins"
inline constexpr int kPluginFolder = 3100;
inline constexpr int kBrowsePluginFolder = 3101;
inline constexpr int kClearPluginFolder = 3102;
inline constexpr int kPluginList = 3111;
// page "appearance"
inline constexpr int kLanguageHeading = 3200;
inline constexpr int kLanguageList = 3201;
inline constexpr int kFontHeading = 3210;
inline constexpr int kFontList = 3211;
inline constexpr int kSmallFont = 3221;
inline constexpr int kMediumFont = 3222;
inline constexpr int kLargeFont = 3223;
inline constexpr int kNormalWeight = 3231;
inline constexpr int kBoldWeight = 3232;
inline constexpr int kDialogFontHeading = 3240;
inline constexpr int kNormalDialogFont = 3241;
inline constexpr int kLargeDialogFont = 3242;
inline constexpr int kTooltipHeading = 3250;
inline constexpr int kShowTooltips = 3251;
}  // namespace options_id

// Strings of the plug-in list's column headings and the folder browser's title.
inline constexpr UINT kPluginColumnTexts[3] = {20200, 20201, 20202};
inline constexpr UINT kFolderBrowserTitle = 20220;

// True when the command (`code` from WM_COMMAND) or notification (`code`
// from WM_NOTIFY) of control `id` on one of the pages enables Apply.
bool EnablesApply(int id, int code);

}  // namespace qdx::app
