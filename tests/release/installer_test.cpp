// Runs the release's installer (under Wine in CI) as a user would, silently:
// it installs into the user's own programs folder next to a settings file
// already there, the installed program converts a file dropped on it, and
// the uninstaller takes back exactly what was installed.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/settings_file.h"
#include "tests/support/sample_images.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

const char16_t* U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillodex";
constexpr wchar_t kUninstaller[] = L"Uninstall Quillodex.exe";
constexpr DWORD kProgramTimeout = 120000;

std::wstring WindowsPath(const char* unixStylePath) {
    std::wstring path;
    for (const char* p = unixStylePath; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &folder))) path = folder;
    ::CoTaskMemFree(folder);
    return path;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The package's files, relative to the installation folder.
std::vector<std::wstring> InstalledFiles() {
    std::ifstream listing(QDX_INSTALLED_FILES);
    std::vector<std::wstring> files;
    for (std::string line; std::getline(listing, line);)
        if (!line.empty()) files.push_back(WindowsPath(line.c_str()));
    return files;
}

// Runs a program to its end; its exit code, or -1 when it did not end.
int RunToEnd(const std::wstring& program, const std::wstring& arguments, const std::wstring& directory) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                          &startup, &process))
        return -2;
    ::CloseHandle(process.hThread);
    DWORD code = DWORD(-1);
    if (::WaitForSingleObject(process.hProcess, kProgramTimeout) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.hProcess, &code);
    } else {
        ::TerminateProcess(process.hProcess, 99);
    }
    ::CloseHandle(process.hProcess);
    return int(code);
}

std::wstring UninstallValue(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

// Whatever an earlier, interrupted run left: the installation folder with its
// files and the user's ones, the Start menu entry, the uninstaller's key.
void RemoveLeftovers(const std::wstring& folder, const std::vector<std::wstring>& files,
                     const std::vector<std::wstring>& userFiles, const std::wstring& shortcut) {
    for (const auto& file : files) ::DeleteFileW((folder + L"\\" + file).c_str());
    for (const auto& file : userFiles) ::DeleteFileW((folder + L"\\" + file).c_str());
    ::DeleteFileW((folder + L"\\" + kUninstaller).c_str());
    for (const wchar_t* sub : {L"\\plugins", L"\\LICENSES", L""}) ::RemoveDirectoryW((folder + sub).c_str());
    ::DeleteFileW(shortcut.c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
}

TEST(Installer, InstallsForTheUserConvertsAndUninstallsOnlyItsOwnFiles) {
    const std::vector<std::wstring> files = InstalledFiles();
    ASSERT_GT(files.size(), 5u) << "no package listing at " << QDX_INSTALLED_FILES;
    const std::wstring folder = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Quillodex";
    const std::wstring shortcut = KnownFolder(FOLDERID_Programs) + L"\\Quillodex.lnk";
    const std::vector<std::wstring> userFiles = {L"Quillodex.ini", L"notes.txt"};
    RemoveLeftovers(folder, files, userFiles, shortcut);

    // A user's settings beside the program from an earlier installation:
    // preset 1 alone, writing BMP at full size. And a file of their own.
    ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) == ERROR_SUCCESS);
    const WideString settingsPath(U((folder + L"\\Quillodex.ini").c_str()));
    Settings settings;
    settings.languageName.Assign(u"English");
    settings.presets[0].outputFormat = 0;
    settings.presets[0].resizeMode = 0;
    settings.presets[0].subfolder.Assign(u"");
    settings.presets[0].outputFolder.Assign(u"");
    settings.presets[0].suffix.Assign(u"_installed");
    for (int i = 0; i < 4; ++i) settings.multiDropSelection[i] = i == 0;
    ASSERT_TRUE(SaveSettings(settingsPath.Text(), settings));
    const std::string settingsBytes = test::ReadBytes(settingsPath);
    const WideString notes(U((folder + L"\\notes.txt").c_str()));
    ASSERT_TRUE(test::WriteBytes(notes, std::string("mine")));

    const std::wstring installer = WindowsPath(QDX_INSTALLER);
    ASSERT_EQ(RunToEnd(installer, L"/S", KnownFolder(FOLDERID_LocalAppData)), 0);
    for (const auto& file : files)
        EXPECT_TRUE(Exists(folder + L"\\" + file)) << "not installed: " << test::Narrow(WideString(U(file.c_str())));
    const std::wstring uninstaller = folder + L"\\" + kUninstaller;
    EXPECT_TRUE(Exists(uninstaller));
    EXPECT_TRUE(Exists(shortcut)) << "no Start menu entry";
    EXPECT_EQ(UninstallValue(L"DisplayName"), L"Quillodex");
    EXPECT_EQ(UninstallValue(L"InstallLocation"), folder);
    EXPECT_EQ(UninstallValue(L"UninstallString"), L"\"" + uninstaller + L"\"");
    EXPECT_EQ(test::ReadBytes(settingsPath), settingsBytes) << "the installer changed the user's settings";

    // A file dropped on the installed program (Explorer starts it with the
    // file's path) is converted by the preset of the settings beside it.
    test::TempFolder inputs;
    ASSERT_TRUE(test::WriteBytes(inputs.File(u"photo.bmp"), test::MakeBmp24(6, 4, 2)));
    const std::wstring photo = W(inputs.File(u"photo.bmp").Text());
    EXPECT_EQ(RunToEnd(folder + L"\\Quillodex.exe", L"\"" + photo + L"\"", W(inputs.Path().Text())), 0);
    EXPECT_TRUE(Exists(W(inputs.File(u"photo_installed.bmp").Text()))) << "the installed program converted nothing";

    // The uninstaller copies itself away and returns at once; it is done
    // when its own file is gone.
    const std::string settingsAfterRun = test::ReadBytes(settingsPath);
    ASSERT_EQ(RunToEnd(uninstaller, L"/S", folder), 0);
    for (int tries = 0; tries < 600 && Exists(uninstaller); ++tries) ::Sleep(100);
    EXPECT_FALSE(Exists(uninstaller));
    for (const auto& file : files)
        EXPECT_FALSE(Exists(folder + L"\\" + file)) << "left behind: " << test::Narrow(WideString(U(file.c_str())));
    EXPECT_FALSE(Exists(folder + L"\\plugins"));
    EXPECT_FALSE(Exists(folder + L"\\LICENSES"));
    EXPECT_FALSE(Exists(shortcut));
    EXPECT_EQ(UninstallValue(L"DisplayName"), L"<none>");
    EXPECT_EQ(test::ReadBytes(settingsPath), settingsAfterRun) << "the uninstaller touched the user's settings";
    EXPECT_EQ(test::ReadBytes(notes), "mine");

    RemoveLeftovers(folder, files, userFiles, shortcut);
}

}  // namespace
}  // namespace qdx
