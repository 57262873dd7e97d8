// Runs the native quillodex binary as a user would from a shell.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/command_line.h"
#include "core/os/os.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/utf_convert.h"
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

    // Presets 0 and 1 write BMP at the decoded size; only they are selected.
    void WriteSettings(const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        Settings settings;
        for (int i = 0; i < 4; ++i) {
            settings.presets[i].outputFormat = 0;
            settings.presets[i].resizeMode = 0;
            settings.presets[i].subfolder.Assign(u"");
            settings.multiDropSelection[i] = i < 2;
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
    EXPECT_EQ(Output("stdout"), "quillodex 1.4.0.0\n");
    EXPECT_EQ(Run("", root_), cli::kExitUsage);
    EXPECT_EQ(Run("--frobnicate x.bmp", root_), cli::kExitUsage);
    EXPECT_NE(Output("stderr").find("--frobnicate"), std::string::npos);
}

TEST(CommandLineParse, OptionsEndAtDoubleDash) {
    const char* argv[] = {"quillodex", "--", "--help", "-"};
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(4, argv);
    EXPECT_EQ(parsed.action, cli::Action::Convert);
    ASSERT_EQ(parsed.paths.size(), 2u);
    EXPECT_EQ(parsed.paths[0], "--help");
    EXPECT_EQ(parsed.paths[1], "-");
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

}  // namespace
}  // namespace qdx
