#include "codecs/read/plugin_readers.h"
#include "core/conversion_context.h"
#include "core/decode_input.h"

namespace qdx {

bool DecodePluginInput(ConversionContext& context, const WideString& path) {
    const Settings& settings = context.settings ? *context.settings : CurrentSettings();
    PluginBridge& bridge = context.plugins->bridge;
    bridge.folder = &settings.pluginFolder;
    bridge.excluded = &settings.excludedPlugins;
    return ReadWithPlugins(bridge, path, &context.image) != nullptr;
}

}  // namespace qdx
