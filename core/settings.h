#pragma once
// The four presets and the global settings: process-wide records owned by the
// conversion core, loaded once at start-up, edited in place by the dialogs and
// saved once at the end.
//
// A default-constructed Settings holds the values the program starts with
// when its settings file is missing; the settings file reader falls back to
// these same values for entries the file does not have. Those defaults, the
// rules and the file entries of every field are in core/settings_fields.h.
#include <cstdint>
#include <vector>

#include "core/preset_codes.h"
#include "core/os/wide_string.h"

namespace qdx {

inline constexpr int kPresetCount = 4;

// A Preset{} is a blank preset (JPEG at quality 75, nothing else set);
// DefaultPreset gives the defaults of each position.
struct Preset {
    uint32_t outputFormat = kOutputJpeg;
    uint8_t keepTransparency = 0;
    uint32_t jpegQuality = 75;
    int32_t jpegSubsampling = kChromaHalved;
    uint8_t limitFileSize = 0;
    uint32_t maxFileSizeKiB = 0;
    uint32_t resizeMode = ResizeNone;
    uint32_t resampleFilter = FilterAreaAverage;
    int32_t targetWidth = 0;
    int32_t targetHeight = 0;
    uint8_t keepAspect = 0;
    uint32_t sharpness = 0;  // 0 to 3
    WideString suffix;
    WideString subfolder;
    WideString outputFolder;
    uint8_t targetDisabled = 0;
    uint8_t webpLossless = 0;  // WebP outputs lossless (palette pictures always are)
};

// The preset the program starts with at position `index` (0 to 3).
Preset DefaultPreset(int index);

struct Settings {
    Settings();

    Preset presets[kPresetCount];
    WideString languageName;  // empty: chosen at start-up from the user's language
    WideString fontFace;      // empty: the system's menu font, filled in when loading
    int32_t fontHeight = 0;
    int32_t fontWeight = 0;
    uint8_t largeDialogFont = 0;
    int32_t windowLeft = 0;
    int32_t windowTop = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    WideString globalOutputFolder;
    WideString pluginFolder;
    std::vector<WideString> excludedPlugins;
    uint8_t useOwnBackground = 0;
    uint32_t backgroundColour = 0;  // red in the low byte
    uint8_t alwaysOnTop = 0;
    uint8_t showTooltips = 0;
    uint32_t customColours[16] = {};
    uint32_t optionsPage = 0;
    uint8_t multiDropSelection[kPresetCount] = {};
    uint32_t colourProfiles = 0;  // kColourProfiles... codes
    uint32_t keepMetadata = 0;    // kKeep... codes
    uint8_t convertFolders = 0;   // dropped folders are walked, subfolders included
};

// Puts every field back to the values of a default-constructed Settings.
void ResetToDefaults(Settings& settings);

// Field-by-field equality over every field of the tables; texts compare by
// length and code units.
bool SameText(const WideString& a, const WideString& b);
bool operator==(const Preset& a, const Preset& b);
bool operator==(const Settings& a, const Settings& b);

// The process-wide settings.
Settings& CurrentSettings();

}  // namespace qdx
