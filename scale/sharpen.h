#pragma once
// Post-resize sharpening state kept for a whole batch.
namespace qdx {

struct SharpenState {
    bool tablesBuilt = false;
};

}  // namespace qdx
