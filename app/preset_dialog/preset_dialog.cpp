#include "app/preset_dialog/preset_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "app/common/control_ids.h"
#include "app/common/controls.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/preset_dialog/preset_dialog_rules.h"
#include "app/shell/shell_utilities.h"
#include "app/startup/language_library.h"
#include "batch/batch_host.h"
#include "core/os/os.h"
#include "core/preset_rules.h"
#include "core/settings.h"
#include "core/settings_fields.h"
#include "core/text_ids.h"

namespace qdx::app {

namespace {

// What the dialog works on for one modal run; the preset is touched by OK only.
struct PresetDialogRecord {
    HWND mainWindow = nullptr;  // repainted by OK
    HWND dropTarget = nullptr;
    int presetIndex = 0;
    Preset* preset = nullptr;
    bool globalFolder = false;  // a global output folder is set
    uint32_t workingMode = 0;
    int rowLeft = 0;  // where the size row starts, in client pixels
};

constexpr int kHeadings[] = {IDC_PRESET_FORMAT_HEADING, IDC_PRESET_TRANSPARENCY_HEADING, IDC_PRESET_JPEG_HEADING,
                             IDC_PRESET_RESIZE_HEADING, IDC_PRESET_OUTPUT_HEADING};
constexpr int kModeDependent[] = {IDC_PRESET_WIDTH_LABEL, IDC_PRESET_WIDTH_EDIT,      IDC_PRESET_WIDTH_SPIN,
                                  IDC_PRESET_WIDTH_UNIT,  IDC_PRESET_HEIGHT_LABEL,    IDC_PRESET_HEIGHT_EDIT,
                                  IDC_PRESET_HEIGHT_SPIN, IDC_PRESET_HEIGHT_UNIT,     IDC_PRESET_FILTER_LABEL,
                                  IDC_PRESET_FILTER_LIST, IDC_PRESET_SHARPNESS_LABEL, IDC_PRESET_SHARPNESS_LIST};

PresetDialogRecord* Record(HWND dialog) {
    return reinterpret_cast<PresetDialogRecord*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

WideString ControlText(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    WideString text;
    const int length = ::GetWindowTextLengthW(control);
    char16_t* out = text.ReserveForWriting(uint32_t(length) + 1);
    if (!out) return text;
    ::GetWindowTextW(control, reinterpret_cast<wchar_t*>(out), length + 1);
    text.RecomputeLength();
    return text;
}

int32_t ControlNumber(HWND dialog, int id) { return ParseSignedInteger(ControlText(dialog, id).Text()); }

uint32_t Selection(HWND dialog, int list) {
    const LRESULT item = ::SendDlgItemMessageW(dialog, list, CB_GETCURSEL, 0, 0);
    return item == CB_ERR ? 0 : uint32_t(item);
}

bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The lists carry string identifiers as item data and no texts of their own.
void FillList(HWND dialog, int list, std::initializer_list<uint32_t> items, uint32_t selected) {
    HWND control = ::GetDlgItem(dialog, list);
    for (uint32_t id : items) ::SendMessageW(control, CB_ADDSTRING, 0, LPARAM(id));
    if (selected >= items.size()) selected = 0;
    ::SendMessageW(control, CB_SETCURSEL, WPARAM(selected), 0);
    SetListItemHeight(control);
}

// The spin control holds the number to the range of its field in the
// settings table, as OK and --set do.
void SetUpNumber(HWND dialog, int edit, int spin, const PresetField& field, int value, int digits) {
    ::SendDlgItemMessageW(dialog, edit, EM_LIMITTEXT, WPARAM(digits), 0);
    ::SendDlgItemMessageW(dialog, spin, UDM_SETRANGE32, WPARAM(field.min), LPARAM(field.max));
    ::SendDlgItemMessageW(dialog, spin, UDM_SETPOS32, 0, LPARAM(value));
}

// An edit takes at most the length its field in the settings table allows.
void LimitText(HWND dialog, int edit, const PresetField& field) {
    ::SendDlgItemMessageW(dialog, edit, EM_LIMITTEXT, WPARAM(field.max), 0);
}

RECT ClientRect(HWND dialog, int id) {
    RECT rect{};
    HWND control = ::GetDlgItem(dialog, id);
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveAcross(HWND dialog, int id, const RowItem& item) {
    const RECT rect = ClientRect(dialog, id);
    ::MoveWindow(::GetDlgItem(dialog, id), item.x, rect.top, item.width, rect.bottom - rect.top, TRUE);
    ::ShowWindow(::GetDlgItem(dialog, id), item.visible ? SW_SHOW : SW_HIDE);
}

// Sets the labels of the size row for the mode and places its controls; the
// spin controls are attached to their edits again, which puts each at the
// right of its edit.
void LayOutSizeRowFor(HWND dialog, const PresetDialogRecord& record, uint32_t mode) {
    SizeRowPlan plan;
    if (!PlanSizeRow(mode, plan)) return;
    WideString widthLabel = LanguageText(kTextWidth);
    widthLabel.Append(u":");
    WideString heightLabel = LanguageText(plan.heightLabel);
    heightLabel.Append(plan.heightLabelEnd);
    const WideString unit = LanguageText(kTextPixels);
    ::SetDlgItemTextW(dialog, IDC_PRESET_WIDTH_LABEL, W(widthLabel.Text()));
    ::SetDlgItemTextW(dialog, IDC_PRESET_HEIGHT_LABEL, W(heightLabel.Text()));
    ::SetDlgItemTextW(dialog, IDC_PRESET_WIDTH_UNIT, W(unit.Text()));
    ::SetDlgItemTextW(dialog, IDC_PRESET_HEIGHT_UNIT, W(unit.Text()));

    // Measured with the dialog's own font, which is not the main font.
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    SizeRowMetrics metrics;
    metrics.left = record.rowLeft;
    metrics.widthLabel = TextWidth(dialog, font, widthLabel.Text());
    metrics.heightLabel = TextWidth(dialog, font, heightLabel.Text());
    metrics.unit = TextWidth(dialog, font, unit.Text());
    metrics.digit = TextWidth(dialog, font, u"0");
    const DWORD margins = DWORD(::SendDlgItemMessageW(dialog, IDC_PRESET_WIDTH_EDIT, EM_GETMARGINS, 0, 0));
    const int dpi = WindowDpi(dialog);
    metrics.editMargin = LOWORD(margins) + HIWORD(margins) + 4 * SystemMetricForDpi(SM_CXEDGE, dpi);
    metrics.spin = SystemMetricForDpi(SM_CXVSCROLL, dpi);
    metrics.gap = metrics.digit / 2 + 1;

    const SizeRowLayout row = LayOutSizeRow(plan, metrics);
    MoveAcross(dialog, IDC_PRESET_WIDTH_LABEL, row.widthLabel);
    MoveAcross(dialog, IDC_PRESET_WIDTH_EDIT, row.widthEdit);
    MoveAcross(dialog, IDC_PRESET_WIDTH_UNIT, row.widthUnit);
    MoveAcross(dialog, IDC_PRESET_HEIGHT_LABEL, row.heightLabel);
    MoveAcross(dialog, IDC_PRESET_HEIGHT_EDIT, row.heightEdit);
    MoveAcross(dialog, IDC_PRESET_HEIGHT_UNIT, row.heightUnit);
    ::SendDlgItemMessageW(dialog, IDC_PRESET_WIDTH_SPIN, UDM_SETBUDDY,
                          WPARAM(::GetDlgItem(dialog, IDC_PRESET_WIDTH_EDIT)), 0);
    ::SendDlgItemMessageW(dialog, IDC_PRESET_HEIGHT_SPIN, UDM_SETBUDDY,
                          WPARAM(::GetDlgItem(dialog, IDC_PRESET_HEIGHT_EDIT)), 0);
    ::ShowWindow(::GetDlgItem(dialog, IDC_PRESET_HEIGHT_SPIN), row.heightEdit.visible ? SW_SHOW : SW_HIDE);
    ::InvalidateRect(dialog, nullptr, TRUE);
}

void ApplyEnablingRules(HWND dialog, uint32_t mode) {
    for (int id : kModeDependent) ::EnableWindow(::GetDlgItem(dialog, id), SizeControlsEnabled(mode));
    ::EnableWindow(::GetDlgItem(dialog, IDC_PRESET_STRETCH), AspectChoiceEnabled(mode));
    ::EnableWindow(::GetDlgItem(dialog, IDC_PRESET_KEEP_ASPECT), AspectChoiceEnabled(mode));
}

void ApplyFormatRules(HWND dialog) {
    ::EnableWindow(::GetDlgItem(dialog, IDC_PRESET_WEBP_LOSSLESS),
                   WebpLosslessEnabled(Selection(dialog, IDC_PRESET_FORMAT_LIST)));
}

void SetCaption(HWND dialog, int presetIndex) {
    WideString caption = LanguageText(kTextPreset);
    caption.Append(u" ");
    caption.AppendDecimal(presetIndex + 1);
    ::SetWindowTextW(dialog, W(caption.Text()));
}

BOOL OnInitDialog(HWND dialog, LPARAM parameter) {
    auto* record = reinterpret_cast<PresetDialogRecord*>(parameter);
    ::SetWindowLongPtrW(dialog, DWLP_USER, LONG_PTR(record));
    const Preset& preset = *record->preset;
    for (int id : kHeadings) InstallSectionHeading(::GetDlgItem(dialog, id));
    SetCaption(dialog, record->presetIndex);

    FillList(dialog, IDC_PRESET_FORMAT_LIST,
             {kTextFormatBmp, kTextFormatPng, kTextFormatJpeg, kTextFormatGif, kTextFormatTiff, kTextFormatWebp},
             preset.outputFormat);
    FillList(dialog, IDC_PRESET_SUBSAMPLING_LIST, {kTextChroma420, kTextChroma444},
             SubsamplingItem(preset.jpegSubsampling));
    FillList(dialog, IDC_PRESET_MODE_LIST,
             {kTextNone, kTextWidth, kTextHeight, kTextLongerSide, kTextShorterSide, kTextBox}, record->workingMode);
    FillList(dialog, IDC_PRESET_FILTER_LIST, {kTextAreaAverage, kTextBicubic, kTextNearestPixel, kTextHalftone},
             preset.resampleFilter);
    FillList(dialog, IDC_PRESET_SHARPNESS_LIST, {kTextNone, kTextSharpenLow, kTextSharpenMedium, kTextSharpenHigh},
             preset.sharpness);

    ::CheckDlgButton(dialog, IDC_PRESET_KEEP_TRANSPARENCY, preset.keepTransparency ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(dialog, IDC_PRESET_LIMIT_FILE_SIZE, preset.limitFileSize ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(dialog, IDC_PRESET_WEBP_LOSSLESS, preset.webpLossless ? BST_CHECKED : BST_UNCHECKED);
    ApplyFormatRules(dialog);
    ::CheckRadioButton(dialog, IDC_PRESET_STRETCH, IDC_PRESET_KEEP_ASPECT,
                       preset.keepAspect ? IDC_PRESET_KEEP_ASPECT : IDC_PRESET_STRETCH);

    SetUpNumber(dialog, IDC_PRESET_QUALITY_EDIT, IDC_PRESET_QUALITY_SPIN, *FieldOf(&Preset::jpegQuality),
                int(preset.jpegQuality), kQualityDigits);
    SetUpNumber(dialog, IDC_PRESET_MAX_SIZE_EDIT, IDC_PRESET_MAX_SIZE_SPIN, *FieldOf(&Preset::maxFileSizeKiB),
                int(preset.maxFileSizeKiB), kSizeDigits);
    SetUpNumber(dialog, IDC_PRESET_WIDTH_EDIT, IDC_PRESET_WIDTH_SPIN, *FieldOf(&Preset::targetWidth),
                preset.targetWidth, kSizeDigits);
    SetUpNumber(dialog, IDC_PRESET_HEIGHT_EDIT, IDC_PRESET_HEIGHT_SPIN, *FieldOf(&Preset::targetHeight),
                preset.targetHeight, kSizeDigits);
    LimitText(dialog, IDC_PRESET_SUFFIX_EDIT, *FieldOf(&Preset::suffix));
    LimitText(dialog, IDC_PRESET_SUBFOLDER_EDIT, *FieldOf(&Preset::subfolder));
    LimitText(dialog, IDC_PRESET_FOLDER_EDIT, *FieldOf(&Preset::outputFolder));

    // The row starts under the mode list; mode 0 opens with the box's
    // arrangement of the row.
    record->rowLeft = ClientRect(dialog, IDC_PRESET_MODE_LIST).left;
    LayOutSizeRowFor(dialog, *record, record->workingMode == 0 ? kResizeModeBox : record->workingMode);
    ApplyEnablingRules(dialog, record->workingMode);

    ::SetDlgItemTextW(dialog, IDC_PRESET_SUFFIX_EDIT, W(preset.suffix.Text()));
    ::SetDlgItemTextW(dialog, IDC_PRESET_SUBFOLDER_EDIT, W(preset.subfolder.Text()));
    ::SetDlgItemTextW(dialog, IDC_PRESET_FOLDER_EDIT, W(preset.outputFolder.Text()));
    InstallHintText(::GetDlgItem(dialog, IDC_PRESET_FOLDER_EDIT), record->globalFolder ? kTextFolderHint : kTextSourceFolderHint);
    ::CheckDlgButton(dialog, IDC_PRESET_DISABLE_TARGET, preset.targetDisabled ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

void OnModeChanged(HWND dialog) {
    PresetDialogRecord* record = Record(dialog);
    record->workingMode = Selection(dialog, IDC_PRESET_MODE_LIST);
    LayOutSizeRowFor(dialog, *record, record->workingMode);
    ApplyEnablingRules(dialog, record->workingMode);
}

// An emptied size field reads "0" once the person has left it.
void OnSizeFieldLeft(HWND dialog, int edit) {
    if (::GetWindowTextLengthW(::GetDlgItem(dialog, edit)) == 0) ::SetDlgItemTextW(dialog, edit, L"0");
}

void OnBrowse(HWND dialog) {
    WideString title = LanguageText(kTextFolderBrowserTitle);
    title.Append(Record(dialog)->preset->outputFolder.Text());
    // The browser starts at the typed folder only when that exists.
    WideString folder = ControlText(dialog, IDC_PRESET_FOLDER_EDIT);
    if (!os::FolderExists(folder.Text())) folder.Clear();
    if (BrowseForFolder(dialog, title.Text(), folder))
        ::SetDlgItemTextW(dialog, IDC_PRESET_FOLDER_EDIT, W(folder.Text()));
}

INT_PTR OnStaticColour(HDC dc, HWND control) {
    const int id = ::GetDlgCtrlID(control);
    for (int heading : kHeadings)
        if (id == heading) return reinterpret_cast<INT_PTR>(SectionHeadingColours(dc));
    return FALSE;
}

void EndPresetDialog(HWND dialog, INT_PTR result) {
    for (int id : kHeadings) RemoveSectionHeading(::GetDlgItem(dialog, id));
    RemoveHintText(::GetDlgItem(dialog, IDC_PRESET_FOLDER_EDIT));
    ::EndDialog(dialog, result);
}

void OnOk(HWND dialog) {
    PresetDialogRecord* record = Record(dialog);
    const WideString suffix = ControlText(dialog, IDC_PRESET_SUFFIX_EDIT);
    const WideString subfolder = ControlText(dialog, IDC_PRESET_SUBFOLDER_EDIT);
    const WideString folder = ControlText(dialog, IDC_PRESET_FOLDER_EDIT);
    // Text that would place outputs outside the output folder is refused
    // where it was typed, and the dialog stays open.
    const bool suffixSafe = SuffixIsSafe(suffix.Text(), suffix.Length());
    if (!suffixSafe || !SubfolderIsSafe(subfolder.Text(), subfolder.Length())) {
        WideString text, caption;
        ErrorMessageTexts(kTextOutputNameRefused, CurrentTextSource(), text, caption);
        ::MessageBoxW(dialog, W(text.Text()), W(caption.Text()), MB_OK | MB_ICONWARNING);
        const HWND edit = ::GetDlgItem(dialog, suffixSafe ? IDC_PRESET_SUBFOLDER_EDIT : IDC_PRESET_SUFFIX_EDIT);
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return;
    }
    PresetDialogValues values;
    values.formatIndex = Selection(dialog, IDC_PRESET_FORMAT_LIST);
    values.keepTransparency = IsChecked(dialog, IDC_PRESET_KEEP_TRANSPARENCY);
    values.quality = ControlNumber(dialog, IDC_PRESET_QUALITY_EDIT);
    values.subsamplingIndex = Selection(dialog, IDC_PRESET_SUBSAMPLING_LIST);
    values.limitFileSize = IsChecked(dialog, IDC_PRESET_LIMIT_FILE_SIZE);
    values.maxFileSizeKiB = ControlNumber(dialog, IDC_PRESET_MAX_SIZE_EDIT);
    values.resizeMode = record->workingMode;
    values.targetWidth = ControlNumber(dialog, IDC_PRESET_WIDTH_EDIT);
    values.targetHeight = ControlNumber(dialog, IDC_PRESET_HEIGHT_EDIT);
    values.keepAspect = IsChecked(dialog, IDC_PRESET_KEEP_ASPECT);
    values.resampleFilter = Selection(dialog, IDC_PRESET_FILTER_LIST);
    values.sharpness = Selection(dialog, IDC_PRESET_SHARPNESS_LIST);
    values.suffix = suffix.Text();
    values.subfolder = subfolder.Text();
    values.outputFolder = folder.Text();
    values.targetDisabled = IsChecked(dialog, IDC_PRESET_DISABLE_TARGET);
    values.webpLossless = IsChecked(dialog, IDC_PRESET_WEBP_LOSSLESS);
    StorePresetValues(values, *record->preset);

    ::DragAcceptFiles(record->dropTarget, record->preset->targetDisabled ? FALSE : TRUE);
    ::RedrawWindow(record->mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    EndPresetDialog(dialog, IDOK);
}

BOOL OnCommand(HWND dialog, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_PRESET_MODE_LIST && code == CBN_SELCHANGE) {
        OnModeChanged(dialog);
    } else if (id == IDC_PRESET_FORMAT_LIST && code == CBN_SELCHANGE) {
        ApplyFormatRules(dialog);
    } else if ((id == IDC_PRESET_WIDTH_EDIT || id == IDC_PRESET_HEIGHT_EDIT) && code == EN_KILLFOCUS) {
        OnSizeFieldLeft(dialog, id);
    } else if (id == IDC_PRESET_BROWSE && code == BN_CLICKED) {
        OnBrowse(dialog);
    } else if (id == IDC_PRESET_CLEAR_FOLDER && code == BN_CLICKED) {
        ::SetDlgItemTextW(dialog, IDC_PRESET_FOLDER_EDIT, L"");
    } else if (id == IDOK) {
        OnOk(dialog);
    } else if (id == IDCANCEL) {
        EndPresetDialog(dialog, IDCANCEL);
    } else {
        return FALSE;
    }
    return TRUE;
}

INT_PTR CALLBACK PresetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog(dialog, lParam);
        case WM_COMMAND: return OnCommand(dialog, wParam);
        case WM_DRAWITEM: return DrawListItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORSTATIC: return OnStaticColour(HDC(wParam), HWND(lParam));
        default: return FALSE;
    }
}

}  // namespace

void OpenPresetDialog(MainWindowState& state, int presetIndex, HWND dropTarget) {
    if (presetIndex < 0 || presetIndex >= kPresetCount) return;
    // Without a language library there is no template to take: a null
    // module would make the resource search fall back to the executable.
    if (!state.languageLibrary) return;
    Settings& settings = state.settings;
    const bool largeFont = settings.largeDialogFont != 0;
    const DialogTemplate dialogTemplate = LoadDialogTemplate(state.languageLibrary.Get(), IDD_PRESET, largeFont);
    if (!dialogTemplate) return;
    PresetDialogRecord record;
    record.mainWindow = state.window;
    record.dropTarget = dropTarget;
    record.presetIndex = presetIndex;
    record.preset = &settings.presets[presetIndex];
    record.globalFolder = !settings.globalOutputFolder.IsEmpty();
    record.workingMode = record.preset->resizeMode;
    ::DialogBoxIndirectParamW(state.instance, dialogTemplate.get(), state.window, PresetDialogProc, LPARAM(&record));
}

}  // namespace qdx::app
