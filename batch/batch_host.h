#pragma once
// What a conversion batch asks of the program that runs it: the main window on
// Windows, the command line natively, a recording fake in tests. The batch
// never talks to a window itself.
#include <cstdint>

#include "core/text_source.h"

namespace qdx {

class WideString;

// What became of one file in one pass.
enum class FileOutcome {
    Written,     // copied into the output folder
    Missing,     // gone since the batch started
    Unreadable,  // no reader could decode it
    NotWritten,  // decoded, but scaling, writing or the copy failed
    TooLarge,    // refused from its declared size: more pixels than the limit
    OutOfMemory, // refused from its declared size: more than the machine's memory
};

// How long the batch waits for a file converted side by side before it asks
// the host to keep responsive again.
inline constexpr uint32_t kWaitSliceMs = 100;

// The title the main window carries whenever no batch runs.
inline constexpr char16_t kProgramTitle[] = u"Quillodex";

class BatchHost {
public:
    virtual ~BatchHost() = default;
    // Tell the user about a failure: the text of string `textId`, captioned by
    // kTextErrorCaption, with the error icon, in front of everything (on Windows a
    // message box owned by the main window, with the arrow cursor).
    virtual void ShowErrorMessage(uint32_t textId) = 0;
    // A file was refused because its picture has `width` x `height` pixels,
    // more than the program converts: the text of PictureTooLargeText, shown
    // like an error message. The default shows kTextPictureTooLarge alone.
    virtual void ShowPictureTooLarge(uint32_t width, uint32_t height);
    // The same with `name` (a file name, or several separated by ", ")
    // after the text and a space. A host that shows no names shows the text.
    virtual void ShowErrorMessageNaming(uint32_t textId, const char16_t* name) {
        (void)name;
        ShowErrorMessage(textId);
    }
    // A batch starts: the title becomes kTextBusyTitle.
    virtual void SetBusyTitle() = 0;
    // The batch has ended: the title becomes kProgramTitle again.
    virtual void RestoreTitle() = 0;
    // Right after SetBusyTitle: how many files the batch goes through,
    // counted over every selected pass.
    virtual void BatchStarts(uint32_t fileCount) { (void)fileCount; }
    // File `pathIndex` of the batch has been through the current pass; once
    // per file and pass, so a host can count its progress here.
    virtual void FileDone(uint32_t pathIndex, FileOutcome outcome) {
        (void)pathIndex;
        (void)outcome;
    }
    // Called between the steps of one file (reading, scaling, writing) and
    // every kWaitSliceMs while the batch waits for files converted side by
    // side, so a host can let its window repaint within a long file. Must
    // take no input and stay cheap.
    virtual void KeepResponsive() {}
    // Asked before each file: true ends the batch there, after the file
    // before it was finished. Once true, it must stay true for the batch.
    virtual bool StopRequested() { return false; }
    // The batch ended early on a stop request, after `written` outputs;
    // called before RestoreTitle.
    virtual void BatchStopped(uint32_t written) { (void)written; }
};

// The texts a host shows for an error message: string `textId` and the
// caption (kTextErrorCaption), each at most 127 code units, and `name` after the
// text and a space when one is given. Missing strings give empty texts.
void ErrorMessageTexts(uint32_t textId, const TextSource* source, WideString& text, WideString& caption,
                       const char16_t* name = nullptr);

// "<width> × <height>" followed by kTextPictureTooLarge (which starts with a blank).
void PictureTooLargeText(const TextSource* source, uint32_t width, uint32_t height, WideString& text);

// The busy title (kTextBusyTitle, at most 127 code units).
void BusyTitleText(const TextSource* source, WideString& title);

// The message after a stop: kTextBatchStopped, a space and the count of outputs.
void StoppedMessageText(const TextSource* source, uint32_t written, WideString& text);

// The busy title followed by the progress, like "<busy> 3 / 120".
void ProgressTitleText(const TextSource* source, uint32_t done, uint32_t total, WideString& title);

}  // namespace qdx
