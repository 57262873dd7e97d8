#pragma once
// The small pieces of user interface the main window and the dialogs share:
// metrics of the main font, the drop targets' tooltips, controls labelled from
// the language library, owner-drawn drop-down items, hint texts in empty
// edits, section headings with a rule line and the plain background.
#include <windows.h>

#include <cstdint>

#include "core/os/wide_string.h"

namespace qdx::app {

// What the dialogs and windows size themselves by, worked out from the main
// font whenever that font is (re)created.
struct InterfaceMetrics {
    int textHeight = 0;         // the font's character height
    int controlHeight = 0;      // text height + 6
    int internalLeading = 0;
    int digitWidth = 0;         // width of "0"
    int spinAllowance = 0;      // extra width of a number edit with a spin control
    int checkBoxAllowance = 0;  // extra width of a check box beyond its text
};

// What is measured of a font in a device context.
struct FontMeasures {
    int height = 0;           // character height
    int internalLeading = 0;
    int digitWidth = 0;       // width of "0"
};
// The system's sizes the metrics add to the font's; they depend on the
// display's resolution, not on the font.
struct SystemMeasures {
    int verticalScrollWidth = 0;  // width of a vertical scroll bar (and spin control)
    int menuCheckWidth = 0;       // width of a check mark
    int dpi = 96;                 // the resolution both are taken at
};
InterfaceMetrics MakeInterfaceMetrics(const FontMeasures& font, const SystemMeasures& system);

// Measures `font` in a device context of `window` (all zero without one).
FontMeasures MeasureFont(HWND window, HFONT font);
// The system's sizes at `dpi`.
SystemMeasures CurrentSystemMeasures(int dpi);

// The main font from the settings' face (at most 31 code units), height (in
// pixels at 96 DPI, drawn at `dpi`) and weight, default character set. The
// caller owns it.
HFONT CreateMainFont(const char16_t* face, int height, int weight, int dpi);

// String `id` of the language library (at most 127 code units; empty when
// the library lacks it).
WideString LanguageText(uint32_t id);

// Width of `text` drawn with `font` in a device context of `window`.
int TextWidth(HWND window, HFONT font, const char16_t* text);

// Colours of the shared controls.
inline constexpr COLORREF kHeadingTextColour = RGB(72, 104, 200);
inline constexpr COLORREF kHeadingRuleColour = RGB(160, 176, 224);
inline constexpr COLORREF kSelectedItemFill = RGB(232, 255, 255);
inline constexpr COLORREF kSelectedItemBorder = RGB(72, 144, 144);
inline constexpr COLORREF kHintTextColour = RGB(128, 128, 128);
inline constexpr COLORREF kAddressColour = RGB(0, 0, 255);

// Tooltips of the drop targets.
inline constexpr int kTooltipDelay = 300;      // ms before a tip shows
inline constexpr int kTooltipMaxWidth = 400;   // pixels at 96 DPI; longer tips wrap
// A top-most tooltip window owned by `owner`, with a white tip background.
HWND CreateTooltipWindow(HWND owner, HINSTANCE instance);
// Registers `target` (a child of `owner`) as a tool identified by its window,
// subclassed by the tooltip, with the drop-target tip as its text.
bool AddDropTargetTool(HWND tooltip, HWND owner, HWND target);
// Sends `message` (for instance TTM_UPDATETIPTEXTW after a language change)
// with each drop target's tool description (the drop targets of `owner`).
void RefreshTooltips(HWND tooltip, HWND owner, UINT message);

// Gives control `id` of `window` the font and the text of string `id`.
void SetTextFromString(HWND window, int id, HFONT font);

// A visible automatic check box whose control identifier and text string are
// both `id`, `height` high, with `font`; placed by its parent's layout later.
HWND CreateCheckBox(HWND parent, int id, HFONT font, int height);

// The creation parameter of the window being made, kept in its user data
// (for WM_NCCREATE, whose `lParam` is the CREATESTRUCTW), and read back.
void KeepCreationParameter(HWND window, LPARAM createStruct);
template <typename T>
T* UserDataOf(HWND window) {
    return reinterpret_cast<T*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Sets the selection field and the items of a drop-down list to 12 dialog
// units (of its dialog) less 4 pixels.
void SetListItemHeight(HWND comboBox);

// Draws one item of an owner-drawn drop-down list; its data is the string
// identifier of its text (0: the item's own text). Returns false for other
// kinds of controls.
bool DrawListItem(const DRAWITEMSTRUCT& item);

// Subclasses that dialogs install when they open and remove before they end.
// A list view repainted whole after each vertical scroll.
bool InstallListViewRepaint(HWND listView);
void RemoveListViewRepaint(HWND listView);
// An edit that shows string `textId` in grey while it is empty.
bool InstallHintText(HWND edit, uint32_t textId);
void RemoveHintText(HWND edit);
// A static text with a rule line from after its text to its right edge.
bool InstallSectionHeading(HWND heading);
void RemoveSectionHeading(HWND heading);
// The owning dialog's answer to the colour request of a section heading.
HBRUSH SectionHeadingColours(HDC dc);

// Fills the client area with the button face colour (for WM_PAINT).
void PaintPlainBackground(HWND window);

}  // namespace qdx::app
