#include "cli/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "batch/batch.h"
#include "cli/paths.h"
#include "cli/settings_keys.h"
#include "core/builtin_texts.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/os/utf_convert.h"
#include "core/text_ids.h"
#include "core/worker_pool.h"
#include "program_version.h"

namespace qdx::cli {

namespace {

constexpr char kVersion[] = QDX_VERSION_TEXT;

constexpr char kUsageStart[] =
    "Usage: quillodex [OPTION]... FILE...\n"
    "       quillodex --show-settings | --set KEY=VALUE...\n"
    "Convert image files (BMP, PNG, JPEG, GIF, TIFF, WebP, HEIC, AVIF) with the\n"
    "presets selected for the combined drop area, as the Windows program does with\n"
    "files given on its command line. Existing files are never overwritten. Folders\n"
    "are skipped unless the convertFolders setting or --recursive says to walk them.\n"
    "\n"
    "  -p, --preset N[,N...]  run presets N (1 to 4) instead of the combined\n"
    "                         selection; passes still run in order 1 to 4\n"
    "  -o, --output DIR       write every output into DIR for this run only (the\n"
    "                         presets' subfolders are still made inside it)\n"
    "      --show-settings    print every setting as 'key = value' and exit\n"
    "      --set KEY=VALUE    change a setting and save (repeatable); applied\n"
    "                         before --show-settings and before converting\n"
    "  -j, --jobs N           use N threads, 1 to 16 (default: the number of\n"
    "                         processors; 1 converts one file at a time)\n"
    "      --max-megapixels N convert pictures of up to N million pixels in this\n"
    "                         run (default 200; larger ones are refused from\n"
    "                         their headers)\n"
    "  -q, --quiet            print no progress (shown on standard error when it\n"
    "                         is a terminal)\n"
    "  -r, --recursive        walk every folder given, subfolders included, for\n"
    "                         this run, as convertFolders=1 does for every run\n"
    "                         (links, hidden and system files left out);\n"
    "                         outputs keep the tree: OUTPUT/FOLDER/SUB/NAME\n"
    "  -h, --help             show this help and exit\n"
    "      --version          show the version and exit\n"
    "\n"
    "Keys are presetN.FIELD (N 1 to 4) for a preset and the setting's name for\n"
    "the rest; --show-settings lists them all. Values as the dialogs store them:\n";
// Here the values each key takes (SettingsHelp), then:
constexpr char kUsageEnd[] =
    "A mode without the sizes it needs switches resizing off, and a file-size\n"
    "limit of 0 switches the limit off. An unknown key or a bad value changes\n"
    "nothing and exits with status 2.\n"
    "\n"
    "Every argument not converted is named on standard error after the batch;\n"
    "a folder given without --recursive is skipped and counts as not converted.\n"
    "\n"
    "Settings: Quillodex.ini beside the program when one exists there, otherwise\n"
    "$XDG_CONFIG_HOME/Quillodex/Quillodex.ini (default ~/.config/Quillodex).\n"
    "\n"
    "Exit status: 0 when every file given was converted by every pass (or settings\n"
    "were shown or changed), 1 when any file failed, was skipped (unsupported,\n"
    "damaged, missing, or a folder not walked) or a message was shown, 2 for a\n"
    "usage error.\n";

// ---- Options ----------------------------------------------------------------

// Returns false with parsed.error set when the value is unusable.
using ApplyOption = bool (*)(ParsedCommandLine& parsed, const char* value);

struct Option {
    const char* name;   // "--preset"
    const char* alias;  // "-p", or null
    bool takesValue;
    ApplyOption apply;
};

constexpr Option kOptions[] = {
    {"--help", "-h", false,
     [](ParsedCommandLine& parsed, const char*) {
         parsed.action = Action::Help;
         return true;
     }},
    {"--version", nullptr, false,
     [](ParsedCommandLine& parsed, const char*) {
         parsed.action = Action::Version;
         return true;
     }},
    {"--preset", "-p", true,
     [](ParsedCommandLine& parsed, const char* value) {
         // Repeated --preset options add up.
         uint8_t chosen[kPresetCount] = {};
         if (!ParsePresetNumbers(value, chosen)) {
             parsed.error = std::string("--preset: '") + value + "' is not a list of preset numbers 1 to 4";
             return false;
         }
         for (int i = 0; i < kPresetCount; ++i) parsed.presets[i] |= chosen[i];
         parsed.presetsChosen = true;
         return true;
     }},
    {"--output", "-o", true,
     [](ParsedCommandLine& parsed, const char* value) {
         if (!*value) {
             parsed.error = "--output: the folder is empty";
             return false;
         }
         parsed.outputFolder = value;
         return true;
     }},
    {"--show-settings", nullptr, false,
     [](ParsedCommandLine& parsed, const char*) {
         parsed.showSettings = true;
         return true;
     }},
    {"--jobs", "-j", true,
     [](ParsedCommandLine& parsed, const char* value) {
         char* end = nullptr;
         const unsigned long jobs = std::strtoul(value, &end, 10);
         if (!*value || *end || jobs < 1 || jobs > kMaxWorkerThreads) {
             parsed.error = std::string("--jobs takes a number from 1 to 16, not '") + value + "'";
             return false;
         }
         parsed.jobs = uint32_t(jobs);
         return true;
     }},
    {"--max-megapixels", nullptr, true,
     [](ParsedCommandLine& parsed, const char* value) {
         char* end = nullptr;
         const unsigned long megapixels = std::strtoul(value, &end, 10);
         if (!*value || *value == '-' || *end || megapixels < 1 || megapixels > kMaxMegapixelsOption) {
             parsed.error = std::string("--max-megapixels takes a number from 1 to ") +
                            std::to_string(kMaxMegapixelsOption) + ", not '" + value + "'";
             return false;
         }
         parsed.maxPixels = uint64_t(megapixels) * 1000 * 1000;
         return true;
     }},
    {"--quiet", "-q", false,
     [](ParsedCommandLine& parsed, const char*) {
         parsed.quiet = true;
         return true;
     }},
    {"--recursive", "-r", false,
     [](ParsedCommandLine& parsed, const char*) {
         parsed.recursive = true;
         return true;
     }},
    {"--set", nullptr, true,
     [](ParsedCommandLine& parsed, const char* value) {
         parsed.assignments.emplace_back(value);
         return true;
     }},
};

const Option* FindOption(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.name || (option.alias && name == option.alias)) return &option;
    return nullptr;
}

// ---- Running ----------------------------------------------------------------

// Messages go to standard error as "caption: text"; what became of each file
// is kept for the report after the batch.
class StandardErrorHost final : public BatchHost {
public:
    StandardErrorHost(size_t files, bool showProgress) : outcomes(files, 0), showProgress_(showProgress) {}

    void ShowErrorMessage(uint32_t textId) override { ShowErrorMessageNaming(textId, nullptr); }
    void ShowErrorMessageNaming(uint32_t textId, const char16_t* name) override {
        WideString text, caption;
        ErrorMessageTexts(textId, &BuiltInTexts(Language::English), text, caption, name);
        EndProgressLine();
        std::fprintf(stderr, "%s: %s\n", ToUtf8(caption.Text()).c_str(), ToUtf8(text.Text()).c_str());
        ++messagesShown;
    }
    void ShowPictureTooLarge(uint32_t width, uint32_t height) override {
        const TextSource* texts = &BuiltInTexts(Language::English);
        WideString text, caption;
        AppendText(caption, kTextErrorCaption, texts);
        PictureTooLargeText(texts, width, height, text);
        EndProgressLine();
        std::fprintf(stderr, "%s: %s\n", ToUtf8(caption.Text()).c_str(), ToUtf8(text.Text()).c_str());
        ++messagesShown;
    }
    void SetBusyTitle() override {}
    void RestoreTitle() override { EndProgressLine(); }
    void BatchStarts(uint32_t fileCount) override { total_ = fileCount; }
    void FileDone(uint32_t pathIndex, FileOutcome outcome) override {
        if (pathIndex < outcomes.size()) outcomes[pathIndex] |= uint8_t(1u << unsigned(outcome));
        ++done_;
        if (!showProgress_) return;
        // One line, rewritten in place for each file.
        std::fprintf(stderr, "\rquillodex: %u / %u", done_, total_);
        std::fflush(stderr);
        lineOpen_ = true;
    }
    bool Had(size_t pathIndex, FileOutcome outcome) const {
        return (outcomes[pathIndex] >> unsigned(outcome)) & 1u;
    }

    uint32_t messagesShown = 0;
    std::vector<uint8_t> outcomes;  // one bit per FileOutcome seen, per kept file

private:
    void EndProgressLine() {
        if (lineOpen_) std::fputc('\n', stderr);
        lineOpen_ = false;
    }
    bool showProgress_;
    bool lineOpen_ = false;
    uint32_t done_ = 0;
    uint32_t total_ = 0;
};

// Beside the binary when a settings file is there (a portable installation),
// else under the user's configuration folder, which is created when missing.
bool ChooseSettingsPath(WideString& path) {
    WideString beside;
    if (os::ExecutablePath(beside)) {
        KeepFolder(beside);
        WideString candidate;
        SetFolderPlusName(candidate, beside.Text(), u"Quillodex.ini");
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
        AppendPathComponent(base, u".config");
        if (!os::FolderExists(base.Text()) && !os::CreateFolder(base.Text())) return false;
    }
    WideString own;
    SetFolderPlusName(own, base.Text(), u"Quillodex");
    if (own.IsEmpty()) return false;
    if (!os::FolderExists(own.Text()) && !os::CreateFolder(own.Text())) return false;
    SetFolderPlusName(path, own.Text(), u"Quillodex.ini");
    return !path.IsEmpty();
}

WideString TypedFullPath(const WideString& current, const std::string& typed) {
    WideString wide;
    AppendUtf8(wide, typed.c_str());
    return FullPath(current, wide);
}

int UsageError(const std::string& error) {
    std::fprintf(stderr, "quillodex: %s\nTry 'quillodex --help' for more information.\n", error.c_str());
    return kExitUsage;
}

// What became of one argument, or null when it was converted by every pass
// that reached it.
const char* SkipReason(const StandardErrorHost& host, size_t keptIndex) {
    if (host.Had(keptIndex, FileOutcome::Damaged)) return "damaged or cut short, not converted";
    if (host.Had(keptIndex, FileOutcome::Unreadable)) return "not a supported image";
    if (host.Had(keptIndex, FileOutcome::NotWritten)) return "could not be written";
    if (host.Had(keptIndex, FileOutcome::TooLarge)) return "too large to convert";
    if (host.Had(keptIndex, FileOutcome::OutOfMemory)) return "too large for this machine's memory";
    if (host.Had(keptIndex, FileOutcome::Missing)) return "no such file";
    return nullptr;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || argument[1] == 0) {
            parsed.paths.emplace_back(argument);
            continue;
        }
        if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        const char* equals = std::strncmp(argument, "--", 2) == 0 ? std::strchr(argument, '=') : nullptr;
        const std::string name = equals ? std::string(argument, equals) : std::string(argument);
        const Option* option = FindOption(name);
        if (!option || (equals && !option->takesValue)) {
            parsed.action = Action::UsageError;
            parsed.error = "unknown option '" + std::string(argument) + "'";
            return parsed;
        }
        const char* value = equals ? equals + 1 : "";
        if (option->takesValue && !equals) {
            if (i + 1 >= argc) {
                parsed.action = Action::UsageError;
                parsed.error = name + ": a value is missing";
                return parsed;
            }
            value = argv[++i];
        }
        if (!option->apply(parsed, value)) {
            parsed.action = Action::UsageError;
            return parsed;
        }
        if (parsed.action == Action::Help || parsed.action == Action::Version) return parsed;
    }
    if (parsed.paths.empty() && !parsed.showSettings && parsed.assignments.empty()) {
        parsed.action = Action::UsageError;
        parsed.error = "no files given";
    }
    return parsed;
}

int RunCommandLine(int argc, const char* const* argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    switch (parsed.action) {
        case Action::Help:
            std::fputs((kUsageStart + SettingsHelp() + kUsageEnd).c_str(), stdout);
            return kExitConverted;
        case Action::Version: std::printf("quillodex %s\n", kVersion); return kExitConverted;
        case Action::UsageError: return UsageError(parsed.error);
        case Action::Convert: break;
    }
    os::CreatePrivateHeap();
    SetConversionThreads(parsed.jobs);
    SetCurrentTextSource(&BuiltInTexts(Language::English));
    WideString settingsPath;
    if (!ChooseSettingsPath(settingsPath)) {
        std::fprintf(stderr, "Error: Failed to execute file.\n");
        return kExitNothing;
    }
    Settings& settings = CurrentSettings();
    // --set reads, changes and writes the file under one lock, so that runs
    // changing settings side by side each keep the other's change.
    os::File lock;
    if (!parsed.assignments.empty()) {
        WideString lockPath(settingsPath);
        if (!lockPath.Append(u".lock") || !os::OpenLockFile(lockPath.Text(), lock)) {
            std::fprintf(stderr, "quillodex: the settings file %s could not be locked\n",
                         ToUtf8(settingsPath.Text()).c_str());
            return kExitNothing;
        }
    }
    LoadSettings(settingsPath.Text(), settings);
    // There are no language libraries here; the texts are the built-in English
    // ones and the name stays what start-up on Windows would have chosen.
    if (settings.languageName.IsEmpty()) settings.languageName.Assign(u"English");

    WideString current;
    os::CurrentDirectory(current);
    // Everything that can refuse the command line is checked before anything
    // is converted or saved.
    WideString outputFolder;
    if (!parsed.outputFolder.empty()) {
        outputFolder = TypedFullPath(current, parsed.outputFolder);
        if (!os::FolderExists(outputFolder.Text()))
            return UsageError("--output: " + parsed.outputFolder + ": no such folder");
    }
    int status = kExitConverted;
    if (!parsed.assignments.empty()) {
        const Settings before = settings;
        SettingChanges changes;
        if (!ApplySettingChanges(settings, parsed.assignments, current, changes))
            return UsageError("--set: " + changes.error);
        for (const std::string& note : changes.notes) std::fprintf(stderr, "quillodex: note: %s\n", note.c_str());
        // Only a change is written: a run never puts back what it read over
        // a change made meanwhile.
        if (!(settings == before) && !SaveSettings(settingsPath.Text(), settings)) {
            std::fprintf(stderr, "quillodex: the settings could not be saved to %s\n",
                         ToUtf8(settingsPath.Text()).c_str());
            status = kExitNothing;
        }
        lock.Close();
    }
    if (parsed.showSettings) std::fputs(ShowSettings(settings).c_str(), stdout);

    if (!parsed.paths.empty()) {
        // Keep, in order, every argument that names an existing file, and
        // the files below the folders when they are walked.
        std::vector<WideString> items;
        for (const std::string& path : parsed.paths) items.push_back(TypedFullPath(current, path));
        // --recursive walks folders for this run whatever the settings say.
        const bool walk = parsed.recursive || settings.convertFolders != 0;
        DroppedFiles kept;
        if (!CollectDroppedFiles(items.data(), uint32_t(items.size()), walk, kept)) {
            std::fprintf(stderr, "quillodex: out of memory listing the folders\n");
            return kExitNothing;
        }
        // --output sends every pass to one folder without touching the
        // settings that are saved.
        Settings run = settings;
        if (!outputFolder.IsEmpty())
            for (Preset& preset : run.presets) preset.outputFolder = outputFolder;
        const uint8_t* selection = parsed.presetsChosen ? parsed.presets : settings.multiDropSelection;
        bool anyPass = false;
        for (int i = 0; i < kPresetCount; ++i) anyPass |= selection[i] != 0;
        if (!anyPass) std::fprintf(stderr, "quillodex: no preset is selected; give --preset N\n");
        StandardErrorHost host(kept.paths.size(), !parsed.quiet && os::StandardErrorIsTerminal());
        uint32_t written = 0;
        if (!kept.paths.empty())
            written = RunConversion(host, kept, items[kept.items[0]], selection, run, BuiltInCodecSteps(),
                                    parsed.maxPixels);

        // Each argument, or each file found below it, once.
        size_t next = 0;
        for (size_t i = 0; i < parsed.paths.size(); ++i) {
            // A folder given and not walked counts as skipped.
            bool skipped = false;
            if (kept.itemWasFolder[i] && !walk) {
                std::fprintf(stderr, "quillodex: %s: is a folder, skipped\n", parsed.paths[i].c_str());
                skipped = true;
            } else if (!kept.itemWasFolder[i] && (next == kept.items.size() || kept.items[next] != i)) {
                std::fprintf(stderr, "quillodex: %s: no such file\n", parsed.paths[i].c_str());
                skipped = true;
            }
            for (; next < kept.items.size() && kept.items[next] == i; ++next) {
                const char* reason = SkipReason(host, next);
                if (!reason) continue;
                // A walked file is named as typed plus its place below the folder.
                const std::string below = ToUtf8(kept.paths[next].Text() + items[i].Length());
                std::fprintf(stderr, "quillodex: %s%s: %s\n", parsed.paths[i].c_str(), below.c_str(), reason);
                skipped = true;
            }
            if (skipped) status = kExitNothing;
        }
        if (!anyPass || host.messagesShown > 0 || written == 0) status = kExitNothing;
    }
    SetCurrentTextSource(nullptr);
    return status;
}

}  // namespace qdx::cli
