#include "batch/batch_host.h"

#include "core/text_ids.h"
#include "core/os/wide_string.h"
#include "core/text_source.h"

namespace qdx {

void ErrorMessageTexts(uint32_t textId, const TextSource* source, WideString& text, WideString& caption,
                       const char16_t* name) {
    text.Clear();
    caption.Clear();
    AppendText(text, textId, source);
    if (name) {
        text.Append(u' ');
        text.Append(name);
    }
    AppendText(caption, kTextErrorCaption, source);
}

void BatchHost::ShowPictureTooLarge(uint32_t, uint32_t) { ShowErrorMessage(kTextPictureTooLarge); }

void PictureTooLargeText(const TextSource* source, uint32_t width, uint32_t height, WideString& text) {
    constexpr uint32_t kLargest = 0x7FFFFFFF;
    text.Clear();
    text.AppendDecimal(static_cast<int32_t>(width < kLargest ? width : kLargest));
    text.Append(u" \u00D7 ");
    text.AppendDecimal(static_cast<int32_t>(height < kLargest ? height : kLargest));
    AppendText(text, kTextPictureTooLarge, source);
}

void BusyTitleText(const TextSource* source, WideString& title) {
    title.Clear();
    AppendText(title, kTextBusyTitle, source);
}

void StoppedMessageText(const TextSource* source, uint32_t written, WideString& text) {
    constexpr uint32_t kLargest = 0x7FFFFFFF;
    text.Clear();
    AppendText(text, kTextBatchStopped, source);
    text.Append(u' ');
    text.AppendDecimal(static_cast<int32_t>(written < kLargest ? written : kLargest));
}

void ProgressTitleText(const TextSource* source, uint32_t done, uint32_t total, WideString& title) {
    constexpr uint32_t kLargest = 0x7FFFFFFF;  // what a decimal of the string can hold
    BusyTitleText(source, title);
    title.Append(u' ');
    title.AppendDecimal(static_cast<int32_t>(done < kLargest ? done : kLargest));
    title.Append(u" / ");
    title.AppendDecimal(static_cast<int32_t>(total < kLargest ? total : kLargest));
}

}  // namespace qdx
