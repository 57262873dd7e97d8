#pragma once
// Bridge to external image-reader plug-ins (Windows only; none natively).
namespace qdx {

struct PluginReaderSet {
    bool loaded = false;
};

}  // namespace qdx
