#pragma once
// The resource-only language library: every user-visible text and every
// dialog layout comes from it.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/common/win32_owners.h"
#include "core/text_source.h"
#include "core/os/wide_string.h"

namespace qdx::app {

// The signature every usable library carries as RCDATA 1.
inline constexpr char kLanguageSignature[10] = {'Q', 'u', 'i', 'l', 'l', 'o', 'd', 'e', 'x', 0};

// Loads the library named `name` from the program's folder as data (empty
// or not a plain name: chosen by the user interface language), falling back
// to "English", then "Japanese". On success `name`
// holds the name actually loaded. A library that loads but lacks the
// signature fails without fallback.
bool LoadLanguageLibrary(WideString& name, ModuleHandle& library);

// True when `library` carries the signature resource.
bool HasLanguageSignature(HINSTANCE library);

// Fills the combo box with the usable libraries beside the executable and
// returns the position of `currentName`, or -1.
int ListLanguageLibraries(HWND comboBox, const char16_t* currentName);

// A private-heap copy of a dialog template, returned when its owner goes.
struct DialogTemplateFree {
    void operator()(DLGTEMPLATE* block) const;
};
using DialogTemplate = std::unique_ptr<DLGTEMPLATE, DialogTemplateFree>;

// A copy of dialog template `id` whose font size is set to 11 (large dialog
// font) or 9. Empty when the template is missing or is not an extended
// template with a font.
DialogTemplate LoadDialogTemplate(HINSTANCE library, WORD id, bool largeFont);

// Sets the point size of an extended dialog template with a font (in place):
// 11 for the large dialog font, else 9. False for any other template.
bool PatchDialogFontSize(uint8_t* bytes, size_t size, bool largeFont);

// Texts from a loaded language library.
class LibraryTextSource final : public TextSource {
public:
    explicit LibraryTextSource(HINSTANCE library) : library_(library) {}
    uint32_t LoadText(uint32_t id, char16_t* out, uint32_t capacity) const override;

private:
    HINSTANCE library_;
};

}  // namespace qdx::app
