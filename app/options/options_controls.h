#pragma once
// The options dialog's pages and the rule of which of their controls'
// notifications enable Apply.
#include <windows.h>

#include "app/common/control_ids.h"
#include "core/text_ids.h"

namespace qdx::app {

inline constexpr int kOptionsPageCount = 3;
inline constexpr WORD kOptionsPageTemplates[kOptionsPageCount] = {IDD_OPTIONS_OUTPUT, IDD_OPTIONS_PLUGINS,
                                                                  IDD_OPTIONS_APPEARANCE};
// The frame's page buttons, one per page.
inline constexpr int kPageButtons[kOptionsPageCount] = {IDC_OPTIONS_OUTPUT_PAGE, IDC_OPTIONS_PLUGINS_PAGE,
                                                        IDC_OPTIONS_APPEARANCE_PAGE};

// Strings of the plug-in list's column headings.
inline constexpr UINT kPluginColumnTexts[3] = {kTextPluginFileColumn, kTextPluginTypesColumn,
                                               kTextPluginDescriptionColumn};

// True when the command (`code` from WM_COMMAND) or notification (`code`
// from WM_NOTIFY) of control `id` on one of the pages enables Apply.
bool EnablesApply(int id, int code);

}  // namespace qdx::app
