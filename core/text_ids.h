#pragma once
// Identifiers of every language text; the texts themselves live in
// lang/<Language>.txt, and a test holds both files to this list.
//
// A label, heading, check box or button of a dialog template or of the main
// window shows the string of its own control identifier, so those texts have
// the numbers of their controls (app/common/control_ids.h).
#include <cstdint>

// X(name, identifier) for every text.
#define QDX_TEXT_IDS(X)                                                                         \
    /* dialog buttons */                                                                        \
    X(kTextOk, 1)                                                                               \
    X(kTextCancel, 2)                                                                           \
    /* main window: the preset caption (also of the drop targets and the preset dialog),      \
       the combined area and its check boxes, the buttons */                                    \
    X(kTextPreset, 1000)                                                                        \
    X(kTextCombinedArea, 1100)                                                                  \
    X(kTextCombinedPreset1, 1110)                                                               \
    X(kTextCombinedPreset2, 1111)                                                               \
    X(kTextCombinedPreset3, 1112)                                                               \
    X(kTextCombinedPreset4, 1113)                                                               \
    X(kTextOptionsButton, 1200)                                                                 \
    X(kTextCloseButton, 1201)                                                                   \
    X(kTextHelpButton, 1202)                                                                    \
    X(kTextVersionButton, 1203)                                                                 \
    X(kTextKeepOnTop, 1210)                                                                     \
    /* preset dialog */                                                                         \
    X(kTextDisableTarget, 2001)                                                                 \
    X(kTextFormatHeading, 2110)                                                                 \
    X(kTextTransparencyHeading, 2120)                                                           \
    X(kTextKeepTransparency, 2121)                                                              \
    X(kTextJpegHeading, 2130)                                                                   \
    X(kTextQualityLabel, 2131)                                                                  \
    X(kTextSubsamplingLabel, 2134)                                                              \
    X(kTextLimitFileSize, 2136)                                                                 \
    X(kTextWebpLossless, 2140)                                                                  \
    X(kTextResizeHeading, 2200)                                                                 \
    X(kTextStretch, 2240)                                                                       \
    X(kTextKeepAspect, 2241)                                                                    \
    X(kTextFilterLabel, 2250)                                                                   \
    X(kTextSharpnessLabel, 2260)                                                                \
    X(kTextOutputFileHeading, 2300)                                                             \
    X(kTextSuffixLabel, 2310)                                                                   \
    X(kTextFolderLabel, 2320)                                                                   \
    X(kTextFolderHint, 2321) /* grey in the empty folder edit */                                \
    X(kTextBrowse, 2322)                                                                        \
    X(kTextClear, 2323)                                                                         \
    X(kTextSubfolderLabel, 2330)                                                                \
    /* options dialog */                                                                        \
    X(kTextOptionsCaption, 3000)                                                                \
    X(kTextApply, 3001)                                                                         \
    X(kTextOutputPage, 3010)                                                                    \
    X(kTextPluginsPage, 3011)                                                                   \
    X(kTextAppearancePage, 3012)                                                                \
    X(kTextOutputFolderHeading, 3020)                                                           \
    X(kTextBrowseOutputFolder, 3021)                                                            \
    X(kTextClearOutputFolder, 3022)                                                             \
    X(kTextSourceFolderHint, 3023) /* grey in an empty global folder edit */                    \
    X(kTextConvertFolders, 3024)                                                                \
    X(kTextBackgroundHeading, 3030)                                                             \
    X(kTextOwnBackground, 3031)                                                                 \
    X(kTextChooseColour, 3033)                                                                  \
    X(kTextShortcutHeading, 3040)                                                               \
    X(kTextDesktopShortcut, 3041)                                                               \
    X(kTextSendToShortcut, 3042)                                                                \
    X(kTextColourHeading, 3050)                                                                 \
    X(kTextProfilesLabel, 3051)                                                                 \
    X(kTextMetadataLabel, 3053)                                                                 \
    X(kTextNoPluginFolderHint, 3100) /* grey in the empty plug-in folder edit */                \
    X(kTextBrowsePluginFolder, 3101)                                                            \
    X(kTextClearPluginFolder, 3102)                                                             \
    X(kTextLanguageHeading, 3200)                                                               \
    X(kTextFontHeading, 3210)                                                                   \
    X(kTextSmallFont, 3221)                                                                     \
    X(kTextMediumFont, 3222)                                                                    \
    X(kTextLargeFont, 3223)                                                                     \
    X(kTextNormalWeight, 3231)                                                                  \
    X(kTextBoldWeight, 3232)                                                                    \
    X(kTextDialogFontHeading, 3240)                                                             \
    X(kTextNormalDialogFont, 3241)                                                              \
    X(kTextLargeDialogFont, 3242)                                                               \
    X(kTextTooltipHeading, 3250)                                                                \
    X(kTextShowTooltips, 3251)                                                                  \
    /* the window title while a batch runs */                                                   \
    X(kTextBusyTitle, 20000)                                                                    \
    /* drop-target summaries, the preset dialog's list items and labels */                      \
    X(kTextTransparencyKept, 20010)                                                             \
    X(kTextQuality, 20020)                                                                      \
    X(kTextSampling, 20021)                                                                     \
    X(kTextSizeLimitUnit, 20022) /* follows a number directly */                                \
    X(kTextResize, 20030)                                                                       \
    X(kTextPixels, 20031)                                                                       \
    X(kTextSuffix, 20040)                                                                       \
    X(kTextFolder, 20050)                                                                       \
    X(kTextSubfolder, 20060)                                                                    \
    X(kTextDropTargetTip, 20070)                                                                \
    X(kTextChroma420, 20100)                                                                    \
    X(kTextChroma444, 20101)                                                                    \
    X(kTextNone, 20120) /* resize mode 0, sharpening off */                                     \
    X(kTextWidth, 20121) /* resize modes 1 to 5 follow in order */                              \
    X(kTextHeight, 20122)                                                                       \
    X(kTextLongerSide, 20123)                                                                   \
    X(kTextShorterSide, 20124)                                                                  \
    X(kTextBox, 20125)                                                                          \
    X(kTextCropped, 20131)                                                                      \
    X(kTextAreaAverage, 20140) /* the resampling filters, in order */                           \
    X(kTextBicubic, 20141)                                                                      \
    X(kTextNearestPixel, 20142)                                                                 \
    X(kTextHalftone, 20143)                                                                     \
    X(kTextSharpen, 20150) /* the sharpening levels 1 to 3 follow */                            \
    X(kTextSharpenLow, 20151)                                                                   \
    X(kTextSharpenMedium, 20152)                                                                \
    X(kTextSharpenHigh, 20153)                                                                  \
    /* plug-in list columns, version window, folder browser */                                  \
    X(kTextPluginFileColumn, 20200)                                                             \
    X(kTextPluginTypesColumn, 20201)                                                            \
    X(kTextPluginDescriptionColumn, 20202)                                                      \
    X(kTextVersionCaption, 20210)                                                               \
    X(kTextFolderBrowserTitle, 20220)                                                           \
    /* the options' lists, by colourProfiles and keepMetadata */                                \
    X(kTextProfilesAsStored, 20300)                                                             \
    X(kTextProfilesToSrgb, 20301)                                                               \
    X(kTextKeepNoMetadata, 20310)                                                               \
    X(kTextKeepDateAndCamera, 20311)                                                            \
    X(kTextKeepAllButLocation, 20312)                                                           \
    /* output format names, by outputFormat */                                                  \
    X(kTextFormatBmp, 21000)                                                                    \
    X(kTextFormatPng, 21001)                                                                    \
    X(kTextFormatJpeg, 21002)                                                                   \
    X(kTextFormatGif, 21003)                                                                    \
    X(kTextFormatTiff, 21004)                                                                   \
    X(kTextFormatWebp, 21005)                                                                   \
    /* error caption and messages */                                                            \
    X(kTextErrorCaption, 30000)                                                                 \
    X(kTextOutOfMemory, 30001)                                                                  \
    X(kTextNothingConverted, 30002)                                                             \
    X(kTextNoOutputFolder, 30003)                                                               \
    X(kTextSubfolderFailed, 30004)                                                              \
    X(kTextNoTemporaryFile, 30005)                                                              \
    X(kTextBatchStopped, 30006)    /* followed by the count of outputs */                       \
    X(kTextPictureTooLarge, 30007) /* after "<width> × <height>" */                             \
    X(kTextUnsafeOutputName, 30008) /* a stored suffix or subfolder leads elsewhere */          \
    X(kTextOutputNameRefused, 30009) /* the preset dialog refuses such a text */                \
    X(kTextLibraryMissing, 30010)  /* followed by the names of the missing files */

namespace qdx {

#define QDX_TEXT_ID_CONSTANT(name, id) inline constexpr uint32_t name = id;
QDX_TEXT_IDS(QDX_TEXT_ID_CONSTANT)
#undef QDX_TEXT_ID_CONSTANT

// Every identifier above, in order.
#define QDX_TEXT_ID_ENTRY(name, id) name,
inline constexpr uint32_t kAllTextIds[] = {QDX_TEXT_IDS(QDX_TEXT_ID_ENTRY)};
#undef QDX_TEXT_ID_ENTRY

// The first of the texts that follow one another in the order of their codes.
inline constexpr uint32_t kTextFirstFilter = kTextAreaAverage;   // resampleFilter 0 to 3
inline constexpr uint32_t kTextFirstFormat = kTextFormatBmp;     // outputFormat 0 to 5

// Language texts are read with at most this many UTF-16 code units.
inline constexpr uint32_t kMaxTextLength = 127;

}  // namespace qdx
