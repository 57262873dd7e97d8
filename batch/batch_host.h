#pragma once
// What a conversion batch asks of the program that runs it: the main window on
// Windows, the command line natively, a recording fake in tests. The batch
// never talks to a window itself.
#include <cstdint>

#include "core/text_source.h"

namespace qdx {

class WideString;

// The title the main window carries whenever no batch runs.
inline constexpr char16_t kProgramTitle[] = u"Quillodex";

class BatchHost {
public:
    virtual ~BatchHost() = default;
    // Tell the user about a failure: the text of string `textId`, captioned by
    // string 30000, with the error icon, in front of everything (on Windows a
    // message box owned by the main window, with the arrow cursor).
    virtual void ShowErrorMessage(uint32_t textId) = 0;
    // A batch starts: the title becomes string 20000.
    virtual void SetBusyTitle() = 0;
    // The batch has ended: the title becomes kProgramTitle again.
    virtual void RestoreTitle() = 0;
};

// The texts a host shows for an error message: string `textId` and the
// caption (string 30000), each at most 127 code units. Missing strings give
// empty texts.
void ErrorMessageTexts(uint32_t textId, const TextSource* source, WideString& text, WideString& caption);

// The busy title (string 20000, at most 127 code units).
void BusyTitleText(const TextSource* source, WideString& title);

}  // namespace qdx
