#pragma once
// The texts a drop target shows: its title and the five summary lines of its
// preset, built from language strings without any window.
#include <cstdint>

#include "core/settings.h"
#include "core/text_source.h"
#include "core/os/wide_string.h"

namespace qdx::app {

struct DropSummary {
    WideString format;        // line 1: the format name...
    WideString formatDetail;  // ...and, 16 pixels further right, its options
    WideString resize;        // line 2
    WideString suffix;        // line 3
    WideString folder;        // line 4
    WideString subfolder;     // line 5
};

// The summary of `preset`; `globalOutputFolder` stands in for a preset
// without a folder of its own.
DropSummary SummarizePreset(const Preset& preset, const WideString& globalOutputFolder, const TextSource* texts);

// kTextPreset, a blank and the target number (1 to 4).
WideString DropTargetTitle(int number, const TextSource* texts);
// kTextPreset, " 5 - " and kTextCombinedArea.
WideString CombinedAreaTitle(const TextSource* texts);

// The first component (up to the first backslash), "\...", then the last
// component (after the last backslash); a text without a backslash stands
// for both.
WideString ShortenFolder(const WideString& folder);

}  // namespace qdx::app
