#pragma once
// A settings record for round trips through the settings file.
#include "core/settings.h"

namespace qdx::test {

// Every field away from its default, with values the reading rules keep as
// they are. The plug-in folder is a fixed text, so the excluded names (whose
// files are not there) are not written.
inline Settings CustomisedSettings() {
    Settings s;
    s.languageName.Assign(u"Japanese");
    s.fontFace.Assign(u"MS UI Gothic");
    s.fontHeight = -16;
    s.fontWeight = 700;
    s.largeDialogFont = 1;
    s.windowLeft = -20;
    s.windowTop = 3000;
    s.clientWidth = 900;
    s.clientHeight = 700;
    s.globalOutputFolder.Assign(u"C:\\out");
    s.pluginFolder.Assign(u"C:\\no such plug-ins");
    s.excludedPlugins.emplace_back(u"ifjpeg.spi");
    s.useOwnBackground = 1;
    s.backgroundColour = 0x00ABCDEF;
    s.alwaysOnTop = 1;
    s.showTooltips = 0;
    for (uint32_t i = 0; i < 16; ++i) s.customColours[i] = 0x111111u * i;
    s.optionsPage = 2;
    s.colourProfiles = kColourProfilesAsStored;
    s.keepMetadata = kKeepAllButLocation;
    s.convertFolders = 1;
    for (int i = 0; i < kPresetCount; ++i) {
        Preset& p = s.presets[i];
        p.outputFormat = uint32_t(4 - i);
        p.keepTransparency = uint8_t(i != 3);
        p.jpegQuality = uint32_t(10 + i);
        p.jpegSubsampling = i == 0 ? 0 : 2;
        p.limitFileSize = uint8_t(i != 0);
        p.maxFileSizeKiB = uint32_t(500 + i);
        p.resizeMode = uint32_t(i + 1);
        p.resampleFilter = FilterHalftone;
        p.targetWidth = 1000 + i;
        p.targetHeight = 2000 + i;
        p.keepAspect = uint8_t(i != 0);
        p.sharpness = uint32_t(1 + i % 3);
        p.suffix.Assign(u"_s");
        p.suffix.AppendDecimal(i);
        p.subfolder.Assign(u"sub\u5199");
        p.outputFolder.Assign(i == 1 ? u"E:\\other" : u"D:\\presets");
        p.targetDisabled = 1;
        p.webpLossless = 1;
        s.multiDropSelection[i] = uint8_t(i % 2);
    }
    return s;
}

}  // namespace qdx::test
