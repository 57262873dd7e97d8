#pragma once
// The plug-in reader set a conversion context holds: one bridge for the batch.
#include "codecs/read/plugin_bridge.h"

namespace qdx {

struct PluginReaderSet {
    PluginBridge bridge;
};

}  // namespace qdx
