#pragma once
// The display's resolution as the system reports it for a window or a
// monitor, and the system sizes at a given resolution. The newer per-monitor
// functions are looked up when first needed; on systems without them the
// system-wide resolution stands in.
#include <windows.h>

#include "app/common/dpi_scale.h"

namespace qdx::app {

// The resolution of the whole system (of the primary monitor).
int SystemDpi();
// The resolution of the monitor `window` is on (its own when it is aware of
// monitors, else the system's).
int WindowDpi(HWND window);
// The resolution of the monitor nearest to `area`.
int DpiOfArea(const RECT& area);
// GetSystemMetrics(`index`) as it is at `dpi`.
int SystemMetricForDpi(int index, int dpi);
// AdjustWindowRectEx at `dpi`.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD extendedStyle, int dpi);

}  // namespace qdx::app
