#pragma once
// The native command line: the same job as the Windows program given files
// on its command line, without a window, plus choosing presets and seeing and
// changing the settings.
#include <cstdint>
#include <string>
#include <vector>

#include "core/pixel_budget.h"
#include "core/settings.h"

namespace qdx::cli {

enum class Action { Convert, Help, Version, UsageError };

struct ParsedCommandLine {
    Action action = Action::Convert;
    std::vector<std::string> paths;  // as typed
    uint32_t jobs = 0;               // --jobs N; 0: the number of processors
    std::string error;               // for UsageError
    bool presetsChosen = false;      // --preset: these instead of the combined selection
    uint8_t presets[kPresetCount] = {};
    std::vector<std::string> assignments;  // --set KEY=VALUE, in order
    bool showSettings = false;             // --show-settings
    std::string outputFolder;              // --output DIR, this run only
    bool quiet = false;                    // --quiet: no progress on standard error
    bool recursive = false;                // --recursive: walk folders this run
    uint64_t maxPixels = kDefaultMaxPixels;  // --max-megapixels N, this run only
};

// The largest --max-megapixels: 100 gigapixels, far beyond any memory.
inline constexpr unsigned long kMaxMegapixelsOption = 100000;

// Options (see the help text): --help/-h, --version, --preset N[,N...],
// --set KEY=VALUE, --show-settings, --output DIR, --jobs/-j N (1 to 16),
// --max-megapixels N, --quiet/-q, --recursive/-r, and "--" to end options.
// An option's value follows as the next argument or after "=". Everything
// else starting with "-" (but "-" alone) is a usage error.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// Exit statuses.
inline constexpr int kExitConverted = 0;  // every file given was converted by every pass
inline constexpr int kExitNothing = 1;    // a file failed or was skipped, or a message was shown
inline constexpr int kExitUsage = 2;

int RunCommandLine(int argc, const char* const* argv);

}  // namespace qdx::cli
