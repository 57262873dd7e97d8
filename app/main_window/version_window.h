#pragma once
// The version window: the product name and version, a notice naming the
// maker and the maker's address, which opens when clicked. It blocks, with
// the main window disabled, until it is closed.
#include <windows.h>

#include <cstdint>

#include "app/main_window/main_window_state.h"
#include "core/os/wide_string.h"

namespace qdx::app {

inline constexpr wchar_t kVersionInfoClass[] = L"version_info_class";
inline constexpr wchar_t kVersionUrlClass[] = L"version_url_class";
inline constexpr int kVersionTextId = 100;
inline constexpr int kNoticeTextId = 101;
inline constexpr int kAddressId = 102;

struct VersionInfo {
    const char16_t* productName;
    const char16_t* versionText;
    const char16_t* makerName;
    const char16_t* address;
    uint32_t captionId;  // language string of the window's caption
};

// "<product> version <version>" and the notice line naming the maker.
WideString VersionLine(const VersionInfo& info);
WideString NoticeLine(const VersionInfo& info);

// Shows the window centred on `owner`, in the main font of `state`, and
// returns once it has been closed.
void ShowVersionWindow(const MainWindowState& state, HWND owner, const VersionInfo& info);

}  // namespace qdx::app
