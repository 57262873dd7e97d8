// Runs the native quillodex binary as a user would from a shell.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include <atomic>
#include <set>

#include "cli/command_line.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/os/utf_convert.h"
#include "program_version.h"
#include "scale/resize_modes.h"
#include "tests/support/sample_images.h"
#include "tests/support/settings_bytes.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

std::string Quote(const std::string& text) { return "'" + text + "'"; }

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = test::Narrow(folder_.Path());
        inputs_ = root_ + "/inputs";
        config_ = root_ + "/config";
        std::filesystem::create_directories(inputs_);
        std::filesystem::create_directories(config_);
    }

    std::string SettingsPath() const { return config_ + "/Quillodex/Quillodex.ini"; }

    // Presets 0 and 1 write `format` (BMP unless told) at the decoded size;
    // the first `selected` of them are selected.
    void WriteSettings(const std::string& path, uint32_t format = kOutputBmp, int selected = 2) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        Settings settings;
        for (int i = 0; i < 4; ++i) {
            settings.presets[i].outputFormat = format;
            settings.presets[i].resizeMode = ResizeNone;
            settings.presets[i].limitFileSize = 0;
            settings.presets[i].subfolder.Assign(u"");
            settings.multiDropSelection[i] = i < selected;
        }
        settings.presets[0].suffix.Assign(u"_first");
        settings.presets[1].suffix.Assign(u"_second");
        WideString wide;
        AppendUtf8(wide, path.c_str());
        ASSERT_TRUE(SaveSettings(wide.Text(), settings));
    }

    void WriteInput(const std::string& name, int width, int height) {
        WideString wide;
        AppendUtf8(wide, (inputs_ + "/" + name).c_str());
        ASSERT_TRUE(test::WriteBytes(wide, test::MakeBmp24(width, height, uint32_t(name.size()))));
    }

    bool Exists(const std::string& name) const { return std::filesystem::exists(inputs_ + "/" + name); }

    Settings Load(const std::string& path) const {
        Settings settings;
        WideString wide;
        AppendUtf8(wide, path.c_str());
        LoadSettings(wide.Text(), settings);
        return settings;
    }
    std::string FileBytes(const std::string& path) const {
        WideString wide;
        AppendUtf8(wide, path.c_str());
        return test::ReadBytes(wide);
    }

    // The "key = value" lines of --show-settings.
    std::map<std::string, std::string> ShownSettings() {
        EXPECT_EQ(Run("--show-settings", root_), 0) << Output("stderr");
        std::map<std::string, std::string> values;
        std::istringstream lines(Output("stdout"));
        for (std::string line; std::getline(lines, line);) {
            const size_t equals = line.find(" =");
            if (equals == std::string::npos) continue;
            values[line.substr(0, equals)] = line.size() > equals + 3 ? line.substr(equals + 3) : "";
        }
        return values;
    }

    int Run(const std::string& arguments, const std::string& directory, const std::string& binary = QDX_CLI_PATH) {
        const std::string command = "cd " + Quote(directory) + " && XDG_CONFIG_HOME=" + Quote(config_) +
                                    " HOME=" + Quote(root_) + " " + Quote(binary) + " " + arguments + " >" +
                                    Quote(root_ + "/stdout") + " 2>" + Quote(root_ + "/stderr");
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Output(const char* which) const {
        WideString wide;
        AppendUtf8(wide, (root_ + "/" + which).c_str());
        return test::ReadBytes(wide);
    }

    test::TempFolder folder_;
    std::string root_, inputs_, config_;
};

TEST_F(CommandLineTest, ConvertsEveryFileWithEverySelectedPreset) {
    WriteSettings(SettingsPath());
    WriteInput("one.bmp", 5, 3);
    WriteInput("写真 two.bmp", 2, 2);
    EXPECT_EQ(Run(Quote(inputs_ + "/one.bmp") + " " + Quote(inputs_ + "/写真 two.bmp"), root_), 0) << Output("stderr");
    for (const char* name : {"one_first.bmp", "one_second.bmp", "写真 two_first.bmp", "写真 two_second.bmp"})
        EXPECT_TRUE(Exists(name)) << name;
    // Running again never overwrites: the next free names are taken.
    EXPECT_EQ(Run(Quote(inputs_ + "/one.bmp"), root_), 0);
    EXPECT_TRUE(Exists("one_first+1.bmp"));
    EXPECT_TRUE(Exists("one_second+1.bmp"));
}

TEST_F(CommandLineTest, ProgressGoesToATerminalOnlyAndQuietSilencesIt) {
    WriteSettings(SettingsPath());
    WriteInput("one.bmp", 2, 2);
    WriteInput("two.bmp", 3, 2);
    const std::string files = Quote(inputs_ + "/one.bmp") + " " + Quote(inputs_ + "/two.bmp");
    // script(1) gives the program a terminal; what it wrote there lands in `tty`.
    auto onTerminal = [&](const std::string& options) {
        std::ofstream(root_ + "/run.sh") << "XDG_CONFIG_HOME=" << Quote(config_) << " HOME=" << Quote(root_) << " "
                                         << Quote(QDX_CLI_PATH) << " " << options << files << "\n";
        const std::string command = "script -qec " + Quote("sh " + root_ + "/run.sh") + " /dev/null >" +
                                    Quote(root_ + "/tty") + " 2>&1 </dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return Output("tty");
    };
    const std::string shown = onTerminal("");
    EXPECT_NE(shown.find("1 / 4"), std::string::npos) << shown;
    EXPECT_NE(shown.find("4 / 4"), std::string::npos) << shown;
    EXPECT_EQ(onTerminal("--quiet ").find("/ 4"), std::string::npos);
    EXPECT_EQ(Run(files, root_), 0);
    EXPECT_EQ(Output("stderr"), "");  // not a terminal: nothing
}

TEST_F(CommandLineTest, RelativeNamesAreFoundInTheCurrentFolder) {
    WriteSettings(SettingsPath());
    WriteInput("photo.bmp", 4, 4);
    EXPECT_EQ(Run("photo.bmp", inputs_), 0) << Output("stderr");
    EXPECT_TRUE(Exists("photo_first.bmp"));
}

TEST_F(CommandLineTest, FoldersMissingFilesAndPipesConvertNothing) {
    WriteSettings(SettingsPath());
    WriteInput("keep.bmp", 2, 2);
    // A named pipe with no writer must not hold the program waiting.
    ASSERT_EQ(::mkfifo((inputs_ + "/pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(Run(Quote(inputs_) + " " + Quote(inputs_ + "/missing.bmp") + " " + Quote(inputs_ + "/pipe.bmp"), root_),
              cli::kExitNothing);
    EXPECT_FALSE(Exists("keep_first.bmp"));
}

TEST_F(CommandLineTest, APassThatWritesNothingSaysSoOnStandardError) {
    WriteSettings(SettingsPath());
    WideString wide;
    AppendUtf8(wide, (inputs_ + "/broken.bmp").c_str());
    ASSERT_TRUE(test::WriteBytes(wide, std::string("BM not really an image")));
    EXPECT_EQ(Run(Quote(inputs_ + "/broken.bmp"), root_), cli::kExitNothing);
    const std::string errors = Output("stderr");
    EXPECT_NE(errors.find(": "), std::string::npos) << errors;
    EXPECT_GE(errors.size(), 10u) << errors;
}

// A conversion or a --set that changes nothing leaves the file alone, so a
// run never puts back what it read over a change made meanwhile.
TEST_F(CommandLineTest, TheSettingsFileIsWrittenOnlyForAChange) {
    WriteInput("a.bmp", 2, 2);
    Run(Quote(inputs_ + "/a.bmp"), root_);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath())) << "a conversion saved the settings";
    EXPECT_EQ(Run("--set showTooltips=0", root_), 0) << Output("stderr");
    const Settings saved = Load(SettingsPath());
    EXPECT_EQ(std::u16string(saved.languageName.Text()), u"English");
    EXPECT_EQ(saved.showTooltips, 0);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(SettingsPath().c_str(), &before), 0);
    Run("--set showTooltips=off " + Quote(inputs_ + "/a.bmp"), root_);
    ASSERT_EQ(::stat(SettingsPath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced without a change";
}

// Runs changing settings side by side each keep the others' changes.
TEST_F(CommandLineTest, SettingsChangedSideBySideAreAllKept) {
    WriteSettings(SettingsPath());
    std::string command = "cd " + Quote(root_) + "; export XDG_CONFIG_HOME=" + Quote(config_) + " HOME=" + Quote(root_) + "; ";
    constexpr int kRuns = 8;
    for (int i = 0; i < kRuns; ++i)
        command += "(" + Quote(QDX_CLI_PATH) + " --set preset" + std::to_string(i % 4 + 1) +
                   (i < 4 ? ".jpegQuality=" : ".targetWidth=") + std::to_string(10 + i) + " 2>/dev/null) & ";
    command += "wait";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Settings saved = Load(SettingsPath());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(saved.presets[i].jpegQuality, uint32_t(10 + i)) << i;
        EXPECT_EQ(saved.presets[i].targetWidth, 14 + i) << i;
    }
}

TEST_F(CommandLineTest, ASettingsFileBesideTheProgramMakesItPortable) {
    const std::string install = root_ + "/install";
    std::filesystem::create_directories(install);
    std::filesystem::copy_file(QDX_CLI_PATH, install + "/quillodex");
    std::filesystem::permissions(install + "/quillodex", std::filesystem::perms::owner_all);
    WriteSettings(install + "/Quillodex.ini");
    WriteInput("p.bmp", 3, 3);
    EXPECT_EQ(Run(Quote(inputs_ + "/p.bmp"), root_, install + "/quillodex"), 0) << Output("stderr");
    EXPECT_TRUE(Exists("p_first.bmp"));
    EXPECT_FALSE(std::filesystem::exists(config_ + "/Quillodex")) << "a portable run touched the config folder";
}

TEST_F(CommandLineTest, HelpVersionAndUsageErrors) {
    EXPECT_EQ(Run("--help", root_), 0);
    for (const char* option : {"Usage: quillodex", "--preset", "--show-settings", "--set", "--output",
                               "presetN.webpLossless  1", "colourProfiles  1", "keepMetadata  Exif",
                               "convertFolders  1"})
        EXPECT_NE(Output("stdout").find(option), std::string::npos) << option;
    EXPECT_EQ(Run("--version", root_), 0);
    EXPECT_EQ(Output("stdout"), "quillodex " QDX_VERSION_TEXT "\n");
    EXPECT_EQ(Run("", root_), cli::kExitUsage);
    EXPECT_EQ(Run("--frobnicate x.bmp", root_), cli::kExitUsage);
    EXPECT_NE(Output("stderr").find("--frobnicate"), std::string::npos);
}

// Presets 2 and 4 share a suffix: the first pass to run takes the plain
// name, so the names show the order of the passes.
TEST_F(CommandLineTest, PresetOptionRunsOnlyThosePassesInPresetOrder) {
    WriteSettings(SettingsPath());
    ASSERT_EQ(Run("--set preset3.suffix=_third --set preset2.suffix=_x --set preset4.suffix=_x "
                  "--set preset2.resizeMode=1 --set preset2.targetWidth=2",
                  root_),
              0)
        << Output("stderr");
    WriteInput("a.bmp", 8, 4);
    EXPECT_EQ(Run("--preset 4,2 " + Quote(inputs_ + "/a.bmp"), root_), 0) << Output("stderr");
    EXPECT_FALSE(Exists("a_first.bmp"));
    EXPECT_FALSE(Exists("a_third.bmp"));
    const std::string first = FileBytes(inputs_ + "/a_x.bmp"), second = FileBytes(inputs_ + "/a_x+1.bmp");
    ASSERT_GE(first.size(), 26u);
    ASSERT_GE(second.size(), 26u);
    EXPECT_EQ(test::GetU32(first, 18), 2u) << "preset 2 ran first";
    EXPECT_EQ(test::GetU32(second, 18), 8u);
    EXPECT_FALSE(Exists("a_x+2.bmp"));

    EXPECT_EQ(Run("--preset 5 " + Quote(inputs_ + "/a.bmp"), root_), cli::kExitUsage);
    EXPECT_NE(Output("stderr").find("--preset"), std::string::npos);
}

TEST_F(CommandLineTest, SetAppliesTheDialogRulesAndShowSettingsShowsThem) {
    WriteSettings(SettingsPath());
    std::filesystem::create_directories(inputs_ + "/out");
    EXPECT_EQ(Run("--set preset3.jpegQuality=250 --set preset2.outputFormat=png --set preset1.targetWidth=1024 "
                  "--set preset1.resizeMode=5 --set preset1.targetHeight=0 "
                  "--set preset4.limitFileSize=1 --set preset4.maxFileSizeKiB=0 "
                  "--set preset2.outputFolder=nowhere --set globalOutputFolder=out",
                  inputs_),
              0)
        << Output("stderr");
    EXPECT_NE(Output("stderr").find("preset3.jpegQuality = 100"), std::string::npos) << Output("stderr");
    std::map<std::string, std::string> shown = ShownSettings();
    EXPECT_EQ(shown["preset3.jpegQuality"], "100");
    EXPECT_EQ(shown["preset2.outputFormat"], "png");
    EXPECT_EQ(shown["preset1.targetWidth"], "1024");
    EXPECT_EQ(shown["preset1.resizeMode"], "0") << "a box without a height switches resizing off";
    EXPECT_EQ(shown["preset4.limitFileSize"], "0");
    EXPECT_EQ(shown["preset2.outputFolder"], "") << "a missing folder is stored empty";
    EXPECT_EQ(shown["globalOutputFolder"], inputs_ + "/out");
    EXPECT_EQ(shown.count("multiDropSelection"), 1u);
    EXPECT_EQ(shown.size(), 4 * 17 + 22u) << Output("stdout");

    // What was shown is what the file holds.
    const Settings saved = Load(SettingsPath());
    EXPECT_EQ(saved.presets[2].jpegQuality, 100u);
    EXPECT_EQ(saved.presets[1].outputFormat, kOutputPng);
}

TEST_F(CommandLineTest, ARefusedSetLeavesTheSettingsFileByteIdentical) {
    WriteSettings(SettingsPath());
    const std::string before = FileBytes(SettingsPath());
    ASSERT_FALSE(before.empty());
    WriteInput("a.bmp", 2, 2);
    for (const char* arguments : {"--set nosuch=1", "--set preset5.jpegQuality=50", "--set preset1.resizeMode=9",
                                  "--set preset1.jpegQuality=50 --set preset1.outputFormat=heic",
                                  "--set preset1.jpegQuality=high", "--set preset1.suffix", "--set fontHeight=-13",
                                  "--set multiDropSelection=", "--set languageName=C:evil",
                                  "--set languageName=..\\\\payload", "--set keepMetadata=3",
                                  "--set colourProfiles=yes"}) {
        EXPECT_EQ(Run(std::string(arguments) + " " + Quote(inputs_ + "/a.bmp"), root_), cli::kExitUsage) << arguments;
        EXPECT_NE(Output("stderr").find("--set: "), std::string::npos) << Output("stderr");
        EXPECT_EQ(FileBytes(SettingsPath()), before) << arguments;
    }
    EXPECT_FALSE(Exists("a_first.bmp")) << "nothing is converted after a refused --set";
    EXPECT_FALSE(std::filesystem::exists(SettingsPath() + ".new"));
}

TEST_F(CommandLineTest, EveryArgumentNotConvertedIsNamedOnStandardError) {
    WriteSettings(SettingsPath());
    WriteInput("good.bmp", 2, 2);
    WideString text;
    AppendUtf8(text, (inputs_ + "/notes.txt").c_str());
    ASSERT_TRUE(test::WriteBytes(text, std::string("just some words")));
    std::filesystem::create_directories(inputs_ + "/sub");
    EXPECT_EQ(Run("missing.jpg good.bmp sub notes.txt", inputs_), cli::kExitNothing) << Output("stderr");
    EXPECT_TRUE(Exists("good_first.bmp"));
    EXPECT_EQ(Output("stderr"),
              "quillodex: missing.jpg: no such file\n"
              "quillodex: sub: is a folder, skipped\n"
              "quillodex: notes.txt: not a supported image\n");
}

// A suffix or subfolder that would lead out of the output folder is refused
// by --set, and one stored in the file fails its preset with a message.
TEST_F(CommandLineTest, NamesLeadingOutOfTheOutputFolderAreRefusedEverywhere) {
    const struct {
        const char* field;
        const char* text;
    } kRefused[] = {{"subfolder", "../../outside/sub"}, {"subfolder", "/tmp/x"}, {"subfolder", "a/../.."},
                    {"subfolder", "C:evil"}, {"suffix", "/../../ESCAPED"}, {"suffix", "\\..\\..\\ESCAPED"},
                    {"suffix", "a:b"}};
    const std::string inside = inputs_ + "/in/deeper";
    std::filesystem::create_directories(inside);
    WideString wide;
    AppendUtf8(wide, (inside + "/a.bmp").c_str());
    ASSERT_TRUE(test::WriteBytes(wide, test::MakeBmp24(2, 2)));
    const auto everything = [&] {
        size_t count = 0;
        for (auto it = std::filesystem::recursive_directory_iterator(root_); it != std::filesystem::end(it); ++it)
            ++count;
        return count;
    };
    for (const auto& c : kRefused) {
        WriteSettings(SettingsPath(), kOutputBmp, 1);
        const std::string before = FileBytes(SettingsPath());
        const std::string key = std::string("preset1.") + c.field;
        EXPECT_EQ(Run("--set " + Quote(key + "=" + c.text), root_), cli::kExitUsage) << c.text;
        EXPECT_EQ(FileBytes(SettingsPath()), before) << c.text;

        Settings stored = Load(SettingsPath());
        WideString& name = std::string(c.field) == "suffix" ? stored.presets[0].suffix : stored.presets[0].subfolder;
        name.Clear();
        AppendUtf8(name, c.text);
        WideString path;
        AppendUtf8(path, SettingsPath().c_str());
        ASSERT_TRUE(SaveSettings(path.Text(), stored));
        std::filesystem::remove(root_ + "/stdout");
        std::filesystem::remove(root_ + "/stderr");
        const size_t files = everything();
        EXPECT_EQ(Run(Quote(inside + "/a.bmp"), root_), cli::kExitNothing) << c.text;
        EXPECT_NE(Output("stderr").find("leads outside the output folder"), std::string::npos) << Output("stderr");
        EXPECT_EQ(everything(), files + 2) << c.text << ": only stdout and stderr are new";
    }
}

// A damaged file of a format the program reads is named as damaged; what the
// libraries have to say about a file is never printed as it stands.
TEST_F(CommandLineTest, DamagedFilesAreNamedSoAndLibraryWarningsStayQuiet) {
    WriteSettings(SettingsPath(), kOutputJpeg, 1);
    WriteInput("a.bmp", 16, 16);
    ASSERT_EQ(Run(Quote(inputs_ + "/a.bmp"), root_), 0) << Output("stderr");
    const std::string jpeg = FileBytes(inputs_ + "/a_first.jpg");
    ASSERT_GT(jpeg.size(), 100u);
    ASSERT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
    // Bytes before the end marker draw a warning from the library; the
    // picture still converts.
    const std::string extraneous = jpeg.substr(0, jpeg.size() - 2) + std::string(300, '\x55') + "\xFF\xD9";
    const std::string damaged = jpeg.substr(0, 20) + std::string(64, '\xFF');
    for (const auto& [name, bytes] : {std::pair{"extra.jpg", extraneous}, std::pair{"damaged.jpg", damaged}}) {
        WideString wide;
        AppendUtf8(wide, (inputs_ + "/" + name).c_str());
        ASSERT_TRUE(test::WriteBytes(wide, bytes));
    }
    EXPECT_EQ(Run("extra.jpg", inputs_), 0) << Output("stderr");
    EXPECT_EQ(Output("stderr"), "");
    EXPECT_EQ(Run("damaged.jpg", inputs_), cli::kExitNothing);
    EXPECT_NE(Output("stderr").find("quillodex: damaged.jpg: damaged"), std::string::npos) << Output("stderr");
    EXPECT_EQ(Output("stderr").find("JPEG"), std::string::npos) << Output("stderr");
}

// --recursive walks a folder for this run, convertFolders=1 for every run:
// outputs beside their sources in the tree, a file that is no picture named
// once for both passes.
TEST_F(CommandLineTest, RecursiveOrConvertFoldersWalkFolders) {
    WriteSettings(SettingsPath());
    std::filesystem::create_directories(inputs_ + "/tree/sub");
    WriteInput("tree/p1.bmp", 2, 2);
    WriteInput("tree/sub/p2.bmp", 3, 2);
    WideString text;
    AppendUtf8(text, (inputs_ + "/tree/sub/notes.txt").c_str());
    ASSERT_TRUE(test::WriteBytes(text, std::string("just some words")));

    // Without --recursive the folder is skipped, and a skip is no success
    // even when every file given converted.
    WriteInput("p0.bmp", 2, 2);
    EXPECT_EQ(Run("tree p0.bmp", inputs_), cli::kExitNothing);
    EXPECT_TRUE(Exists("p0_first.bmp"));
    EXPECT_EQ(Output("stderr"), "quillodex: tree: is a folder, skipped\n");
    EXPECT_FALSE(Exists("tree/p1_first.bmp"));

    // The file that is no picture was not converted: the run says so.
    EXPECT_EQ(Run("--recursive tree", inputs_), cli::kExitNothing) << Output("stderr");
    for (const char* name : {"tree/p1_first.bmp", "tree/p1_second.bmp", "tree/sub/p2_first.bmp", "tree/sub/p2_second.bmp"})
        EXPECT_TRUE(Exists(name)) << name;
    EXPECT_EQ(Output("stderr"), "quillodex: tree/sub/notes.txt: not a supported image\n");

    EXPECT_EQ(Run("--set convertFolders=1 tree", inputs_), cli::kExitNothing) << Output("stderr");
    EXPECT_TRUE(Exists("tree/sub/p2_second+1.bmp"));
    EXPECT_EQ(Run("tree", inputs_), cli::kExitNothing) << Output("stderr");
    EXPECT_TRUE(Exists("tree/sub/p2_second+2.bmp"));
}

TEST_F(CommandLineTest, OutputFolderServesThisRunOnly) {
    WriteSettings(SettingsPath());
    const Settings before = Load(SettingsPath());
    WriteInput("a.bmp", 2, 2);
    const std::string out = root_ + "/elsewhere";
    std::filesystem::create_directories(out);
    EXPECT_EQ(Run("--output " + Quote(out) + " " + Quote(inputs_ + "/a.bmp"), root_), 0) << Output("stderr");
    EXPECT_TRUE(std::filesystem::exists(out + "/a_first.bmp"));
    EXPECT_TRUE(std::filesystem::exists(out + "/a_second.bmp"));
    EXPECT_FALSE(Exists("a_first.bmp"));
    Settings after = Load(SettingsPath());
    after.languageName = before.languageName;  // the run names the language it used
    EXPECT_TRUE(after == before);

    EXPECT_EQ(Run("--output " + Quote(root_ + "/missing") + " " + Quote(inputs_ + "/a.bmp"), root_), cli::kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(out + "/a_first+1.bmp"));
}

// A write that fails part-way (a full disk, a quota) fails the conversion:
// nothing reaches the output folder, no temporary file is left and the
// command line exits 1 with its message. quillodex runs in a child that may
// write files of at most 200 KiB, with SIGXFSZ ignored so that an oversized
// write fails with EFBIG instead of ending the process.
class FullDiskTest : public CommandLineTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    static constexpr rlim_t kFileSizeLimit = 200 * 1024;

    int RunLimited(const std::string& input) {
        const std::string temporary = root_ + "/tmp";
        std::filesystem::create_directories(temporary);
        const pid_t child = fork();
        if (child == 0) {
            const int out = open((root_ + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((root_ + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const rlimit limit{kFileSizeLimit, kFileSizeLimit};
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(root_.c_str()) != 0 ||
                setenv("XDG_CONFIG_HOME", config_.c_str(), 1) != 0 || setenv("TMPDIR", temporary.c_str(), 1) != 0 ||
                signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(126);
            execl(QDX_CLI_PATH, "quillodex", input.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_P(FullDiskTest, AWriteThatFailsConvertsNothing) {
    WriteSettings(SettingsPath(), GetParam(), 1);

    // 1000 x 800 pixels of noise: no format packs them into 200 KiB.
    std::string bmp = test::MakeBmp24(1000, 800);
    uint32_t noise = 12345;
    for (size_t i = 54; i < bmp.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        bmp[i] = char(noise >> 24);
    }
    WideString input;
    AppendUtf8(input, (inputs_ + "/noise.bmp").c_str());
    ASSERT_TRUE(test::WriteBytes(input, bmp));

    EXPECT_EQ(RunLimited(inputs_ + "/noise.bmp"), cli::kExitNothing) << Output("stderr");
    EXPECT_NE(Output("stderr").find(": "), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(inputs_))
        EXPECT_EQ(entry.path().filename(), "noise.bmp") << "left in the output folder";
    EXPECT_TRUE(std::filesystem::is_empty(root_ + "/tmp")) << "a temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FullDiskTest,
                         ::testing::Values(kOutputBmp, kOutputPng, kOutputJpeg, kOutputGif, kOutputTiff));

TEST(CommandLineParse, OptionsEndAtDoubleDash) {
    const char* argv[] = {"quillodex", "--", "--help", "-"};
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(4, argv);
    EXPECT_EQ(parsed.action, cli::Action::Convert);
    ASSERT_EQ(parsed.paths.size(), 2u);
    EXPECT_EQ(parsed.paths[0], "--help");
    EXPECT_EQ(parsed.paths[1], "-");
}

TEST(CommandLineParse, OptionValuesFollowOrComeAfterEquals) {
    const char* argv[] = {"quillodex", "--preset=2", "-p", "4,4", "--set", "a=b=c", "--output=/x", "f"};
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(8, argv);
    ASSERT_EQ(parsed.action, cli::Action::Convert) << parsed.error;
    EXPECT_TRUE(parsed.presetsChosen);
    EXPECT_EQ(std::string(parsed.presets, parsed.presets + 4), std::string("\0\1\0\1", 4));
    ASSERT_EQ(parsed.assignments.size(), 1u);
    EXPECT_EQ(parsed.assignments[0], "a=b=c");
    EXPECT_EQ(parsed.outputFolder, "/x");
    EXPECT_EQ(parsed.paths, std::vector<std::string>{"f"});

    const char* missing[] = {"quillodex", "f", "--set"};
    EXPECT_EQ(cli::ParseCommandLine(3, missing).action, cli::Action::UsageError);
    const char* flagWithValue[] = {"quillodex", "--help=yes"};
    EXPECT_EQ(cli::ParseCommandLine(2, flagWithValue).action, cli::Action::UsageError);
    const char* settingsOnly[] = {"quillodex", "--show-settings"};
    EXPECT_EQ(cli::ParseCommandLine(2, settingsOnly).action, cli::Action::Convert);
}

// --jobs takes 1 to 16 and nothing else.
TEST(CommandLineParse, JobsBetweenOneAndSixteen) {
    const char* good[] = {"quillodex", "--jobs", "16", "-j", "1", "a.jpg"};
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(6, good);
    EXPECT_EQ(parsed.action, cli::Action::Convert);
    EXPECT_EQ(parsed.jobs, 1u);
    EXPECT_EQ(parsed.paths, std::vector<std::string>{"a.jpg"});
    for (const char* bad : {"0", "17", "2x", ""}) {
        const char* argv[] = {"quillodex", "--jobs", bad, "a.jpg"};
        EXPECT_EQ(cli::ParseCommandLine(4, argv).action, cli::Action::UsageError) << bad;
    }
    const char* missing[] = {"quillodex", "--jobs"};
    EXPECT_EQ(cli::ParseCommandLine(2, missing).action, cli::Action::UsageError);
}

// ---- Files no one loses or overwrites ------------------------------------------

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Runs the program in the background with its temporary folder at
// `temporary`; its output is dropped.
pid_t StartProgram(const std::vector<std::string>& arguments, const std::string& config, const std::string& temporary) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(QDX_CLI_PATH)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(QDX_CLI_PATH, argv.data());
    ::_exit(127);
}

// Whether process `pid` holds open a file inside `folder` other than `except`:
// it is writing an output there.
bool WritesInto(pid_t pid, const std::string& folder, const std::string& except) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.rfind(folder + "/", 0) == 0 && target != except) return true;
    }
    return false;
}

// Whether a file under `folder` has bytes: the batch is writing its output.
bool HoldsBytes(const std::string& folder) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file(error) && it->file_size(error) > 0 && !error) return true;
    return false;
}

// The process is ended while it writes its output: by kill -9 while it copies
// the output into the folder (tried until caught there), and by each signal
// a handler sees while the output is written in its temporary folder. No
// file appears in the output folder, half-written or hidden, and the signals
// take the temporary folder with them.
TEST_F(CommandLineTest, AKilledBatchLeavesNoPartialOutputAndNoTemporaryFile) {
    WriteSettings(SettingsPath(), kOutputBmp, 1);
    WriteInput("big.bmp", 4000, 3000);
    const std::string temporary = root_ + "/tmp";
    for (const int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        bool caught = false;
        for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
            std::filesystem::remove_all(temporary);
            std::filesystem::create_directories(temporary);
            const pid_t child = StartProgram({inputs_ + "/big.bmp"}, config_, temporary);
            int status = 0;
            while (!caught && ::waitpid(child, &status, WNOHANG) == 0)
                if (signal == SIGKILL ? WritesInto(child, inputs_, inputs_ + "/big.bmp") : HoldsBytes(temporary))
                    caught = ::kill(child, signal) == 0;
            if (caught) {
                ASSERT_EQ(::waitpid(child, &status, 0), child);
                EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
                if (signal != SIGKILL) {
                    EXPECT_TRUE(std::filesystem::is_empty(temporary)) << signal;
                }
                EXPECT_EQ(Entries(inputs_), std::set<std::string>{"big.bmp"}) << signal;
            }
            for (const std::string& name : Entries(inputs_))
                if (name != "big.bmp") std::filesystem::remove(inputs_ + "/" + name);  // a run not caught
        }
        EXPECT_TRUE(caught) << "never caught writing, signal " << signal;
    }
}

// Someone watching the shared temporary folder puts a link to another file
// under every temporary name that goes away: nothing of theirs is written.
// Every other file fails in the writer (wider than a GIF can be), which
// once deleted the temporary file for the next file to make again.
TEST_F(CommandLineTest, ALinkPlantedUnderADeletedTemporaryNameIsNeverWrittenThrough) {
    WriteSettings(SettingsPath(), kOutputGif, 1);
    const std::string temporary = root_ + "/tmp", victim = root_ + "/victim.txt";
    std::filesystem::create_directories(temporary);
    std::ofstream(victim) << "the user's own text";
    std::string files;
    for (int i = 0; i < 8; ++i) {
        WriteInput("wide" + std::to_string(i) + ".bmp", 65536, 1);
        WriteInput("good" + std::to_string(i) + ".bmp", 64, 48);
        files += " " + Quote(inputs_ + "/wide" + std::to_string(i) + ".bmp") + " " +
                 Quote(inputs_ + "/good" + std::to_string(i) + ".bmp");
    }
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        std::set<std::string> seen;
        while (!done) {
            std::set<std::string> now;
            std::error_code error;
            for (auto it = std::filesystem::recursive_directory_iterator(temporary, error);
                 !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
                if (it->is_regular_file(error)) now.insert(it->path().string());
            for (const std::string& gone : seen)
                if (!now.count(gone)) ::symlink(victim.c_str(), gone.c_str());
            seen = now;
        }
    });
    const std::string command = "cd " + Quote(root_) + " && TMPDIR=" + Quote(temporary) + " XDG_CONFIG_HOME=" +
                                Quote(config_) + " " + Quote(QDX_CLI_PATH) + files + " >/dev/null 2>&1";
    std::system(command.c_str());
    done = true;
    watcher.join();
    EXPECT_EQ(FileBytes(victim), "the user's own text");
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Exists("good" + std::to_string(i) + "_first.gif")) << i;
}

// Four processes convert files of the same names into one folder at once:
// each takes the next free name when another took its choice first.
TEST_F(CommandLineTest, FourProcessesConvertingIntoOneFolderLoseNothing) {
    WriteSettings(SettingsPath(), kOutputBmp, 1);
    const std::string out = root_ + "/out", temporary = root_ + "/tmp";
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(temporary);
    std::vector<std::string> arguments{"--output", out, "--jobs", "2"};
    for (int i = 0; i < 10; ++i) {
        WriteInput("p" + std::to_string(i) + ".bmp", 3 + i, 2);
        arguments.push_back(inputs_ + "/p" + std::to_string(i) + ".bmp");
    }
    std::vector<pid_t> children;
    for (int k = 0; k < 4; ++k) children.push_back(StartProgram(arguments, config_, temporary));
    for (const pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Entries(out).size(), 40u);
    for (const std::string& name : Entries(out)) EXPECT_NE(name[0], '.') << name;
}

TEST_F(CommandLineTest, APictureOverTheLimitIsRefusedWithItsSize) {
    WriteSettings(SettingsPath(), kOutputBmp, 1);
    WriteInput("wide.bmp", 1001, 1000);
    EXPECT_EQ(Run("--max-megapixels 1 " + Quote(inputs_ + "/wide.bmp"), root_), cli::kExitNothing);
    const std::string errors = Output("stderr");
    EXPECT_NE(errors.find("1001 × 1000 pixels is larger than this program converts."), std::string::npos) << errors;
    EXPECT_NE(errors.find("wide.bmp: too large to convert"), std::string::npos) << errors;
    EXPECT_FALSE(Exists("wide_first.bmp"));
    EXPECT_EQ(Run("--max-megapixels 2 " + Quote(inputs_ + "/wide.bmp"), root_), 0) << Output("stderr");
    EXPECT_EQ(Run("--max-megapixels 0 " + Quote(inputs_ + "/wide.bmp"), root_), cli::kExitUsage);
}

}  // namespace
}  // namespace qdx
