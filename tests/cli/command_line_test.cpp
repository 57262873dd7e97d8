// Runs the native quillodex binary as a user would from a shell.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/command_line.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/utf_convert.h"
#include "program_version.h"
#include "scale/resize_modes.h"
#include "tests/support/sample_images.h"
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

TEST_F(CommandLineTest, RelativeNamesAreFoundInTheCurrentFolder) {
    WriteSettings(SettingsPath());
    WriteInput("photo.bmp", 4, 4);
    EXPECT_EQ(Run("photo.bmp", inputs_), 0) << Output("stderr");
    EXPECT_TRUE(Exists("photo_first.bmp"));
}

TEST_F(CommandLineTest, FoldersAndMissingFilesConvertNothing) {
    WriteSettings(SettingsPath());
    WriteInput("keep.bmp", 2, 2);
    EXPECT_EQ(Run(Quote(inputs_) + " " + Quote(inputs_ + "/missing.bmp"), root_), cli::kExitNothing);
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

TEST_F(CommandLineTest, SettingsAreCreatedUnderTheConfigFolderAndSaved) {
    WriteInput("a.bmp", 2, 2);
    Run(Quote(inputs_ + "/a.bmp"), root_);
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
    Settings saved;
    WideString wide;
    AppendUtf8(wide, SettingsPath().c_str());
    LoadSettings(wide.Text(), saved);
    EXPECT_EQ(std::u16string(saved.languageName.Text()), u"English");
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
    EXPECT_NE(Output("stdout").find("Usage: quillodex"), std::string::npos);
    EXPECT_EQ(Run("--version", root_), 0);
    EXPECT_EQ(Output("stdout"), "quillodex " QDX_VERSION_TEXT "\n");
    EXPECT_EQ(Run("", root_), cli::kExitUsage);
    EXPECT_EQ(Run("--frobnicate x.bmp", root_), cli::kExitUsage);
    EXPECT_NE(Output("stderr").find("--frobnicate"), std::string::npos);
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

}  // namespace
}  // namespace qdx
