// Runs the real Quillodex.exe (under Wine in CI) the way a user's console,
// Explorer or Send To would, and checks what it leaves behind.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/common/control_ids.h"
#include "app/common/win32_owners.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "tests/support/sample_images.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using app::U;
using app::W;

WideString FileIn(const char* folder, const char16_t* name) {
    WideString windowsFolder;
    for (const char* p = folder; *p; ++p) windowsFolder.Append(char16_t(*p == '/' ? '\\' : *p));
    WideString path;
    SetFolderPlusName(path, windowsFolder.Text(), name);
    return path;
}
WideString BinFile(const char16_t* name) { return FileIn(QDX_BIN_DIR, name); }

// A private installation: the program and its language libraries copied
// into a folder of their own, with an input folder beside it.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        install_ = folder_.File(u"install");
        inputs_ = folder_.File(u"inputs");
        ASSERT_TRUE(os::CreateFolder(install_.Text()));
        ASSERT_TRUE(os::CreateFolder(inputs_.Text()));
        // The library without a signature is built beside the tests.
        const std::pair<const char*, const char16_t*> files[] = {{QDX_BIN_DIR, u"Quillodex.exe"},
                                                                 {QDX_BIN_DIR, u"English.dll"},
                                                                 {QDX_BIN_DIR, u"Japanese.dll"},
                                                                 {QDX_BUILD_DIR, u"NoSignature.dll"}};
        for (const auto& [folder, name] : files) {
            WideString target;
            SetFolderPlusName(target, install_.Text(), name);
            const WideString source = FileIn(folder, name);
            ASSERT_TRUE(::CopyFileW(W(source.Text()), W(target.Text()), FALSE)) << test::Narrow(source);
        }
        SetFolderPlusName(settingsPath_, install_.Text(), u"Quillodex.ini");
    }

    // Presets 0 and 1 write BMP without resizing; only they are selected.
    void WritePortableSettings(const char16_t* languageName, uint8_t convertFolders = 0) {
        Settings settings;
        settings.languageName.Assign(languageName);
        settings.convertFolders = convertFolders;
        for (int i = 0; i < 4; ++i) {
            settings.presets[i].outputFormat = 0;
            settings.presets[i].resizeMode = 0;
            settings.presets[i].subfolder.Assign(u"");
            settings.presets[i].outputFolder.Assign(u"");
            settings.multiDropSelection[i] = i < 2;
        }
        settings.presets[0].suffix.Assign(u"_first");
        settings.presets[1].suffix.Assign(u"_second");
        ASSERT_TRUE(SaveSettings(settingsPath_.Text(), settings));
    }

    WideString Input(const char16_t* name) const {
        WideString path;
        SetFolderPlusName(path, inputs_.Text(), name);
        return path;
    }

    // Starts the program with `arguments` in `directory`; returns its process.
    HANDLE Start(const std::u16string& arguments, const WideString& directory) {
        WideString exe;
        SetFolderPlusName(exe, install_.Text(), u"Quillodex.exe");
        std::u16string commandLine = Quoted(exe);
        commandLine.push_back(u' ');
        commandLine.append(arguments);
        std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, W(directory.Text()), &startup,
                              &process))
            return nullptr;
        ::CloseHandle(process.hThread);
        return process.hProcess;
    }

    // Runs the program to its end; returns its exit code, or -1 on a hang.
    int Run(const std::u16string& arguments, const WideString& directory) {
        HANDLE process = Start(arguments, directory);
        if (!process) return -2;
        DWORD code = DWORD(-1);
        if (::WaitForSingleObject(process, 60000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(process, &code);
        } else {
            ::TerminateProcess(process, 99);
        }
        ::CloseHandle(process);
        return int(code);
    }

    static std::u16string Quoted(const WideString& path) {
        std::u16string quoted(1, u'"');
        quoted.append(path.Text(), path.Length());
        quoted.push_back(u'"');
        return quoted;
    }

    test::TempFolder folder_;
    WideString install_, inputs_, settingsPath_;
};

WideString RoamingQuillodexFolder() {
    PWSTR roaming = nullptr;
    WideString folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming))) {
        SetFolderPlusName(folder, U(roaming), u"Quillodex");
        ::CoTaskMemFree(roaming);
    }
    return folder;
}

TEST_F(ProgramTest, ConvertsTwoFilesWithEverySelectedPresetAndQuits) {
    WritePortableSettings(u"English");
    ASSERT_TRUE(test::WriteBytes(Input(u"one.bmp"), test::MakeBmp24(7, 5, 1)));
    ASSERT_TRUE(test::WriteBytes(Input(u"two.bmp"), test::MakeBmp24(3, 9, 2)));
    const WideString roaming = RoamingQuillodexFolder();
    const bool roamingExisted = os::FolderExists(roaming.Text());

    EXPECT_EQ(Run(Quoted(Input(u"one.bmp")) + u" " + Quoted(Input(u"two.bmp")), install_), 0);

    for (const char16_t* name : {u"one_first.bmp", u"one_second.bmp", u"two_first.bmp", u"two_second.bmp"})
        EXPECT_TRUE(os::FileExists(Input(name).Text())) << test::Narrow(Input(name));
    EXPECT_FALSE(os::PathExists(Input(u"one+1.bmp").Text()));
    // The program never showed a window, so the main window is gone with it;
    // the settings were saved at its close request and stay portable.
    Settings saved;
    LoadSettings(settingsPath_.Text(), saved);
    EXPECT_STREQ(reinterpret_cast<const char*>(saved.presets[0].suffix.Text()),
                 reinterpret_cast<const char*>(u"_first"));
    if (!roamingExisted) {
        EXPECT_FALSE(os::PathExists(roaming.Text())) << "a portable run touched the roaming folder";
    }
}

TEST_F(ProgramTest, RelativeArgumentsAreTakenFromTheStartingFolder) {
    WritePortableSettings(u"English");
    ASSERT_TRUE(test::WriteBytes(Input(u"photo 1.bmp"), test::MakeBmp24(4, 4, 3)));
    EXPECT_EQ(Run(u"\"photo 1.bmp\"", inputs_), 0);
    EXPECT_TRUE(os::FileExists(Input(u"photo 1_first.bmp").Text()));
    EXPECT_TRUE(os::FileExists(Input(u"photo 1_second.bmp").Text()));
}

// As "Send To" hands over a folder: skipped, or walked with convertFolders.
TEST_F(ProgramTest, AFolderOnlyCommandLineConvertsNothingAndQuitsUnlessFoldersAreWalked) {
    WritePortableSettings(u"English");
    ASSERT_TRUE(test::WriteBytes(Input(u"keep.bmp"), test::MakeBmp24(2, 2, 4)));
    EXPECT_EQ(Run(Quoted(inputs_), install_), 0);
    EXPECT_FALSE(os::PathExists(Input(u"keep_first.bmp").Text()));
    WritePortableSettings(u"English", 1);
    EXPECT_EQ(Run(Quoted(inputs_), install_), 0);
    EXPECT_TRUE(os::FileExists(Input(u"keep_first.bmp").Text()));
    EXPECT_TRUE(os::FileExists(Input(u"keep_second.bmp").Text()));
}

TEST_F(ProgramTest, AMissingLibraryFallsBackToEnglishAndIsSavedSo) {
    WritePortableSettings(u"Klingon");
    EXPECT_EQ(Run(Quoted(inputs_), install_), 0);
    Settings saved;
    LoadSettings(settingsPath_.Text(), saved);
    EXPECT_STREQ(reinterpret_cast<const char*>(saved.languageName.Text()), reinterpret_cast<const char*>(u"English"));
}

struct FoundBox {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<FoundBox*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (owner == found->processId && std::wstring(className) == L"#32770") {
        found->box = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the process's message box, reads its caption and text and closes
// it with OK. False when none appeared.
bool AnswerMessageBox(HANDLE process, std::wstring& caption, std::wstring& text) {
    FoundBox found{::GetProcessId(process), nullptr};
    for (int tries = 0; tries < 300 && !found.box; ++tries) {
        ::EnumWindows(FindMessageBox, LPARAM(&found));
        if (!found.box) ::Sleep(100);
    }
    if (!found.box) return false;
    // The box exists a moment before its caption and text are set.
    wchar_t captionText[64] = {}, boxText[256] = {};
    for (int tries = 0; tries < 100 && (!captionText[0] || !boxText[0]); ++tries) {
        if (tries) ::Sleep(50);
        ::GetWindowTextW(found.box, captionText, 64);
        ::GetDlgItemTextW(found.box, 0xFFFF, boxText, 256);  // the message box's text control
    }
    caption = captionText;
    text = boxText;
    ::PostMessageW(found.box, WM_COMMAND, IDOK, 0);
    return true;
}

TEST_F(ProgramTest, ALibraryWithoutSignatureStopsStartUp) {
    WritePortableSettings(u"NoSignature");
    HANDLE process = Start(Quoted(inputs_), install_);
    ASSERT_NE(process, nullptr);
    std::wstring caption, text;
    ASSERT_TRUE(AnswerMessageBox(process, caption, text)) << "no message box appeared";
    EXPECT_EQ(caption, L"Error");
    EXPECT_EQ(text, L"Language file not found.");
    EXPECT_EQ(::WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 0u);
    ::CloseHandle(process);
}

// HEIC and AVIF files from the HEIF fuzz target's starting inputs, with a BMP beside them.
class HeifProgramTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        WritePortableSettings(u"English");
        ASSERT_TRUE(test::WriteBytes(Input(u"plain.bmp"), test::MakeBmp24(5, 4, 6)));
        for (const char16_t* name : {u"heic_8bit_odd.heic", u"avif_alpha.avif"}) {
            WideString corpusFile;
            SetFolderPlusName(corpusFile, QDX_SOURCE_DIR u"\\fuzz\\corpus\\heif_read_fuzzer", name);
            ASSERT_TRUE(::CopyFileW(W(corpusFile.Text()), W(Input(name).Text()), FALSE)) << test::Narrow(corpusFile);
        }
        arguments_ = Quoted(Input(u"heic_8bit_odd.heic")) + u" " + Quoted(Input(u"plain.bmp")) + u" " +
                     Quoted(Input(u"avif_alpha.avif"));
    }
    std::u16string arguments_;
};

TEST_F(HeifProgramTest, WithTheLibrariesBesideItHeicAndAvifConvert) {
    for (const char16_t* name : {u"libheif.dll", u"libde265.dll"}) {
        WideString target;
        SetFolderPlusName(target, install_.Text(), name);
        ASSERT_TRUE(::CopyFileW(W(BinFile(name).Text()), W(target.Text()), FALSE)) << test::Narrow(BinFile(name));
    }
    EXPECT_EQ(Run(arguments_, install_), 0);
    for (const char16_t* name : {u"heic_8bit_odd_first.bmp", u"avif_alpha_first.bmp", u"plain_first.bmp"})
        EXPECT_TRUE(os::FileExists(Input(name).Text())) << test::Narrow(Input(name));
}

TEST_F(HeifProgramTest, WithoutTheLibrariesHeifFilesFailNamingThemAndTheRestConverts) {
    HANDLE process = Start(arguments_, install_);
    ASSERT_NE(process, nullptr);
    std::wstring caption, text;
    // Once for the batch, though two files and two presets met it; the BMP
    // converted, so no pass reports that nothing was.
    ASSERT_TRUE(AnswerMessageBox(process, caption, text)) << "no message box appeared";
    EXPECT_EQ(caption, L"Quillodex error");
    EXPECT_NE(text.find(L"HEIC and AVIF"), std::wstring::npos) << test::Narrow(WideString(U(text.c_str())));
    const std::wstring names = L": libheif.dll, libde265.dll";
    EXPECT_EQ(text.substr(text.size() - names.size()), names);
    const bool ended = ::WaitForSingleObject(process, 60000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(process, 99);
    ::CloseHandle(process);
    ASSERT_TRUE(ended) << "a second message box kept the program open";
    EXPECT_TRUE(os::FileExists(Input(u"plain_first.bmp").Text()));
    EXPECT_TRUE(os::FileExists(Input(u"plain_second.bmp").Text()));
    EXPECT_FALSE(os::PathExists(Input(u"heic_8bit_odd_first.bmp").Text()));
    EXPECT_FALSE(os::PathExists(Input(u"avif_alpha_first.bmp").Text()));
}

// The visible top-level windows of a process, with their class names.
struct ProcessWindows {
    DWORD processId;
    std::vector<std::pair<HWND, std::wstring>> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    auto* windows = reinterpret_cast<ProcessWindows*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != windows->processId || !::IsWindowVisible(window)) return TRUE;
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    windows->found.emplace_back(window, className);
    return TRUE;
}

// Polls for a visible window of the process whose class `match` accepts.
HWND WaitForWindow(HANDLE process, bool (*match)(const std::wstring&)) {
    for (int tries = 0; tries < 300; ++tries) {
        ProcessWindows windows{::GetProcessId(process), {}};
        ::EnumWindows(CollectWindow, LPARAM(&windows));
        for (const auto& [window, className] : windows.found)
            if (match(className)) return window;
        ::Sleep(100);
    }
    return nullptr;
}

TEST_F(ProgramTest, WithoutArgumentsTheWindowShowsHelpOpensAndClosingSaves) {
    WritePortableSettings(u"English");
    WideString guide;
    SetFolderPlusName(guide, install_.Text(), u"Quillodex.chm");
    ASSERT_TRUE(::CopyFileW(W(BinFile(u"Quillodex.chm").Text()), W(guide.Text()), FALSE)) << "no user guide built";
    HANDLE process = Start(u"", install_);
    ASSERT_NE(process, nullptr);
    HWND main = WaitForWindow(process, [](const std::wstring& name) { return name == L"Quillodex_main_class"; });
    ASSERT_NE(main, nullptr) << "the main window did not show";

    ::PostMessageW(main, WM_COMMAND, IDC_MAIN_HELP, 0);
    HWND help = WaitForWindow(process, [](const std::wstring& name) { return name == L"HH Parent"; });
    EXPECT_NE(help, nullptr) << "the help file beside the program did not open";

    ::SetWindowPos(main, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(process, 99);
    ::CloseHandle(process);
    EXPECT_TRUE(ended);
    Settings saved;
    LoadSettings(settingsPath_.Text(), saved);
    EXPECT_EQ(saved.windowLeft, 123);
    EXPECT_EQ(saved.windowTop, 77);
}

}  // namespace
}  // namespace qdx
