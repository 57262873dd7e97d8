#include "app/main_window/drop_summary.h"

#include "core/text_ids.h"
#include "core/text_source.h"

namespace qdx::app {

namespace {

constexpr uint32_t kBoxMode = 5;
constexpr uint32_t kLastMode = 5;
constexpr uint32_t kLastFilter = 3;
constexpr uint32_t kLastSharpness = 3;
constexpr uint32_t kLastFormat = kOutputWebp;

class Line {
public:
    explicit Line(const TextSource* texts) : texts_(texts) {}
    Line& Text(uint32_t id) {
        AppendText(line_, id, texts_);
        return *this;
    }
    Line& Plain(const char16_t* text) {
        line_.Append(text);
        return *this;
    }
    Line& Plain(const WideString& text) {
        line_.Append(text);
        return *this;
    }
    Line& Number(int64_t value) {
        // Sizes are unsigned in the file; show them as stored.
        if (value > INT32_MAX) {
            char16_t digits[24];
            int n = 0;
            for (uint64_t v = uint64_t(value); v; v /= 10) digits[n++] = char16_t(u'0' + v % 10);
            while (n) line_.Append(digits[--n]);
        } else {
            line_.AppendDecimal(int32_t(value));
        }
        return *this;
    }
    Line& Label(uint32_t id) { return Text(id).Plain(u": "); }
    WideString Take() { return static_cast<WideString&&>(line_); }

private:
    const TextSource* texts_;
    WideString line_;
};

WideString FormatDetail(const Preset& preset, const TextSource* texts) {
    Line line(texts);
    switch (preset.outputFormat) {
        case kOutputPng:
        case kOutputGif:
            if (preset.keepTransparency) line.Text(kTextTransparencyKept);
            break;
        case kOutputJpeg:
        case kOutputWebp:
            if (preset.limitFileSize)
                line.Number(preset.maxFileSizeKiB).Text(kTextSizeLimitUnit);
            else
                line.Text(kTextQuality).Plain(u" ").Number(preset.jpegQuality);
            if (preset.outputFormat == kOutputWebp) {
                if (preset.keepTransparency) line.Plain(u", ").Text(kTextTransparencyKept);
                break;
            }
            line.Plain(u", ").Text(kTextSampling).Plain(u" ");
            line.Text(preset.jpegSubsampling == 0 ? kTextChroma420 : kTextChroma444);
            break;
        default: break;  // BMP and TIFF have no options
    }
    return line.Take();
}

WideString ResizeLine(const Preset& preset, const TextSource* texts) {
    Line line(texts);
    line.Label(kTextResize);
    const uint32_t mode = preset.resizeMode <= kLastMode ? preset.resizeMode : 0;
    if (mode == 0) return line.Text(kTextNone).Take();
    if (mode == kBoxMode) {
        line.Number(preset.targetWidth).Plain(u"x").Number(preset.targetHeight).Text(kTextPixels);
        if (preset.keepAspect) line.Plain(u" ").Text(kTextCropped);
    } else {
        line.Text(kTextNone + mode).Plain(u" ").Number(preset.targetWidth).Text(kTextPixels);
    }
    line.Plain(u", ").Text(kTextFirstFilter + (preset.resampleFilter <= kLastFilter ? preset.resampleFilter : 0));
    if (preset.sharpness != 0 && preset.sharpness <= kLastSharpness)
        line.Plain(u", ").Text(kTextSharpen).Plain(u" ").Text(kTextSharpen + preset.sharpness);
    return line.Take();
}

WideString TextOrNone(uint32_t label, const WideString& value, const TextSource* texts) {
    Line line(texts);
    line.Label(label);
    if (value.IsEmpty())
        line.Text(kTextNone);
    else
        line.Plain(value);
    return line.Take();
}

}  // namespace

WideString ShortenFolder(const WideString& folder) {
    const char16_t* text = folder.Text();
    const uint32_t length = folder.Length();
    uint32_t first = length, last = length;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] != u'\\') continue;
        if (first == length) first = i;
        last = i;
    }
    WideString shortened;
    shortened.Append(text, first);
    shortened.Append(u"\\...");
    if (last == length)
        shortened.Append(text, length);
    else
        shortened.Append(text + last + 1, length - last - 1);
    return shortened;
}

DropSummary SummarizePreset(const Preset& preset, const WideString& globalOutputFolder, const TextSource* texts) {
    DropSummary summary;
    const uint32_t format = preset.outputFormat <= kLastFormat ? preset.outputFormat : 0;
    summary.format = Line(texts).Text(kTextFirstFormat + format).Take();
    summary.formatDetail = FormatDetail(preset, texts);
    summary.resize = ResizeLine(preset, texts);
    summary.suffix = TextOrNone(kTextSuffix, preset.suffix, texts);
    Line folder(texts);
    folder.Label(kTextFolder);
    if (!preset.outputFolder.IsEmpty())
        folder.Plain(ShortenFolder(preset.outputFolder));
    else if (!globalOutputFolder.IsEmpty())
        folder.Plain(ShortenFolder(globalOutputFolder));
    else
        folder.Text(kTextSourceFolderHint);
    summary.folder = folder.Take();
    summary.subfolder = TextOrNone(kTextSubfolder, preset.subfolder, texts);
    return summary;
}

WideString DropTargetTitle(int number, const TextSource* texts) {
    return Line(texts).Text(kTextPreset).Plain(u" ").Number(number).Take();
}

WideString CombinedAreaTitle(const TextSource* texts) {
    return Line(texts).Text(kTextPreset).Plain(u" 5 - ").Text(kTextCombinedArea).Take();
}

}  // namespace qdx::app
