#include "batch/batch_host.h"

#include "core/string_ids.h"
#include "core/wide_string.h"

namespace qdx {

void ErrorMessageTexts(uint32_t textId, const TextSource* source, WideString& text, WideString& caption,
                       const char16_t* name) {
    text.Clear();
    caption.Clear();
    text.AppendText(textId, source);
    if (name) {
        text.Append(u' ');
        text.Append(name);
    }
    caption.AppendText(kTextErrorCaption, source);
}

void BusyTitleText(const TextSource* source, WideString& title) {
    title.Clear();
    title.AppendText(kTextBusyTitle, source);
}

void StoppedMessageText(const TextSource* source, uint32_t written, WideString& text) {
    constexpr uint32_t kLargest = 0x7FFFFFFF;
    text.Clear();
    text.AppendText(kTextBatchStopped, source);
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
