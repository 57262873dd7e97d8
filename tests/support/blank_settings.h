#pragma once
// Settings whose presets write BMP and carry no suffix, subfolder or folder
// and no resize, so a test states exactly what it relies on.
#include "core/settings.h"

namespace qdx::test {

inline void ClearPresets(Settings& settings) {
    for (Preset& preset : settings.presets) {
        preset = Preset{};
        preset.outputFormat = 0;
    }
}

}  // namespace qdx::test

namespace qdx::test {

inline Settings BlankSettings() {
    Settings settings;
    ClearPresets(settings);
    return settings;
}

}  // namespace qdx::test
