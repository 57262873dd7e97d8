#include "cli/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "batch/batch.h"
#include "core/builtin_texts.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/utf_convert.h"
#include "program_version.h"

namespace qdx::cli {

namespace {

constexpr char kVersion[] = QDX_VERSION_TEXT;

constexpr char kUsage[] =
    "Usage: quillodex [OPTION]... FILE...\n"
    "Convert image files (BMP, PNG, JPEG, GIF, TIFF) with the presets selected for\n"
    "the combined drop area, as the Windows program does with files given on its\n"
    "command line. Existing files are never overwritten; folders are skipped.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Settings: Quillodex.ini beside the program when one exists there, otherwise\n"
    "$XDG_CONFIG_HOME/Quillodex/Quillodex.ini (default ~/.config/Quillodex).\n"
    "\n"
    "Exit status: 0 when every pass converted at least one file, 1 when a pass\n"
    "converted nothing or a message was shown, 2 for a usage error.\n";

// Messages go to standard error as "caption: text".
class StandardErrorHost final : public BatchHost {
public:
    void ShowErrorMessage(uint32_t textId) override {
        WideString text, caption;
        ErrorMessageTexts(textId, &BuiltInTexts(Language::English), text, caption);
        std::fprintf(stderr, "%s: %s\n", ToUtf8(caption.Text()).c_str(), ToUtf8(text.Text()).c_str());
        ++messagesShown;
    }
    void SetBusyTitle() override {}
    void RestoreTitle() override {}

    uint32_t messagesShown = 0;
};

// Beside the binary when a settings file is there (a portable installation),
// else under the user's configuration folder, which is created when missing.
bool ChooseSettingsPath(WideString& path) {
    WideString beside;
    if (os::ExecutablePath(beside)) {
        beside.EditPath(3);
        WideString candidate;
        candidate.SetFolderPlusName(beside.Text(), u"Quillodex.ini");
        if (os::FileExists(candidate.Text())) {
            path = candidate;
            return true;
        }
    }
    WideString base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        AppendUtf8(base, config);
        if (!os::FolderExists(base.Text()) && !os::CreateFolder(base.Text())) return false;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return false;
        AppendUtf8(base, home);
        base.AppendPathComponent(u".config");
        if (!os::FolderExists(base.Text()) && !os::CreateFolder(base.Text())) return false;
    }
    WideString own;
    own.SetFolderPlusName(base.Text(), u"Quillodex");
    if (own.IsEmpty()) return false;
    if (!os::FolderExists(own.Text()) && !os::CreateFolder(own.Text())) return false;
    path.SetFolderPlusName(own.Text(), u"Quillodex.ini");
    return !path.IsEmpty();
}

// A path typed relative to the current directory becomes a full one.
WideString FullPath(const std::string& typed) {
    WideString full;
    if (!typed.empty() && typed[0] == '/') {
        AppendUtf8(full, typed.c_str());
        return full;
    }
    WideString current;
    os::CurrentDirectory(current);
    WideString name;
    AppendUtf8(name, typed.c_str());
    full.SetFolderPlusName(current.Text(), name.Text());
    return full;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnded && argument[0] == '-' && argument[1] != 0) {
            if (std::strcmp(argument, "--") == 0) {
                optionsEnded = true;
            } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
                parsed.action = Action::Help;
                return parsed;
            } else if (std::strcmp(argument, "--version") == 0) {
                parsed.action = Action::Version;
                return parsed;
            } else {
                parsed.action = Action::UsageError;
                parsed.error = std::string("unknown option '") + argument + "'";
                return parsed;
            }
            continue;
        }
        parsed.paths.emplace_back(argument);
    }
    if (parsed.paths.empty()) {
        parsed.action = Action::UsageError;
        parsed.error = "no files given";
    }
    return parsed;
}

int RunCommandLine(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    switch (parsed.action) {
        case Action::Help: std::fputs(kUsage, stdout); return kExitConverted;
        case Action::Version: std::printf("quillodex %s\n", kVersion); return kExitConverted;
        case Action::UsageError:
            std::fprintf(stderr, "quillodex: %s\nTry 'quillodex --help' for more information.\n", parsed.error.c_str());
            return kExitUsage;
        case Action::Convert: break;
    }
    os::CreatePrivateHeap();
    SetCurrentTextSource(&BuiltInTexts(Language::English));
    WideString settingsPath;
    if (!ChooseSettingsPath(settingsPath)) {
        std::fprintf(stderr, "Error: Failed to execute file.\n");
        return kExitNothing;
    }
    Settings& settings = CurrentSettings();
    LoadSettings(settingsPath.Text(), settings);
    // There are no language libraries here; the texts are the built-in English
    // ones and the name stays what start-up on Windows would have chosen.
    if (settings.languageName.IsEmpty()) settings.languageName.Assign(u"English");

    std::vector<WideString> kept;
    for (const std::string& typed : parsed.paths) {
        WideString full = FullPath(typed);
        if (os::FileExists(full.Text())) kept.push_back(std::move(full));
    }
    StandardErrorHost host;
    uint32_t written = 0;
    if (!kept.empty()) written = RunConversion(host, uint32_t(kept.size()), kept.data(), settings.multiDropSelection);
    SaveSettings(settingsPath.Text(), settings);
    SetCurrentTextSource(nullptr);
    if (host.messagesShown > 0 || written == 0) return kExitNothing;
    return kExitConverted;
}

}  // namespace qdx::cli
