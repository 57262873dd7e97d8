#pragma once
// Every setting of the settings file by a readable key, for --show-settings
// and --set. Preset fields are "presetN.field" with N from 1 to 4 (the number
// on the drop target), globals are the field's own name ("globalOutputFolder").
//
// Values read as the dialogs store them: numbers the dialogs hold to a range
// are held to it, a list value must be one the list offers, and after all
// changes the presets and globals that were touched pass through the same
// rules as on the dialogs' OK (resize validity, file-size limit, missing
// folders emptied).
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace qdx::cli {

// "2,4" and the like: preset numbers 1 to 4 separated by commas (each may
// repeat). False, and `selection` untouched, for anything else.
bool ParsePresetNumbers(std::string_view text, uint8_t selection[kPresetCount]);

// The --help lines on the values the keys take.
std::string SettingsHelp();

// "key = value" lines for every setting: presets 1 to 4, then the globals.
std::string ShowSettings(const Settings& settings);

struct SettingChanges {
    std::vector<std::string> notes;  // "KEY = VALUE (why)" for every value adjusted on the way
    std::string error;               // "KEY: reason" when the changes were refused
};

// Applies "KEY=VALUE" assignments in order, then the dialogs' rules. A
// relative folder is taken from `currentFolder`. On an unknown key or a bad
// value nothing at all changes and false is returned with the reason.
bool ApplySettingChanges(Settings& settings, const std::vector<std::string>& assignments,
                         const WideString& currentFolder, SettingChanges& result);

}  // namespace qdx::cli
