#pragma once
// The native command line: the same job as the Windows program given files
// on its command line, without a window.
#include <cstdint>
#include <string>
#include <vector>

namespace qdx::cli {

enum class Action { Convert, Help, Version, UsageError };

struct ParsedCommandLine {
    Action action = Action::Convert;
    std::vector<std::string> paths;  // as typed
    uint32_t jobs = 0;               // --jobs N; 0: the number of processors
    std::string error;               // for UsageError
};

// Options: --help/-h, --version, --jobs/-j N (1 to 16), and "--" to end
// options; everything else starting with "-" (but "-" alone) is a usage error.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// Exit statuses.
inline constexpr int kExitConverted = 0;  // every pass wrote at least one file
inline constexpr int kExitNothing = 1;    // a pass wrote nothing, or a message was shown
inline constexpr int kExitUsage = 2;

int RunCommandLine(int argc, const char* const* argv);

}  // namespace qdx::cli
