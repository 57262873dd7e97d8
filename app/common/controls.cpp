#include "app/common/controls.h"

#include <commctrl.h>

#include "app/common/control_ids.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "core/text_ids.h"
#include "core/text_source.h"

namespace qdx::app {

namespace {

constexpr int kDropTargetCount = 4;
constexpr int kMaxFaceLength = 31;
constexpr int kListItemDialogUnits = 12;
// Pixels at 96 DPI.
constexpr int kItemTextIndent = 2;
constexpr int kRuleGap = 5;
// What a control, a number edit with its spin control and a check box add
// to the text they show (at 96 DPI).
constexpr int kControlPadding = 6;
constexpr int kSpinPadding = 10;
constexpr int kCheckBoxPadding = 7;

// Identifiers of our subclasses (any distinct numbers).
constexpr UINT_PTR kListViewRepaintId = 0x5144'0001;
constexpr UINT_PTR kHintTextId = 0x5144'0002;
constexpr UINT_PTR kSectionHeadingId = 0x5144'0003;

HFONT FontOf(HWND window) { return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)); }

int CharacterHeight(HDC dc) {
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

}  // namespace

InterfaceMetrics MakeInterfaceMetrics(const FontMeasures& font, const SystemMeasures& system) {
    InterfaceMetrics result;
    result.textHeight = font.height;
    result.controlHeight = font.height + ScaleForDpi(kControlPadding, system.dpi);
    result.internalLeading = font.internalLeading;
    result.digitWidth = font.digitWidth;
    result.spinAllowance = system.verticalScrollWidth + ScaleForDpi(kSpinPadding, system.dpi);
    result.checkBoxAllowance = system.menuCheckWidth + ScaleForDpi(kCheckBoxPadding, system.dpi);
    return result;
}

FontMeasures MeasureFont(HWND window, HFONT font) {
    FontMeasures result;
    WindowDC dc(window);
    if (!dc.Get()) return result;
    SelectedObject selected(dc.Get(), font);
    TEXTMETRICW text{};
    ::GetTextMetricsW(dc.Get(), &text);
    SIZE digit{};
    ::GetTextExtentPoint32W(dc.Get(), L"0", 1, &digit);
    result.height = text.tmHeight;
    result.internalLeading = text.tmInternalLeading;
    result.digitWidth = digit.cx;
    return result;
}

SystemMeasures CurrentSystemMeasures(int dpi) {
    return {SystemMetricForDpi(SM_CXVSCROLL, dpi), SystemMetricForDpi(SM_CXMENUCHECK, dpi), dpi};
}

HFONT CreateMainFont(const char16_t* face, int height, int weight, int dpi) {
    LOGFONTW font{};
    font.lfHeight = ScaleForDpi(height, dpi);
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; i < kMaxFaceLength && face && face[i]; ++i) font.lfFaceName[i] = wchar_t(face[i]);
    return ::CreateFontIndirectW(&font);
}

WideString LanguageText(uint32_t id) {
    WideString text;
    AppendText(text, id);
    return text;
}

int TextWidth(HWND window, HFONT font, const char16_t* text) {
    WindowDC dc(window);
    if (!dc.Get()) return 0;
    SelectedObject selected(dc.Get(), font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), W(text), int(TextLength(text)), &size);
    return size.cx;
}

HWND CreateTooltipWindow(HWND owner, HINSTANCE instance) {
    HWND tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, instance, nullptr);
    if (!tooltip) return nullptr;
    ::SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(kTooltipDelay, 0));
    ::SendMessageW(tooltip, TTM_SETTIPBKCOLOR, RGB(255, 255, 255), 0);
    return tooltip;
}

namespace {

TTTOOLINFOW DropTargetTool(HWND owner, HWND target, WideString& text) {
    text = LanguageText(kTextDropTargetTip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(target);
    tool.lpszText = const_cast<wchar_t*>(W(text.Text()));
    return tool;
}

}  // namespace

bool AddDropTargetTool(HWND tooltip, HWND owner, HWND target) {
    WideString text;
    TTTOOLINFOW tool = DropTargetTool(owner, target, text);
    return ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, LPARAM(&tool)) != 0;
}

void RefreshTooltips(HWND tooltip, HWND owner, UINT message) {
    for (int i = 0; i < kDropTargetCount; ++i) {
        WideString text;
        TTTOOLINFOW tool = DropTargetTool(owner, ::GetDlgItem(owner, IDC_MAIN_FIRST_DROP_TARGET + i), text);
        ::SendMessageW(tooltip, message, 0, LPARAM(&tool));
    }
}

void SetTextFromString(HWND window, int id, HFONT font) {
    HWND control = ::GetDlgItem(window, id);
    if (!control) return;
    ::SendMessageW(control, WM_SETFONT, WPARAM(font), FALSE);
    ::SetWindowTextW(control, W(LanguageText(uint32_t(id)).Text()));
}

HWND CreateCheckBox(HWND parent, int id, HFONT font, int height) {
    const WideString text = LanguageText(uint32_t(id));
    HWND box = ::CreateWindowExW(0, L"BUTTON", W(text.Text()), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                 0, 0, 0, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (box) ::SendMessageW(box, WM_SETFONT, WPARAM(font), FALSE);
    return box;
}

void KeepCreationParameter(HWND window, LPARAM createStruct) {
    const auto* parameters = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(parameters->lpCreateParams));
}

void SetListItemHeight(HWND comboBox) {
    RECT units{0, 0, 0, kListItemDialogUnits};
    ::MapDialogRect(::GetParent(comboBox), &units);
    const int height = units.bottom - 4;
    ::SendMessageW(comboBox, CB_SETITEMHEIGHT, WPARAM(-1), height);
    ::SendMessageW(comboBox, CB_SETITEMHEIGHT, 0, height);
}

bool DrawListItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_COMBOBOX) return false;
    if (item.itemID == UINT(-1)) return true;  // an empty list has nothing to draw
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    const int dpi = WindowDpi(item.hwndItem);
    const bool enabled = !(item.itemState & ODS_DISABLED);
    if (enabled) {
        if (item.itemState & ODS_SELECTED) {
            const BrushHandle fill(::CreateSolidBrush(kSelectedItemFill));
            const PenHandle border(::CreatePen(PS_SOLID, ScaleForDpi(1, dpi), kSelectedItemBorder));
            const SelectedObject brush(dc, fill.Get()), pen(dc, border.Get());
            ::Rectangle(dc, box.left, box.top, box.right, box.bottom);
        } else {
            ::FillRect(dc, &box, ::GetSysColorBrush(COLOR_WINDOW));
        }
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    } else {
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    }
    WideString text;
    if (item.itemData) {
        text = LanguageText(uint32_t(item.itemData));
    } else {
        const LRESULT length = ::SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0);
        char16_t* out = length > 0 ? text.ReserveForWriting(uint32_t(length)) : nullptr;
        if (out) {
            ::SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, LPARAM(out));
            text.RecomputeLength();
        }
    }
    SelectedObject font(dc, FontOf(item.hwndItem));
    ::SetBkMode(dc, TRANSPARENT);
    const int y = (box.top + box.bottom - CharacterHeight(dc)) / 2;
    ::ExtTextOutW(dc, box.left + ScaleForDpi(kItemTextIndent, dpi), y, ETO_CLIPPED, &box, W(text.Text()), text.Length(), nullptr);
    return true;
}

namespace {

LRESULT CALLBACK ListViewRepaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_VSCROLL && LOWORD(wParam) == SB_ENDSCROLL) {
        ::InvalidateRect(window, nullptr, TRUE);
        ::UpdateWindow(window);
    }
    return result;
}

void DrawHint(HWND edit, uint32_t textId) {
    if (::GetWindowTextLengthW(edit) != 0) return;
    RECT format{};
    ::SendMessageW(edit, EM_GETRECT, 0, LPARAM(&format));
    WindowDC dc(edit);
    if (!dc.Get()) return;
    SelectedObject font(dc.Get(), FontOf(edit));
    ::SetBkMode(dc.Get(), TRANSPARENT);
    ::SetTextColor(dc.Get(), kHintTextColour);
    const WideString hint = LanguageText(textId);
    const int y = (format.top + format.bottom - CharacterHeight(dc.Get())) / 2;
    ::ExtTextOutW(dc.Get(), format.left, y, ETO_CLIPPED, &format, W(hint.Text()), hint.Length(), nullptr);
}

LRESULT CALLBACK HintTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR textId) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_PAINT) DrawHint(window, uint32_t(textId));
    return result;
}

void DrawHeadingRule(HWND heading) {
    RECT client{};
    ::GetClientRect(heading, &client);
    wchar_t text[kMaxTextLength + 1] = {};
    const int length = ::GetWindowTextW(heading, text, kMaxTextLength + 1);
    WindowDC dc(heading);
    if (!dc.Get()) return;
    SIZE size{};
    {
        SelectedObject font(dc.Get(), FontOf(heading));
        ::GetTextExtentPoint32W(dc.Get(), text, length, &size);
    }
    const int dpi = WindowDpi(heading);
    const int thickness = ScaleForDpi(1, dpi);
    const int y = (client.bottom - client.top - thickness + 1) / 2;
    const int start = size.cx + ScaleForDpi(kRuleGap, dpi);
    if (start >= client.right) return;
    RECT line{start, y, client.right, y + thickness};
    const BrushHandle rule(::CreateSolidBrush(kHeadingRuleColour));
    ::FillRect(dc.Get(), &line, rule.Get());
}

LRESULT CALLBACK SectionHeadingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PAINT) DrawHeadingRule(window);
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool InstallListViewRepaint(HWND listView) {
    return ::SetWindowSubclass(listView, ListViewRepaintProc, kListViewRepaintId, 0) != FALSE;
}
void RemoveListViewRepaint(HWND listView) { ::RemoveWindowSubclass(listView, ListViewRepaintProc, kListViewRepaintId); }

bool InstallHintText(HWND edit, uint32_t textId) {
    return ::SetWindowSubclass(edit, HintTextProc, kHintTextId, textId) != FALSE;
}
void RemoveHintText(HWND edit) { ::RemoveWindowSubclass(edit, HintTextProc, kHintTextId); }

bool InstallSectionHeading(HWND heading) {
    return ::SetWindowSubclass(heading, SectionHeadingProc, kSectionHeadingId, 0) != FALSE;
}
void RemoveSectionHeading(HWND heading) { ::RemoveWindowSubclass(heading, SectionHeadingProc, kSectionHeadingId); }

HBRUSH SectionHeadingColours(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kHeadingTextColour);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void PaintPlainBackground(HWND window) {
    const PaintDC paint(window);
    ::FillRect(paint.Get(), &paint.Dirty(), ::GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace qdx::app
