// The executable's resources, the language libraries' signatures and the
// small start-up helpers, checked on the built files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup/language_library.h"
#include "app/startup/startup.h"
#include "core/text_ids.h"
#include "program_version.h"

namespace qdx {
namespace {

std::wstring FileIn(const char* folder, const wchar_t* name) {
    std::wstring path;
    for (const char* p = folder; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path + L"\\" + name;
}
std::wstring BinFile(const wchar_t* name) { return FileIn(QDX_BIN_DIR, name); }

// Loaded as data: nothing of the file runs.
class DataModule {
public:
    explicit DataModule(const std::wstring& path)
        : module_(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module_) ::FreeLibrary(module_);
    }
    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

std::wstring VersionString(const std::vector<uint8_t>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
    return std::wstring(value);
}

TEST(ExecutableResources, IconManifestAndVersion) {
    const std::wstring exe = BinFile(L"Quillodex.exe");
    DataModule module(exe);
    ASSERT_NE(module.Get(), nullptr);
    // The group icon names an image for every display scale (0 stands for 256).
    HRSRC group = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(100), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    const auto* directory = static_cast<const uint8_t*>(::LockResource(::LoadResource(module.Get(), group)));
    constexpr size_t kHeaderSize = 6, kEntrySize = 14;
    ASSERT_GE(::SizeofResource(module.Get(), group), kHeaderSize);
    const size_t count = directory[4] | (directory[5] << 8);
    ASSERT_EQ(::SizeofResource(module.Get(), group), kHeaderSize + count * kEntrySize);
    std::vector<int> sides;
    for (size_t i = 0; i < count; ++i) sides.push_back(directory[kHeaderSize + i * kEntrySize]);
    EXPECT_EQ(sides, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 0}));
    HRSRC manifest = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module.Get(), manifest)));
    const std::string manifestText(text, ::SizeofResource(module.Get(), manifest));
    EXPECT_NE(manifestText.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifestText.find("asInvoker"), std::string::npos);
    EXPECT_NE(manifestText.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos);  // Windows 10 and 11
    // Drawn for each monitor's resolution, with the older declaration for
    // systems that do not know the newer one.
    EXPECT_NE(manifestText.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifestText.find(">true/pm</dpiAware>"), std::string::npos);

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"" QDX_VERSION_TEXT);
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Quillodex");
    EXPECT_EQ(VersionString(block, L"CompanyName"), L"Ormsted");
}

TEST(LanguageLibraries, CarryTheSignatureAndTheirTexts) {
    for (const wchar_t* name : {L"English.dll", L"Japanese.dll"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        DataModule module(BinFile(name));
        ASSERT_NE(module.Get(), nullptr);
        EXPECT_TRUE(app::HasLanguageSignature(module.Get()));
        // Loaded as the program loads it, the texts are there.
        HMODULE library = ::LoadLibraryExW(BinFile(name).c_str(), nullptr, 0);
        ASSERT_NE(library, nullptr);
        app::LibraryTextSource texts(library);
        char16_t caption[128];
        EXPECT_GT(texts.LoadText(kTextErrorCaption, caption, 128), 0u);
        EXPECT_GT(texts.LoadText(kTextBusyTitle, caption, 128), 0u);
        EXPECT_EQ(texts.LoadText(65000, caption, 128), 0u);  // no such string: empty
        EXPECT_EQ(caption[0], 0);
        ::FreeLibrary(library);
    }
    DataModule unsigned_(FileIn(QDX_BUILD_DIR, L"NoSignature.dll"));
    ASSERT_NE(unsigned_.Get(), nullptr);
    EXPECT_FALSE(app::HasLanguageSignature(unsigned_.Get()));
    // A resource-only library has no code to run.
    HMODULE english = ::LoadLibraryExW(BinFile(L"English.dll").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(english, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(english);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const uint8_t*>(english) + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u);
    ::FreeLibrary(english);
}

TEST(OperatingSystemLevel, VersionsMapToLevels) {
    EXPECT_EQ(app::OperatingSystemLevel(5, 0), 0);
    EXPECT_EQ(app::OperatingSystemLevel(5, 1), 1);
    EXPECT_EQ(app::OperatingSystemLevel(5, 2), 1);
    EXPECT_EQ(app::OperatingSystemLevel(5, 3), 0);
    EXPECT_EQ(app::OperatingSystemLevel(6, 0), 2);
    EXPECT_EQ(app::OperatingSystemLevel(6, 1), 3);
    EXPECT_EQ(app::OperatingSystemLevel(6, 2), 4);
    EXPECT_EQ(app::OperatingSystemLevel(6, 3), 5);
    EXPECT_EQ(app::OperatingSystemLevel(6, 9), 5);
    EXPECT_EQ(app::OperatingSystemLevel(10, 0), 5);
    EXPECT_EQ(app::OperatingSystemLevel(4, 0), 0);
}

// An extended template: dlgVer, signature, helpId, exStyle, style, cDlgItems,
// x, y, cx, cy, then menu, class and title, then the font size.
std::vector<uint8_t> ExtendedTemplate(DWORD style, const std::u16string& title, bool ordinalMenu) {
    std::vector<uint8_t> bytes = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(style >> (8 * i)));
    bytes.insert(bytes.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    if (ordinalMenu) {
        bytes.insert(bytes.end(), {0xFF, 0xFF, 7, 0});
    } else {
        bytes.insert(bytes.end(), {0, 0});
    }
    bytes.insert(bytes.end(), {0, 0});  // class: none
    for (char16_t c : title) bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
    bytes.insert(bytes.end(), {0, 0, 8, 0, 0x90, 0x01, 0, 1});  // title end, 8 points, weight, italic, charset
    return bytes;
}

TEST(DialogTemplates, FontSizeIsPatchedAfterMenuClassAndTitle) {
    std::vector<uint8_t> bytes = ExtendedTemplate(DS_SETFONT | WS_POPUP, u"Options", true);
    const size_t sizeAt = bytes.size() - 6;
    ASSERT_TRUE(app::PatchDialogFontSize(bytes.data(), bytes.size(), true));
    EXPECT_EQ(bytes[sizeAt], 11);
    ASSERT_TRUE(app::PatchDialogFontSize(bytes.data(), bytes.size(), false));
    EXPECT_EQ(bytes[sizeAt], 9);
    std::vector<uint8_t> plain = ExtendedTemplate(DS_SETFONT, u"", false);
    ASSERT_TRUE(app::PatchDialogFontSize(plain.data(), plain.size(), true));
    EXPECT_EQ(plain[plain.size() - 6], 11);
    // No font, not extended, or cut short: refused, nothing written.
    std::vector<uint8_t> noFont = ExtendedTemplate(WS_POPUP, u"x", false);
    EXPECT_FALSE(app::PatchDialogFontSize(noFont.data(), noFont.size(), true));
    std::vector<uint8_t> classic = plain;
    classic[2] = 0;
    EXPECT_FALSE(app::PatchDialogFontSize(classic.data(), classic.size(), true));
    EXPECT_FALSE(app::PatchDialogFontSize(plain.data(), 30, true));
}

}  // namespace
}  // namespace qdx
