#include "app/main_window/main_window_state.h"

#include <utility>

namespace qdx::app {

MainWindowState* StateOf(HWND window) {
    return UserDataOf<MainWindowState>(window);
}

bool RecreateMainFont(MainWindowState& state, HWND window) {
    const Settings& settings = state.settings;
    FontHandle font(CreateMainFont(settings.fontFace.Text(), settings.fontHeight, settings.fontWeight, state.dpi));
    if (!font) return false;
    state.metrics = MakeInterfaceMetrics(MeasureFont(window, font.Get()), CurrentSystemMeasures(state.dpi));
    state.mainFont = std::move(font);
    return true;
}

}  // namespace qdx::app
