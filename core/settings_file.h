#pragma once
// Reading and writing the settings file.
//
// Start-up reads the file in stages around loading the language library:
//
//   SettingsReader reader;
//   OpenSettings(reader, path);             // the file stays open from here
//   LoadLanguageName(reader, settings);     // entry 0, before the library loads
//   ... load the language library ...
//   LoadSettings(reader, settings);         // presets and the other globals
//   LoadWindowGeometry(reader, settings);   // when the main window is made
//   CloseSettings(reader);                  // or let the reader go out of scope
//
// A missing, empty or damaged file is never an error: whatever cannot be read
// takes the program's defaults (see core/settings.h).
#include <cstdint>

#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_format.h"

namespace qdx {

struct SettingsReader {
    os::File file;
    bool headerRead = false;  // the 4-byte header was there
    bool tableRead = false;   // false: every entry is absent
    uint32_t version = 0;     // the header's high 16 bits
    uint32_t count = 0;       // table entries, at most settings_file::kEntryCount
    uint64_t dataSize = 0;    // bytes after the table
    uint32_t table[settings_file::kEntryCount][2] = {};
};

// Opens the file and reads its header and table. Never fails: a file that
// cannot be opened or read leaves every entry absent.
void OpenSettings(SettingsReader& reader, const char16_t* path);
void CloseSettings(SettingsReader& reader);

void LoadLanguageName(SettingsReader& reader, Settings& settings);
// Everything but the language name and the window geometry.
void LoadSettings(SettingsReader& reader, Settings& settings);
void LoadWindowGeometry(SettingsReader& reader, Settings& settings);

// All stages at once (the command line and tests).
void LoadSettings(const char16_t* path, Settings& settings);

// The main window's normal position and client size, as saved.
struct WindowGeometry {
    int32_t left = 0;
    int32_t top = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
};

// Rewrites the file from `settings`. With no geometry, the window position and
// size loaded into `settings` are written back. The new contents go to a file
// beside the old one, which is then replaced in one step, so the old file
// stays whole when anything fails. Returns false when nothing was saved.
bool SaveSettings(const char16_t* path, const Settings& settings, const WindowGeometry* geometry = nullptr);

// The name of the file that receives the new contents before it replaces
// `path` (the path with ".new" appended).
bool SettingsReplacementPath(const char16_t* path, WideString& replacement);

}  // namespace qdx
