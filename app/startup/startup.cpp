#include "app/startup/startup.h"

#include <memory>
#include <new>
#include <utility>
#include <vector>

#include <htmlhelp.h>
#include <objbase.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/common/win32_owners.h"
#include "app/main_window/main_window.h"
#include "app/startup/language_library.h"
#include "batch/batch.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "core/text_ids.h"

namespace qdx::app {

namespace {


constexpr wchar_t kFailedToExecute[] = L"Failed to execute file.";
constexpr wchar_t kLanguageFileNotFound[] = L"Language file not found.";


int DetectOperatingSystemLevel() {
    // The version the system reports to programs is capped by their manifest;
    // the kernel's own answer is not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                     reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&version) != 0) return 0;
    return OperatingSystemLevel(version.dwMajorVersion, version.dwMinorVersion);
}

// Every argument as a full path against the folder the program was started
// from, before CheckEnvironment moves the current directory. Drops and Send To
// pass full paths already; a name typed in a console does not.
// Returns false when the list cannot be allocated.
bool CaptureArguments(std::vector<WideString>& captured) {
    int count = 0;
    const LocalMemory<LPWSTR> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!arguments) return true;
    // The one place start-up can run out of memory for the list: everything
    // after this fits in what is reserved here.
    try {
        if (count > 1) captured.reserve(size_t(count - 1));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int i = 1; i < count; ++i) {
        WideString full;
        const wchar_t* argument = arguments.get()[i];
        const DWORD need = ::GetFullPathNameW(argument, 0, nullptr, nullptr);
        char16_t* out = need ? full.ReserveForWriting(need) : nullptr;
        if (out && ::GetFullPathNameW(argument, need, W(out), nullptr))
            full.RecomputeLength();
        else
            full.Assign(U(argument));
        captured.push_back(std::move(full));
    }
    return true;
}

bool CheckEnvironment(MainWindowState& state) {
    WideString folder;
    if (!os::ExecutablePath(folder)) return false;
    KeepFolder(folder);
    if (!os::ChangeCurrentDirectory(folder.Text())) return false;
    WideString beside;
    SetFolderPlusName(beside, folder.Text(), u"Quillodex.ini");
    if (os::FileExists(beside.Text())) {  // a portable installation
        state.settingsPath = beside;
        return true;
    }
    PWSTR found = nullptr;
    const HRESULT known = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &found);
    const CoTaskMemory<wchar_t> roaming(found);  // returned even when the call failed
    if (FAILED(known)) return false;
    WideString own;
    SetFolderPlusName(own, U(roaming.get()), u"Quillodex");
    if (own.IsEmpty()) return false;
    if (!os::FolderExists(own.Text()) && !os::CreateFolder(own.Text())) return false;
    return SetFolderPlusName(state.settingsPath, own.Text(), u"Quillodex.ini") && !state.settingsPath.IsEmpty();
}

// Converts every argument that names an existing file with the presets of
// the combined drop area; folders are walked when the settings say so ("Send
// To" hands them over like files). Returns true when the window is to be
// shown (no arguments at all).
bool HandleCommandLine(const MainWindowState& state, std::vector<WideString>& arguments, bool listAllocated) {
    if (!listAllocated) {
        MainWindowHost(state.window).ShowErrorMessage(kTextOutOfMemory);
        return false;
    }
    if (arguments.empty()) return true;
    MainWindowHost host(state.window);
    const Settings& settings = state.settings;
    ConvertDroppedItems(host, arguments.data(), uint32_t(arguments.size()), settings.multiDropSelection, settings);
    return false;
}

// A library loaded by a bare name comes from the system folder only, never
// from the current folder or the program's: plug-ins and the language
// libraries are loaded by full path. Systems without the call at least drop
// the current folder from the search.
void SearchOnlySystemFolderForLibraries() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                                         reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryW(L"");
}

// The language library's text source goes into the state, and the engine
// reads through it until the program ends. The settings file is open only
// from here until the main window exists.
bool StartUp(MainWindowState& state, int osLevel, int showCommand) {
    // Full paths before the current directory changes to the executable's folder.
    std::vector<WideString> arguments;
    const bool listAllocated = CaptureArguments(arguments);
    if (osLevel == 0 || !CheckEnvironment(state)) {
        ShowStartupError(kFailedToExecute);
        return false;
    }
    Settings& settings = state.settings;
    SettingsReader reader;
    OpenSettings(reader, state.settingsPath.Text());
    LoadLanguageName(reader, settings);
    if (!LoadLanguageLibrary(settings.languageName, state.languageLibrary)) {
        ShowStartupError(kLanguageFileNotFound);
        CloseSettings(reader);
        return false;
    }
    state.texts.reset(new (std::nothrow) LibraryTextSource(state.languageLibrary.Get()));
    SetCurrentTextSource(state.texts.get());
    LoadSettings(reader, settings);
    LoadWindowGeometry(reader, settings);
    if (!RegisterWindowClasses(state.instance)) {
        CloseSettings(reader);
        return false;
    }
    // Up-down controls for the dialogs, and the tooltips of the drop targets.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    HWND window = CreateMainWindow(state);
    // Everything is read once the window exists. The file is let go before a
    // command line is handled, so that the save at the close request can
    // replace it.
    CloseSettings(reader);
    if (!window) return false;
    if (HandleCommandLine(state, arguments, listAllocated)) {
        ::ShowWindow(window, showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    } else {
        ::SendMessageW(window, WM_CLOSE, 0, 0);
    }
    return true;
}

}  // namespace

bool ReplaceLanguageLibrary(MainWindowState& state, WideString& name) {
    state.languageLibrary.Reset();
    ModuleHandle library;
    if (LoadLanguageLibrary(name, library)) state.languageLibrary = std::move(library);
    // Without any library every text reads as empty.
    std::unique_ptr<LibraryTextSource> texts(new (std::nothrow) LibraryTextSource(state.languageLibrary.Get()));
    SetCurrentTextSource(texts.get());
    state.texts = std::move(texts);
    return bool(state.languageLibrary);
}

int OperatingSystemLevel(DWORD major, DWORD minor) {
    if (major == 5) return (minor == 1 || minor == 2) ? 1 : 0;
    if (major == 6) return minor == 0 ? 2 : minor == 1 ? 3 : minor == 2 ? 4 : 5;
    return major >= 7 ? 5 : 0;
}

int ProgramMain(HINSTANCE instance, int showCommand) {
    SearchOnlySystemFolderForLibraries();
    if (!os::CreatePrivateHeap()) return 0;
    // The one place the program's settings are taken; the main window and
    // everything it opens are handed them from here.
    MainWindowState state(instance, CurrentSettings());
    const int osLevel = DetectOperatingSystemLevel();
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DWORD htmlHelpCookie = 0;
    ::HtmlHelpW(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&htmlHelpCookie));

    WPARAM exitCode = 0;
    if (StartUp(state, osLevel, showCommand)) {
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        exitCode = message.wParam;
    }
    state.languageLibrary.Reset();
    SetCurrentTextSource(nullptr);
    state.texts.reset();

    ::HtmlHelpW(nullptr, nullptr, HH_UNINITIALIZE, htmlHelpCookie);
    os::DestroyPrivateHeap();
    if (SUCCEEDED(com)) ::CoUninitialize();
    state.mainFont.Reset();
    return int(exitCode);
}

}  // namespace qdx::app
