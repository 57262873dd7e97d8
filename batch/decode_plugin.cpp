#include "batch/conversion_context.h"
#include "batch/decode_input.h"
#include "codecs/read/plugin_readers.h"

namespace qdx {

bool DecodePluginInput(ConversionContext& context, const WideString& path) {
    const Settings& settings = *context.settings;
    PluginBridge& bridge = context.plugins->bridge;
    bridge.folder = &settings.pluginFolder;
    bridge.excluded = &settings.excludedPlugins;
    return ReadWithPlugins(bridge, path, &context.image) != nullptr;
}

}  // namespace qdx
