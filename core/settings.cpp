#include "core/settings.h"

namespace qdx {

Settings& CurrentSettings() {
    static Settings settings;
    return settings;
}

}  // namespace qdx
