#pragma once
// The main window: for now a hidden shell that owns the batch's messages and
// saves the settings when it is asked to close.
#include <windows.h>

#include "batch/batch_host.h"

namespace qdx::app {

inline constexpr wchar_t kMainClass[] = L"Quillodex_main_class";
inline constexpr wchar_t kDropClass[] = L"Quillodex_drop_class";
inline constexpr wchar_t kCombinedDropClass[] = L"Quillodex_exdrop_class";

bool RegisterWindowClasses(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);

// The batch's host on Windows: message boxes and the main window's title.
class MainWindowHost final : public BatchHost {
public:
    explicit MainWindowHost(HWND window) : window_(window) {}
    void ShowErrorMessage(uint32_t textId) override;
    void SetBusyTitle() override;
    void RestoreTitle() override;

private:
    HWND window_;
};

// A message box with one of the fixed start-up texts (no owner, "Error").
void ShowStartupError(const wchar_t* text);

}  // namespace qdx::app
