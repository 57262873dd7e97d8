#include "core/settings.h"

#include <cstring>

namespace qdx {

Preset DefaultPreset(int index) {
    Preset preset;
    switch (index) {
        case 0:
            preset.outputFormat = kOutputJpeg;
            preset.jpegQuality = 90;
            preset.jpegSubsampling = kChromaFullResolution;
            preset.limitFileSize = 1;
            preset.maxFileSizeKiB = 100;
            preset.resizeMode = ResizeToBox;
            preset.targetWidth = 800;
            preset.targetHeight = 600;
            preset.keepAspect = 1;
            preset.resampleFilter = FilterBicubic;
            preset.suffix.Assign(u"_800x600");
            preset.subfolder.Assign(u"Output");
            break;
        case 1:
            preset.outputFormat = kOutputJpeg;
            preset.resizeMode = ResizeToWidth;
            preset.targetWidth = 400;
            preset.resampleFilter = FilterAreaAverage;
            break;
        case 2:
            preset.outputFormat = kOutputPng;
            preset.resizeMode = ResizeToHeight;
            preset.targetWidth = 300;
            preset.resampleFilter = FilterBicubic;
            break;
        case 3:
            preset.outputFormat = kOutputGif;
            preset.keepTransparency = 1;
            preset.resizeMode = ResizeLongerSide;
            preset.targetWidth = 200;
            preset.resampleFilter = FilterNearest;
            break;
        default:
            break;
    }
    return preset;
}

Settings::Settings() : presets{DefaultPreset(0), DefaultPreset(1), DefaultPreset(2), DefaultPreset(3)} {}

void ResetToDefaults(Settings& settings) { settings = Settings(); }

bool SameText(const WideString& a, const WideString& b) {
    return a.Length() == b.Length() &&
           (a.Length() == 0 || std::memcmp(a.Buffer(), b.Buffer(), size_t(a.Length()) * 2) == 0);
}

bool operator==(const Preset& a, const Preset& b) {
    return a.outputFormat == b.outputFormat && a.keepTransparency == b.keepTransparency &&
           a.jpegQuality == b.jpegQuality && a.jpegSubsampling == b.jpegSubsampling &&
           a.limitFileSize == b.limitFileSize && a.maxFileSizeKiB == b.maxFileSizeKiB &&
           a.resizeMode == b.resizeMode && a.resampleFilter == b.resampleFilter &&
           a.targetWidth == b.targetWidth && a.targetHeight == b.targetHeight && a.keepAspect == b.keepAspect &&
           a.sharpness == b.sharpness && SameText(a.suffix, b.suffix) && SameText(a.subfolder, b.subfolder) &&
           SameText(a.outputFolder, b.outputFolder) && a.targetDisabled == b.targetDisabled;
}

bool operator==(const Settings& a, const Settings& b) {
    for (int i = 0; i < kPresetCount; ++i)
        if (!(a.presets[i] == b.presets[i]) || a.multiDropSelection[i] != b.multiDropSelection[i]) return false;
    if (a.excludedPlugins.size() != b.excludedPlugins.size()) return false;
    for (size_t i = 0; i < a.excludedPlugins.size(); ++i)
        if (!SameText(a.excludedPlugins[i], b.excludedPlugins[i])) return false;
    return SameText(a.languageName, b.languageName) && SameText(a.fontFace, b.fontFace) &&
           a.fontHeight == b.fontHeight && a.fontWeight == b.fontWeight && a.largeDialogFont == b.largeDialogFont &&
           a.windowLeft == b.windowLeft && a.windowTop == b.windowTop && a.clientWidth == b.clientWidth &&
           a.clientHeight == b.clientHeight && SameText(a.globalOutputFolder, b.globalOutputFolder) &&
           SameText(a.pluginFolder, b.pluginFolder) && a.useOwnBackground == b.useOwnBackground &&
           a.backgroundColour == b.backgroundColour && a.alwaysOnTop == b.alwaysOnTop &&
           a.showTooltips == b.showTooltips &&
           std::memcmp(a.customColours, b.customColours, sizeof a.customColours) == 0 &&
           a.optionsPage == b.optionsPage;
}

Settings& CurrentSettings() {
    static Settings settings;
    return settings;
}

}  // namespace qdx
