#include "batch/batch_host.h"

#include "core/string_ids.h"
#include "core/wide_string.h"

namespace qdx {

void ErrorMessageTexts(uint32_t textId, const TextSource* source, WideString& text, WideString& caption) {
    text.Clear();
    caption.Clear();
    text.AppendText(textId, source);
    caption.AppendText(kTextErrorCaption, source);
}

void BusyTitleText(const TextSource* source, WideString& title) {
    title.Clear();
    title.AppendText(kTextBusyTitle, source);
}

}  // namespace qdx
