#include "app/startup/language_library.h"

#include <commctrl.h>

#include <cstring>
#include <utility>

#include "app/common/control_ids.h"
#include "app/common/win32_owners.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"

namespace qdx::app {

namespace {


constexpr LANGID kJapanese = 0x0411;

ModuleHandle LoadByName(const char16_t* name) {
    WideString file(name);
    file.Append(u".dll");
    return ModuleHandle(::LoadLibraryExW(W(file.Text()), nullptr, 0));
}

}  // namespace

bool HasLanguageSignature(HINSTANCE library) {
    HRSRC resource =
        ::FindResourceW(library, MAKEINTRESOURCEW(IDR_LANGUAGE_SIGNATURE), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!resource || ::SizeofResource(library, resource) < sizeof kLanguageSignature) return false;
    HGLOBAL loaded = ::LoadResource(library, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    return bytes && std::memcmp(bytes, kLanguageSignature, sizeof kLanguageSignature) == 0;
}

bool LoadLanguageLibrary(WideString& name, ModuleHandle& library) {
    if (name.IsEmpty()) name.Assign(::GetUserDefaultUILanguage() == kJapanese ? u"Japanese" : u"English");
    ModuleHandle loaded = LoadByName(name.Text());
    if (!loaded) {
        name.Assign(u"English");
        loaded = LoadByName(name.Text());
    }
    if (!loaded) {
        name.Assign(u"Japanese");
        loaded = LoadByName(name.Text());
    }
    if (!loaded || !HasLanguageSignature(loaded.Get())) return false;
    library = std::move(loaded);
    return true;
}

int ListLanguageLibraries(HWND comboBox, const char16_t* currentName) {
    WideString pattern;
    if (!os::ExecutablePath(pattern) || !ReplaceFileNameWithDllPattern(pattern)) return -1;
    WIN32_FIND_DATAW found;
    const FindHandle search(::FindFirstFileW(W(pattern.Text()), &found));
    if (!search) return -1;
    int current = -1;
    int position = 0;
    do {
        WideString name(reinterpret_cast<const char16_t*>(found.cFileName));
        RemoveExtension(name);
        bool usable = false;
        if (EqualsIgnoringAsciiCase(name.Text(), currentName)) {
            current = position;
            usable = true;
        } else {
            // Load as data only: nothing of the library runs while we look.
            const ModuleHandle library(::LoadLibraryExW(found.cFileName, nullptr, LOAD_LIBRARY_AS_DATAFILE));
            usable = library && HasLanguageSignature(library.Get());
        }
        if (usable) {
            ::SendMessageW(comboBox, CB_INSERTSTRING, WPARAM(position), LPARAM(name.Text()));
            ++position;
        }
    } while (::FindNextFileW(search.Get(), &found));
    return current;
}

bool PatchDialogFontSize(uint8_t* bytes, size_t size, bool largeFont) {
    // An extended template starts with dlgVer 1 and signature 0xFFFF.
    if (size < 26 || bytes[0] != 1 || bytes[1] != 0 || bytes[2] != 0xFF || bytes[3] != 0xFF) return false;
    const DWORD style = DWORD(bytes[12]) | (DWORD(bytes[13]) << 8) | (DWORD(bytes[14]) << 16) | (DWORD(bytes[15]) << 24);
    if (!(style & DS_SETFONT)) return false;
    // Walk past menu, class and title (each an ordinal or a NUL-terminated
    // text) to the font size that follows them.
    size_t at = 26;
    for (int field = 0; field < 3; ++field) {
        if (at + 2 > size) return false;
        const uint16_t first = uint16_t(bytes[at] | (bytes[at + 1] << 8));
        if (first == 0xFFFF) {
            at += 4;
        } else {
            while (at + 2 <= size && (bytes[at] | bytes[at + 1])) at += 2;
            at += 2;
        }
    }
    if (at + 2 > size) return false;
    const uint16_t points = largeFont ? 11 : 9;
    bytes[at] = uint8_t(points);
    bytes[at + 1] = uint8_t(points >> 8);
    return true;
}

void DialogTemplateFree::operator()(DLGTEMPLATE* block) const { os::PrivateFree(block); }

DialogTemplate LoadDialogTemplate(HINSTANCE library, WORD id, bool largeFont) {
    HRSRC resource = ::FindResourceW(library, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (!resource) return nullptr;
    const DWORD size = ::SizeofResource(library, resource);
    HGLOBAL loaded = ::LoadResource(library, resource);
    const void* source = loaded ? ::LockResource(loaded) : nullptr;
    if (!source || size == 0) return nullptr;
    DialogTemplate copy(static_cast<DLGTEMPLATE*>(os::PrivateAlloc(size)));
    if (!copy) return nullptr;
    auto* bytes = reinterpret_cast<uint8_t*>(copy.get());
    std::memcpy(bytes, source, size);
    if (!PatchDialogFontSize(bytes, size, largeFont)) return nullptr;
    return copy;
}

uint32_t LibraryTextSource::LoadText(uint32_t id, char16_t* out, uint32_t capacity) const {
    if (capacity == 0) return 0;
    out[0] = 0;
    if (!library_) return 0;
    const int n = ::LoadStringW(library_, id, reinterpret_cast<wchar_t*>(out), int(capacity));
    if (n <= 0) {
        out[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

}  // namespace qdx::app
